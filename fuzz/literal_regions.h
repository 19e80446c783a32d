// The changed-region procedure written out step by step, the slow way, as the
// oracle that the fuzz target and the benchmark hold the driver's procedure
// against. Same contract as FindChangedRegionsInBits.
#pragma once

#include "imaging/regions.h"

int16_t LiteralFindChangedRegions(const BitmapBits* previous, const BitmapBits* current,
                                  ChangedRegion** regionsOut);
