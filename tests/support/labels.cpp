// Test labels and printed-label checks.
#include "support/labels.h"
#include <cstring>

#include "labelhost/label_image.h"
#include "tlxsim/client/tlxsim_client.h"

namespace veldrin_test {

Picture MakeLabel(int width, int height, uint32_t seed, int counter) {
  Picture p{width, height, std::vector<uint8_t>(size_t(width) * height, 0), {}};
  auto set = [&](int x, int y, bool on) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      p.black[size_t(y) * width + x] = on;
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool border = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      set(x, y, border || (y < height / 2 && (x + y) % 11 < 3));
    }
  for (int y = height / 2; y < height - 4; y += 3)
    for (int x = 4; x < width - 4; x += 3) {
      seed = seed * 1664525u + 1013904223u;
      for (int d = 0; d < 9; ++d)
        set(x + d % 3, y + d / 3, (seed >> 8) % 3 == 0);
    }
  for (int bit = 0; bit < 16; ++bit)
    for (int y = 6; y < 18; ++y)
      for (int x = 6 + bit * 5; x < 10 + bit * 5; ++x)
        set(x, y, (counter >> bit) & 1);
  return p;
}

HBITMAP LabelBitmap(const Picture& label, int bitsPerPixel, BYTE black, BYTE white) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colours[256];
  } info{};
  info.h.biSize = sizeof info.h;
  info.h.biWidth = label.width;
  info.h.biHeight = -label.height; // top row first
  info.h.biPlanes = 1;
  info.h.biBitCount = WORD(bitsPerPixel);
  for (int i = 0; i < 256; ++i) {
    const BYTE v = BYTE(bitsPerPixel == 1 ? (i ? 255 : 0) : i);
    info.colours[i] = RGBQUAD{v, v, v, 0};
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (bitmap == nullptr)
    return nullptr;
  const int stride = (label.width * bitsPerPixel + 31) / 32 * 4;
  auto* rows = static_cast<uint8_t*>(bits);
  memset(rows, 0, size_t(stride) * label.height);
  for (int y = 0; y < label.height; ++y)
    for (int x = 0; x < label.width; ++x) {
      uint8_t* row = rows + size_t(y) * stride;
      const bool isWhite = !label.is_black(x, y);
      if (bitsPerPixel == 1)
        row[x / 8] |= isWhite ? uint8_t(0x80 >> (x % 8)) : 0;
      else
        memset(row + x * bitsPerPixel / 8, isWhite ? white : black, size_t(bitsPerPixel / 8));
    }
  GdiFlush();
  return bitmap;
}

HBITMAP ScreenBitmap(HBITMAP dib) {
  BITMAP bm{};
  GetObjectA(dib, sizeof bm, &bm);
  HDC screen = GetDC(nullptr), from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
  HBITMAP ddb = CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight);
  HGDIOBJ oldFrom = SelectObject(from, dib), oldTo = SelectObject(to, ddb);
  BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  ReleaseDC(nullptr, screen);
  DeleteObject(dib);
  return ddb;
}

HBITMAP TextBitmap(int width, int height, Picture* picture) {
  *picture = Picture{width, height, std::vector<uint8_t>(size_t(width) * height, 0),
                     std::vector<uint8_t>(size_t(width) * height, 0)};
  HBITMAP bitmap = LabelBitmap(*picture, 24);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HFONT font = CreateFontA(height / 2, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0,
                           ANTIALIASED_QUALITY, 0, "Tahoma");
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT all{0, 0, width, height};
  DrawTextA(dc, "Lot 42 g", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  GdiFlush();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      const int grey = (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
      picture->black[size_t(y) * width + x] = grey < 96;
      picture->either[size_t(y) * width + x] = grey >= 96 && grey <= 160;
    }
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

bool ReadPicture(const std::string& path, Picture* picture) {
  HBITMAP bitmap = LoadLabelImage(path.c_str());
  BITMAP bm{};
  if (bitmap == nullptr || !GetObject(bitmap, sizeof bm, &bm))
    return DeleteObject(bitmap), false;
  BITMAPINFO top_down{
      {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  std::vector<RGBQUAD> pixels(size_t(bm.bmWidth) * bm.bmHeight);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, bm.bmHeight, pixels.data(), &top_down, 0);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  *picture = Picture{bm.bmWidth, bm.bmHeight, std::vector<uint8_t>(pixels.size()), {}};
  for (size_t i = 0; i < pixels.size(); ++i)
    picture->black[i] = pixels[i].rgbRed + pixels[i].rgbGreen + pixels[i].rgbBlue < 3 * 128;
  return rows == bm.bmHeight;
}

std::string PrintedDifference(TlxSim& sim, int com, int n, const Picture& label, int offset,
                              DWORD waitMs) {
  Picture printed;
  if (!WaitUntil([&] { return sim.number("labels", com) >= n; }, waitMs))
    return "label " + std::to_string(n) + " was not printed";
  if (!ReadPicture(sim.label_path(n, com), &printed))
    return "cannot read " + sim.label_path(n, com);
  size_t wrong = 0, stray = 0;
  for (int y = 0; y < printed.height || y < label.height; ++y)
    for (int x = 0; x < printed.width || x < offset + label.width; ++x) {
      const bool inside = x >= offset && x < offset + label.width && y < label.height;
      if (inside && !label.either.empty() && label.either[size_t(y) * label.width + x - offset])
        continue;
      if (printed.is_black(x, y) != (inside && label.is_black(x - offset, y)))
        ++(inside ? wrong : stray);
    }
  if (wrong == 0 && stray == 0)
    return "";
  return std::to_string(wrong) + " dots of the label differ, " + std::to_string(stray) +
         " printed outside it";
}

} // namespace veldrin_test
