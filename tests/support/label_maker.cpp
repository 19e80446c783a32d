// Test label pictures and their bitmaps.
#include "support/label_maker.h"

#include <cstring>

#include "support/png_image.h"
#include "support/tlxsim_client.h"

namespace {
uint32_t next_random(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}
} // namespace

TestLabel MakeTestLabel(int width, int height, uint32_t seed, int counter) {
  TestLabel label;
  label.width = width;
  label.height = height;
  label.black.assign(static_cast<size_t>(width) * height, 0);
  auto set = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      label.black[static_cast<size_t>(y) * width + x] = 1;
  };
  for (int x = 0; x < width; ++x) {
    set(x, 0);
    set(x, height - 1);
  }
  for (int y = 0; y < height; ++y) {
    set(0, y);
    set(width - 1, y);
  }
  // Diagonal stripes, then a random block pattern in the lower half.
  for (int y = 4; y < height / 2; ++y)
    for (int x = 4; x < width - 4; ++x)
      if ((x + y) % 11 < 3)
        set(x, y);
  uint32_t state = seed;
  for (int y = height / 2; y < height - 4; y += 3)
    for (int x = 4; x < width - 4; x += 3)
      if (next_random(&state) % 3 == 0)
        for (int dy = 0; dy < 3; ++dy)
          for (int dx = 0; dx < 3; ++dx)
            set(x + dx, y + dy);
  // The counter: a bar pattern of the number's bits near the top left.
  for (int bit = 0; bit < 16; ++bit) {
    const bool on = (counter >> bit) & 1;
    for (int y = 6; y < 18 && y < height; ++y)
      for (int x = 6 + bit * 5; x < 6 + bit * 5 + 4; ++x)
        if (on)
          set(x, y);
        else if (x < width && y < height)
          label.black[static_cast<size_t>(y) * width + x] = 0;
  }
  return label;
}

HBITMAP LabelBitmap(const TestLabel& label, int bitsPerPixel) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof(info.header);
  info.header.biWidth = label.width;
  info.header.biHeight = -label.height; // top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = BI_RGB;
  for (int i = 0; i < 256; ++i) {
    const BYTE v = static_cast<BYTE>(bitsPerPixel == 1 ? (i ? 255 : 0) : i);
    info.colours[i] = RGBQUAD{v, v, v, 0};
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (bitmap == nullptr)
    return nullptr;
  const int stride = ((label.width * bitsPerPixel + 31) / 32) * 4;
  auto* rows = static_cast<uint8_t*>(bits);
  memset(rows, 0, static_cast<size_t>(stride) * label.height);
  for (int y = 0; y < label.height; ++y) {
    uint8_t* row = rows + static_cast<size_t>(y) * stride;
    for (int x = 0; x < label.width; ++x) {
      const bool black = label.is_black(x, y);
      switch (bitsPerPixel) {
      case 1:
        if (!black)
          row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        break;
      case 8:
        row[x] = black ? 0 : 255;
        break;
      default: {
        const int bytes = bitsPerPixel / 8;
        memset(row + x * bytes, black ? 0 : 255, static_cast<size_t>(bytes));
      }
      }
    }
  }
  GdiFlush();
  return bitmap;
}

bool PrintedAsLabel(veldrin_test::TlxSim& sim, int com, int number, const TestLabel& label,
                    int offset, std::string* why) {
  if (!sim.wait_labels(number, 10000, com)) {
    *why = "label " + std::to_string(number) + " was not printed";
    return false;
  }
  veldrin_test::Pixels png;
  if (!veldrin_test::read_png(sim.label_path(number, com), &png, why))
    return false;
  if (png.width < offset + label.width || png.height < label.height) {
    *why = "the printed label is " + std::to_string(png.width) + " x " +
           std::to_string(png.height) + ", too small for the label at " + std::to_string(offset);
    return false;
  }
  const veldrin_test::PrintedDifference d =
      veldrin_test::ComparePrinted(png, offset, label.width, label.height, label.black);
  if (d.wrong == 0 && d.stray == 0)
    return true;
  *why = std::to_string(d.wrong) + " dots inside the label differ, " + std::to_string(d.stray) +
         " printed outside it";
  return false;
}
