// The monochrome label bitmap and the packed-DIB routines. The label is read
// into a packed DIB with GetDIBits and drawn back onto a new 1-bit bitmap with
// SetDIBitsToDevice, so GDI's colour matching picks black and white.
#include "imaging/monochrome.h"

namespace {
constexpr UINT kPackedDibFlags = GMEM_MOVEABLE | GMEM_ZEROINIT; // 0x42
constexpr DWORD kHeaderSize = sizeof(BITMAPINFOHEADER);         // 40
} // namespace

void InitDibHeader(BITMAPINFOHEADER* header, DWORD width, DWORD height, int bitsPerPixel) {
  WORD bitCount = 24; // 16 and 32 bits per pixel are read as 24
  if (bitsPerPixel <= 1)
    bitCount = 1;
  else if (bitsPerPixel <= 4)
    bitCount = 4;
  else if (bitsPerPixel <= 8)
    bitCount = 8;
  *header = BITMAPINFOHEADER{};
  header->biSize = kHeaderSize;
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = static_cast<LONG>(height); // positive: bottom row first
  header->biPlanes = 1;
  header->biBitCount = bitCount;
  header->biSizeImage = (width * bitCount + 31) / 32 * 4 * height; // unsigned 32-bit
}

WORD DibColorCount(const BITMAPINFOHEADER* header) {
  if (header->biClrUsed != 0)
    return static_cast<WORD>(header->biClrUsed);
  switch (header->biBitCount) {
  case 1:
    return 2;
  case 4:
    return 16;
  case 8:
    return 256;
  default:
    return 0; // 24 bits per pixel: no colour table
  }
}

WORD DibColorTableSize(const BITMAPINFOHEADER* header) {
  return static_cast<WORD>(DibColorCount(header) * sizeof(RGBQUAD));
}

BYTE* DibPixelData(BITMAPINFOHEADER* header) {
  return reinterpret_cast<BYTE*>(header) + header->biSize + DibColorTableSize(header);
}

HGLOBAL BitmapToPackedDib(HBITMAP hBitmap) {
  if (hBitmap == nullptr) // GCOVR_EXCL_BR_LINE: the job refuses it first
    return nullptr;       // GCOVR_EXCL_LINE
  BITMAP bm;
  // Any other object type answers with its own record size.
  if (GetObjectA(hBitmap, sizeof(bm), &bm) != sizeof(bm))
    return nullptr;
  BITMAPINFOHEADER header;
  InitDibHeader(&header, static_cast<DWORD>(bm.bmWidth), static_cast<DWORD>(bm.bmHeight),
                bm.bmPlanes * bm.bmBitsPixel);
  HGLOBAL block =
      GlobalAlloc(kPackedDibFlags, kHeaderSize + DibColorTableSize(&header) + header.biSizeImage);
  if (block == nullptr)
    return nullptr;
  auto* dib = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  if (dib == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  *dib = header;
  HDC screen = GetDC(nullptr);
  const int lines = GetDIBits(screen, hBitmap, 0, static_cast<UINT>(bm.bmHeight), DibPixelData(dib),
                              reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS);
  GlobalUnlock(block);
  if (lines == 0) {
    GlobalFree(block);
    block = nullptr;
  }
  ReleaseDC(nullptr, screen);
  return block;
}

HBITMAP CreateMonochromeLabelBitmap(HBITMAP hBitmap) {
  HBITMAP result = nullptr;
  HBITMAP mono = nullptr;
  HGDIOBJ previous = nullptr;
  BITMAPINFOHEADER* header = nullptr;
  HGLOBAL dib = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  if (memory == nullptr)
    return nullptr;
  dib = BitmapToPackedDib(hBitmap);
  if (dib == nullptr)
    goto release_dc;
  header = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
  if (header == nullptr)
    goto release_dib;
  mono = CreateBitmap(header->biWidth, header->biHeight, 1, 1, nullptr);
  if (mono == nullptr)
    goto release_lock;
  previous = SelectObject(memory, mono);
  if (previous == nullptr) {
    DeleteObject(mono);
    goto release_lock;
  }
  // The result is ignored: a partial draw still leaves a bitmap of the
  // label's size, and the print job has nothing better to send.
  SetDIBitsToDevice(memory, 0, 0, static_cast<DWORD>(header->biWidth),
                    static_cast<DWORD>(header->biHeight), 0, 0, 0,
                    static_cast<UINT>(header->biHeight), DibPixelData(header),
                    reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
  // Selected back, so that the caller may read or delete the new bitmap.
  SelectObject(memory, previous);
  result = mono;
release_lock:
  GlobalUnlock(dib);
release_dib:
  GlobalFree(dib);
release_dc:
  DeleteDC(memory);
  return result;
}
