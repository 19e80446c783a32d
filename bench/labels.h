// Label pictures for the imaging benchmarks: a 112 x 200 mm label at 12 dots
// per millimetre (1344 x 2400 pixels) with lines of text-like strokes and a
// serial-number field in seven-segment digits. Pure code.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int32_t kLabelWidth = 1344;  // 112 mm at 12 dots/mm
inline constexpr int32_t kLabelHeight = 2400; // 200 mm at 12 dots/mm

// A picture as rows of 0 (black) / 1 (white) per pixel, top row first.
struct LabelPicture {
  std::vector<uint8_t> white; // kLabelWidth * kLabelHeight entries
};

// The label with the serial number drawn in its field.
LabelPicture DrawLabel(const char* serialNumber);

// The picture as 1-bit rows padded to 16 bits (GetBitmapBits' layout; set bit
// white).
std::vector<uint8_t> MonochromeRows(const LabelPicture& picture);
inline int32_t MonochromeRowLength() {
  return (kLabelWidth + 15) / 16 * 2;
}
