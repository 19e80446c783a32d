// The monochrome label bitmap of a 1344 x 2400 label (112 x 200 mm at 12 dots
// per millimetre) from sources of several depths, and FindChangedRegions with
// its GDI reads, under Wine.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench.h"
#include "bench/labels.h"
#include "imaging/changed_regions.h"
#include "imaging/monochrome.h"

namespace {
// A bottom-up DIB section of the label at the depth; indexed depths get a
// table with black at 0 and white at 1.
HBITMAP make_dib_section(const LabelPicture& picture, int bitsPerPixel) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = kLabelWidth;
  info.header.biHeight = kLabelHeight;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.colours[1] = RGBQUAD{255, 255, 255, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (bitmap == nullptr)
    return nullptr;
  const int rowBytes = (kLabelWidth * bitsPerPixel + 31) / 32 * 4;
  auto* rows = static_cast<BYTE*>(bits);
  for (int y = 0; y < kLabelHeight; ++y) {
    BYTE* row = rows + static_cast<size_t>(kLabelHeight - 1 - y) * rowBytes;
    for (int x = 0; x < kLabelWidth; ++x) {
      const bool white = picture.white[static_cast<size_t>(y) * kLabelWidth + x] != 0;
      const int bit = x * bitsPerPixel;
      if (bitsPerPixel >= 8) {
        for (int k = 0; k < bitsPerPixel / 8; ++k)
          row[bit / 8 + k] = white ? (bitsPerPixel == 8 ? 1 : 0xFF) : 0;
      } else if (white) {
        row[bit / 8] |= static_cast<BYTE>(1 << (8 - bitsPerPixel - bit % 8));
      }
    }
  }
  return bitmap;
}

// Whether the monochrome bitmap shows the picture exactly.
bool shows(HBITMAP mono, const LabelPicture& picture) {
  const std::vector<uint8_t> expected = MonochromeRows(picture);
  std::vector<uint8_t> got(expected.size());
  if (GetBitmapBits(mono, static_cast<LONG>(got.size()), got.data()) !=
      static_cast<LONG>(got.size()))
    return false;
  return got == expected;
}
} // namespace

int main() {
  const LabelPicture picture = DrawLabel("00417289");
  printf("Monochrome label bitmap (CreateMonochromeLabelBitmap), %d x %d pixels\n", kLabelWidth,
         kLabelHeight);
  int failures = 0;
  for (int depth : {24, 32, 8, 1}) {
    HBITMAP source = make_dib_section(picture, depth);
    HBITMAP mono = CreateMonochromeLabelBitmap(source);
    const bool exact = mono != nullptr && shows(mono, picture);
    failures += exact ? 0 : 1;
    DeleteObject(mono);
    char name[64];
    snprintf(name, sizeof(name), "%d-bit DIB section%s", depth, exact ? "" : " (WRONG PIXELS)");
    PrintTiming(name, Measure([&] { DeleteObject(CreateMonochromeLabelBitmap(source)); }));
    DeleteObject(source);
  }

  printf("FindChangedRegions on two monochrome label bitmaps, GDI reads included\n");
  const std::vector<uint8_t> before = MonochromeRows(picture);
  const std::vector<uint8_t> after = MonochromeRows(DrawLabel("00417290"));
  HBITMAP previous = CreateBitmap(kLabelWidth, kLabelHeight, 1, 1, before.data());
  HBITMAP current = CreateBitmap(kLabelWidth, kLabelHeight, 1, 1, after.data());
  const auto find = [&](HBITMAP a, HBITMAP b) {
    ChangedRegion* regions = nullptr;
    const SHORT n = FindChangedRegions(a, b, &regions);
    if (n > 0)
      free(regions);
    return n;
  };
  printf("  serial number changed: result %d\n", find(previous, current));
  PrintTiming("serial number changed", Measure([&] { find(previous, current); }));
  PrintTiming("no change", Measure([&] { find(previous, previous); }));
  std::vector<uint8_t> rows(before.size());
  PrintTiming("GetBitmapBits of one label alone", Measure([&] {
                GetBitmapBits(current, static_cast<LONG>(rows.size()), rows.data());
              }));
  DeleteObject(previous);
  DeleteObject(current);
  return failures == 0 ? 0 : 1;
}
