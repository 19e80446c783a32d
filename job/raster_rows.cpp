// Label rows for the printer.
#include "job/raster_rows.h"

uint8_t LabelByte(const LabelBits& bits, int32_t row, int32_t byteIndex) {
  if (row < 0 || row >= bits.nHeight || byteIndex < 0 || byteIndex >= bits.nWidthBytes)
    return 0xFF;
  uint8_t byte = bits.pBits[static_cast<size_t>(row) * bits.nWidthBytes + byteIndex];
  const int32_t dotsInside = bits.nWidth - byteIndex * 8;
  if (dotsInside < 8)
    byte |= dotsInside <= 0 ? 0xFF : static_cast<uint8_t>(0xFF >> dotsInside);
  return byte;
}
