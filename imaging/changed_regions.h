// Changed-region detection between the previous label's monochrome bitmap and
// the current one, read through GDI; the rules live in imaging/regions.h.
#pragma once

#include <windows.h>

#include "imaging/regions.h"

// Compares two bitmaps of equal size and depth in 8 x 8 blocks. Returns -1
// (sizes or depths differ, a bitmap cannot be read, no memory, regionsOut is
// null, or more than kMaxChangedBlocks blocks changed), 0 (no block changed)
// or the number n >= 1 of regions, with a malloc'd array of n ChangedRegion
// records stored in *regionsOut that the caller frees. *regionsOut is written
// only for n >= 1. Neither bitmap is changed, selected or released.
SHORT FindChangedRegions(HBITMAP hbmPrevious, HBITMAP hbmCurrent, ChangedRegion** regionsOut);
