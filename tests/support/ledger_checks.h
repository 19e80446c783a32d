// The check that a stretch of work left nothing behind in the GDI ledger:
// no bitmap, memory DC, screen DC or global block, and no block still locked.
#pragma once

#include <gtest/gtest.h>

#include "support/gdi_hooks.h"

inline void ExpectNothingLeft(const CallLedger& ledger) {
  EXPECT_TRUE(ledger.liveBitmaps.empty()) << ledger.liveBitmaps.size() << " bitmaps left";
  EXPECT_TRUE(ledger.liveMemoryDcs.empty()) << "memory DCs left";
  EXPECT_TRUE(ledger.heldScreenDcs.empty()) << "screen DCs held";
  EXPECT_TRUE(ledger.liveBlocks.empty()) << ledger.liveBlocks.size() << " global blocks left";
  for (const auto& [block, locks] : ledger.locks)
    EXPECT_EQ(0, locks) << "a block left locked";
}
