// The driver's region detection against the literal procedure on generated
// pairs of labels: the same result and the same regions, in the same order,
// to the last pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "imaging/regions.h"
#include "tests/imaging/bit_images.h"
#include "tests/imaging/literal_regions.h"

namespace {
constexpr uint32_t kCases = 1600;
ChangedRegion* const kUntouched = reinterpret_cast<ChangedRegion*>(static_cast<uintptr_t>(0x5678));
} // namespace

TEST(FastAndLiteral, AgreeOnGeneratedLabels) {
  std::map<int, int> results; // -1, 0, 1 (one region), 2 (several) -> cases
  std::map<std::string, int> kinds;
  for (uint32_t n = 0; n < kCases; ++n) {
    const ImagePair pair = GeneratePair(n);
    SCOPED_TRACE(testing::Message() << "case " << n << ": " << pair.kind);
    const BitmapBits previous = ViewOf(pair.previous);
    const BitmapBits current = ViewOf(pair.current);
    ChangedRegion* fast = kUntouched;
    ChangedRegion* literal = kUntouched;
    const int16_t fastResult = FindChangedRegionsInBits(&previous, &current, &fast);
    const int16_t literalResult = LiteralFindChangedRegions(&previous, &current, &literal);
    ASSERT_EQ(literalResult, fastResult);
    if (fastResult <= 0) {
      EXPECT_EQ(kUntouched, fast);
    } else {
      for (int16_t k = 0; k < fastResult; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(literal[k].x, fast[k].x);
        EXPECT_EQ(literal[k].y, fast[k].y);
        EXPECT_EQ(literal[k].width, fast[k].width);
        EXPECT_EQ(literal[k].height, fast[k].height);
      }
      free(literal);
      free(fast);
    }
    ++results[fastResult > 1 ? 2 : fastResult];
    ++kinds[pair.kind.substr(0, pair.kind.find(' '))];
  }
  // The generated cases reach every kind of result.
  EXPECT_GT(results[-1], 20);
  EXPECT_GT(results[0], 20);
  EXPECT_GT(results[1], 100);
  EXPECT_GT(results[2], 100);
  EXPECT_EQ(8u, kinds.size());
}
