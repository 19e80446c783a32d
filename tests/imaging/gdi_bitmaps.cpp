// Making and reading test bitmaps with GDI.
#include "tests/imaging/gdi_bitmaps.h"

#include <cstring>

namespace {
// A brush, not WHITENESS: the raster operation sets every bit, which is
// black in a DIB whose colour table starts with white.
void paint_white(HBITMAP bitmap) {
  BITMAP bm;
  GetObjectA(bitmap, sizeof(bm), &bm);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, bm.bmWidth, bm.bmHeight};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, old);
  DeleteDC(dc);
}
} // namespace

HBITMAP MakeDeviceBitmap(int width, int height, int bitsPerPixel) {
  const BitImage white = MakeBitImage(width, height, bitsPerPixel, 0xFF);
  return BitmapFromImage(white);
}

HBITMAP MakeDibSection(int width, int height, int bitsPerPixel) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = BI_RGB;
  for (int i = 0; i < 256; ++i) {
    const BYTE grey = static_cast<BYTE>(i == 0 ? 255 : i == 1 ? 0 : (i * 53) % 200 + 30);
    info.colours[i] = RGBQUAD{grey, static_cast<BYTE>(255 - grey), static_cast<BYTE>(i * 7), 0};
  }
  info.colours[0] = RGBQUAD{255, 255, 255, 0};
  info.colours[1] = RGBQUAD{0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (bitmap != nullptr)
    paint_white(bitmap);
  return bitmap;
}

void PaintBlack(HBITMAP bitmap, const std::vector<Pixel>& pixels) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  if (old != nullptr) {
    for (const Pixel& p : pixels)
      SetPixel(dc, p.x, p.y, RGB(0, 0, 0));
    SelectObject(dc, old);
  } else {
    BitImage image = ReadBitImage(bitmap);
    for (const Pixel& p : pixels) {
      uint8_t* row = image.bytes.data() + static_cast<size_t>(p.y) * image.rowLength;
      const int32_t bit = p.x * image.bitsPixel;
      if (image.bitsPixel >= 8) {
        memset(row + bit / 8, 0, static_cast<size_t>(image.bitsPixel / 8));
      } else {
        const int32_t mask = ((1 << image.bitsPixel) - 1) << (8 - image.bitsPixel - bit % 8);
        row[bit / 8] &= static_cast<uint8_t>(~mask);
      }
    }
    SetBitmapBits(bitmap, static_cast<DWORD>(image.bytes.size()), image.bytes.data());
  }
  DeleteDC(dc);
}

BitImage ReadBitImage(HBITMAP bitmap) {
  BITMAP bm;
  GetObjectA(bitmap, sizeof(bm), &bm);
  BitImage image = MakeBitImage(bm.bmWidth, bm.bmHeight, bm.bmBitsPixel);
  GetBitmapBits(bitmap, static_cast<LONG>(image.bytes.size()), image.bytes.data());
  return image;
}

HBITMAP BitmapFromImage(const BitImage& image) {
  return CreateBitmap(image.width, image.height, 1, static_cast<UINT>(image.bitsPixel),
                      image.bytes.data());
}

bool MonoPixelIsWhite(const BitImage& image, int32_t x, int32_t y) {
  const uint8_t byte = image.bytes[static_cast<size_t>(y) * image.rowLength + x / 8];
  return (byte & (0x80 >> (x % 8))) != 0;
}

bool SelectableIntoNewDc(HBITMAP bitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const bool selected = old != nullptr;
  if (selected)
    SelectObject(dc, old);
  DeleteDC(dc);
  return selected;
}
