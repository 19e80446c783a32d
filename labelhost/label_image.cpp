// Label bitmaps for labelhost.
#include "labelhost/label_image.h"

#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
// A top-down 24-bit DIB section; *bits receives its pixels.
HBITMAP make_dib(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Through a format converter to 32 bits per pixel (one straight to 24 bits
// cannot read 1-bit PNGs under Wine), then the pixels into the DIB.
HBITMAP load_with_wic(const char* path) {
  wchar_t wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
    return nullptr;
  const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  HBITMAP result = nullptr;
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* bgr = nullptr;
  UINT width = 0, height = 0;
  std::vector<BYTE> pixels;
  BYTE* bits = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateDecoderFromFilename(wide, nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&bgr)) ||
      FAILED(bgr->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                             0.0, WICBitmapPaletteTypeCustom)) ||
      FAILED(bgr->GetSize(&width, &height)) || width == 0 || height == 0) {
    fprintf(stderr, "labelhost: cannot decode %s\n", path);
  } else if (pixels.resize(size_t(width) * height * 4),
             FAILED(bgr->CopyPixels(nullptr, width * 4, UINT(pixels.size()), pixels.data()))) {
    fprintf(stderr, "labelhost: cannot read the pixels of %s\n", path);
  } else if ((result = make_dib(int(width), int(height), reinterpret_cast<void**>(&bits))) !=
             nullptr) {
    const UINT stride = (width * 3 + 3) & ~3u;
    for (UINT y = 0; y < height; ++y)
      for (UINT x = 0; x < width; ++x)
        memcpy(bits + y * stride + x * 3, &pixels[(size_t(y) * width + x) * 4], 3);
  }
  for (IUnknown* u : {static_cast<IUnknown*>(bgr), static_cast<IUnknown*>(frame),
                      static_cast<IUnknown*>(decoder), static_cast<IUnknown*>(factory)})
    if (u != nullptr)
      u->Release();
  if (comStarted)
    CoUninitialize();
  return result;
}
} // namespace

HBITMAP LoadLabelImage(const char* path) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  return bitmap != nullptr ? bitmap : load_with_wic(path);
}

bool BeginLabel(int width, int height, int textHeight, LabelCanvas* c) {
  void* bits = nullptr;
  *c = LabelCanvas{};
  c->bitmap = make_dib(width, height, &bits);
  if (c->bitmap == nullptr)
    return false;
  c->dc = CreateCompatibleDC(nullptr);
  c->oldBitmap = SelectObject(c->dc, c->bitmap);
  RECT all{0, 0, width, height};
  FillRect(c->dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  // Bold, without grey edges: a thermal printer has only black and white.
  c->font = CreateFontA(-textHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0,
                        NONANTIALIASED_QUALITY, 0, "Arial");
  c->oldFont = SelectObject(c->dc, c->font);
  SetBkMode(c->dc, TRANSPARENT);
  SetTextColor(c->dc, RGB(0, 0, 0));
  return true;
}

void DrawLabelText(const LabelCanvas& c, RECT* row, const char* text, int advance) {
  DrawTextA(c.dc, text, -1, row, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  OffsetRect(row, 0, advance);
}

HBITMAP EndLabel(LabelCanvas* c) {
  SelectObject(c->dc, c->oldFont);
  DeleteObject(c->font);
  SelectObject(c->dc, c->oldBitmap);
  DeleteDC(c->dc);
  return c->bitmap;
}

HBITMAP DrawLabel(int widthDots, int heightDots, int number, int count) {
  const int line = heightDots / 8 > 8 ? heightDots / 8 : 8;
  LabelCanvas c;
  if (!BeginLabel(widthDots, heightDots, line * 3 / 4, &c))
    return nullptr;
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const int border = widthDots / 100 + 2;
  for (int i = 0; i < border; ++i) {
    RECT frame{i, i, widthDots - i, heightDots - i};
    FrameRect(c.dc, &frame, black);
  }
  char text[64];
  RECT row{border * 3, border * 2, widthDots - border * 3, border * 2 + line};
  DrawLabelText(c, &row, "VELDRIN TLX-Pro", line);
  DrawLabelText(c, &row, "Lot 2026-12 / Line A", line * 3 / 2);
  snprintf(text, sizeof(text), "No. %06d", number);
  DrawLabelText(c, &row, text, line);
  snprintf(text, sizeof(text), "label %d of %d", number, count);
  DrawLabelText(c, &row, text, line);

  // A bar pattern across the bottom that does not change between labels.
  const int barTop = heightDots - border * 3 - line;
  for (int x = border * 3, i = 0; x < widthDots - border * 3; x += 2 + (i % 3), ++i) {
    if (i % 2 == 0) {
      RECT bar{x, barTop, x + 1 + (i % 4), heightDots - border * 3};
      FillRect(c.dc, &bar, black);
    }
  }
  return EndLabel(&c);
}

bool SaveLabelBitmap(HBITMAP bitmap, const char* path) {
  BITMAP bm{};
  if (GetObjectA(bitmap, sizeof bm, &bm) == 0)
    return false;
  // 24 bits per pixel, bottom row first, as BMP files usually are: LoadImage
  // and other programs misread a top-down file. GetDIBits gives that order
  // whatever the bitmap's own.
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), bm.bmWidth, bm.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD pixels = ((static_cast<DWORD>(bm.bmWidth) * 3 + 3) & ~3u) * bm.bmHeight;
  std::vector<BYTE> rows(pixels);
  GdiFlush();
  HDC screen = GetDC(nullptr);
  const int read = GetDIBits(screen, bitmap, 0, UINT(bm.bmHeight), rows.data(), &info, 0);
  ReleaseDC(nullptr, screen);
  if (read != bm.bmHeight)
    return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + pixels;
  HANDLE f =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    return false;
  DWORD written[3] = {};
  const bool ok = WriteFile(f, &file, sizeof file, &written[0], nullptr) &&
                  WriteFile(f, &info.bmiHeader, sizeof info.bmiHeader, &written[1], nullptr) &&
                  WriteFile(f, rows.data(), pixels, &written[2], nullptr) && written[2] == pixels;
  CloseHandle(f);
  return ok;
}
