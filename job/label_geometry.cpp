// Label placement on the print head.
#include "job/label_geometry.h"

uint16_t CentringOffset(int32_t maxWidthMm, uint16_t labelWidthTenthMm, int32_t dotsPerMm) {
  const int64_t free = static_cast<int64_t>(maxWidthMm) * 10 - labelWidthTenthMm;
  const int64_t offset = (free * dotsPerMm + 19) / 20;
  if (offset < 0)
    return 0;
  return offset > 9999 ? 9999 : static_cast<uint16_t>(offset);
}

uint16_t LabelBytesPerRow(uint16_t labelWidthTenthMm, int32_t dotsPerMm) {
  const int64_t bytes = (static_cast<int64_t>(labelWidthTenthMm) * dotsPerMm + 79) / 80;
  return static_cast<uint16_t>(bytes);
}
