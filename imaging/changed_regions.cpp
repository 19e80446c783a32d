// FindChangedRegions: describes and reads both bitmaps through GDI, then hands
// their bits to the pure detection (imaging/regions.cpp).
#include "imaging/changed_regions.h"

#include <cstdlib>

namespace {

// Length of the rows that GetBitmapBits writes: padded to 16 bits. For a
// device-dependent bitmap this is GetObject's bmWidthBytes; for a DIB section
// GetObject reports the DIB's 32-bit-padded rows while GetBitmapBits still
// writes 16-bit-padded ones, so the length is worked out from width and depth.
int64_t bitmap_bits_row_length(const BITMAP* bm) {
  return (static_cast<int64_t>(bm->bmWidth) * bm->bmBitsPixel + 15) / 16 * 2;
}

} // namespace

SHORT FindChangedRegions(HBITMAP hbmPrevious, HBITMAP hbmCurrent, ChangedRegion** regionsOut) {
  SHORT result = -1;
  BITMAP previous;
  BITMAP current;
  int64_t rowLength = 0;
  int64_t size = 0;
  uint8_t* previousBits = nullptr;
  uint8_t* currentBits = nullptr;
  BitmapBits previousRecord;
  BitmapBits currentRecord;

  if (regionsOut == nullptr) // GCOVR_EXCL_BR_LINE: the job passes its own
    goto done;               // GCOVR_EXCL_LINE
  if (GetObjectA(hbmPrevious, sizeof(previous), &previous) != sizeof(previous) ||
      GetObjectA(hbmCurrent, sizeof(current), &current) != sizeof(current))
    goto done;
  // Planes are not compared.
  if (previous.bmWidth != current.bmWidth || previous.bmHeight != current.bmHeight ||
      previous.bmBitsPixel != current.bmBitsPixel) // GCOVR_EXCL_BR_LINE: both monochrome
    goto done;
  rowLength = bitmap_bits_row_length(&current);
  size = rowLength * current.bmHeight;
  if (size <= 0 || size > 0x7FFFFFFF) // GCOVR_EXCL_BR_LINE: no such label gets here
    goto done;                        // GCOVR_EXCL_LINE
  // Not cleared: GetBitmapBits must fill them whole (checked below).
  previousBits = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
  currentBits = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
  // Not counted below: no hook reaches malloc.
  if (previousBits == nullptr || currentBits == nullptr) // GCOVR_EXCL_BR_LINE
    goto done;                                           // GCOVR_EXCL_LINE
  if (GetBitmapBits(hbmPrevious, static_cast<LONG>(size), previousBits) != size ||
      GetBitmapBits(hbmCurrent, static_cast<LONG>(size), currentBits) != size)
    goto done;
  previousRecord = BitmapBits{previousBits, previous.bmWidth, previous.bmHeight,
                              static_cast<int32_t>(rowLength), previous.bmBitsPixel};
  currentRecord = BitmapBits{currentBits, current.bmWidth, current.bmHeight,
                             static_cast<int32_t>(rowLength), current.bmBitsPixel};
  result = FindChangedRegionsInBits(&previousRecord, &currentRecord, regionsOut);
done:
  free(currentBits);
  free(previousBits);
  return result;
}
