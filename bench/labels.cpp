// Drawing the benchmark label.
#include "bench/labels.h"

#include <random>

namespace {
void fill(LabelPicture* p, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t white) {
  for (int32_t r = y; r < y + h && r < kLabelHeight; ++r)
    for (int32_t c = x; c < x + w && c < kLabelWidth; ++c)
      p->white[static_cast<size_t>(r) * kLabelWidth + c] = white;
}

// Seven-segment digit, 36 x 64 pixels with strokes 8 pixels thick.
void draw_digit(LabelPicture* p, int32_t x, int32_t y, char digit) {
  static const uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                        0x6D, 0x7D, 0x07, 0x7F, 0x6F}; // gfedcba
  const uint8_t s = kSegments[(digit - '0') % 10];
  const int32_t w = 36, h = 64, t = 8;
  if (s & 0x01)
    fill(p, x, y, w, t, 0); // a
  if (s & 0x02)
    fill(p, x + w - t, y, t, h / 2, 0); // b
  if (s & 0x04)
    fill(p, x + w - t, y + h / 2, t, h / 2, 0); // c
  if (s & 0x08)
    fill(p, x, y + h - t, w, t, 0); // d
  if (s & 0x10)
    fill(p, x, y + h / 2, t, h / 2, 0); // e
  if (s & 0x20)
    fill(p, x, y, t, h / 2, 0); // f
  if (s & 0x40)
    fill(p, x, y + h / 2 - t / 2, w, t, 0); // g
}
} // namespace

LabelPicture DrawLabel(const char* serialNumber) {
  LabelPicture p;
  p.white.assign(static_cast<size_t>(kLabelWidth) * kLabelHeight, 1);
  // A frame, a title bar and lines of text-like strokes.
  fill(&p, 0, 0, kLabelWidth, 12, 0);
  fill(&p, 0, kLabelHeight - 12, kLabelWidth, 12, 0);
  fill(&p, 0, 0, 12, kLabelHeight, 0);
  fill(&p, kLabelWidth - 12, 0, 12, kLabelHeight, 0);
  fill(&p, 60, 60, 900, 120, 0);
  std::mt19937 rng(1344);
  for (int32_t y = 240; y < 1900; y += 56) {
    int32_t x = 60;
    const int32_t end = 300 + static_cast<int32_t>(rng() % 960);
    while (x < end) {
      const int32_t stroke = 2 + static_cast<int32_t>(rng() % 5);
      const int32_t top = static_cast<int32_t>(rng() % 10);
      fill(&p, x, y + top, stroke, 34 - top, 0);
      x += stroke + 2 + static_cast<int32_t>(rng() % 8);
    }
  }
  // The serial-number field.
  for (int32_t i = 0; serialNumber[i] != 0; ++i)
    draw_digit(&p, 700 + i * 48, 2100, serialNumber[i]);
  return p;
}

std::vector<uint8_t> MonochromeRows(const LabelPicture& picture) {
  const int32_t rowLength = MonochromeRowLength();
  std::vector<uint8_t> rows(static_cast<size_t>(rowLength) * kLabelHeight, 0);
  for (int32_t y = 0; y < kLabelHeight; ++y)
    for (int32_t x = 0; x < kLabelWidth; ++x)
      if (picture.white[static_cast<size_t>(y) * kLabelWidth + x] != 0)
        rows[static_cast<size_t>(y) * rowLength + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  return rows;
}
