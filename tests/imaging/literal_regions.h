// The changed-region procedure written out step by step, the slow way: block
// by block comparison, a search of the list for every changed block, and a
// full sum over the rectangle for every growth step tried. The tests and the
// benchmark hold the driver's procedure against it.
#pragma once

#include <cstdint>

#include "imaging/regions.h"

// Same contract as FindChangedRegionsInBits.
int16_t LiteralFindChangedRegions(const BitmapBits* previous, const BitmapBits* current,
                                  ChangedRegion** regionsOut);
