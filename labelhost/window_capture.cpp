// Window pictures for labelhost setup and conddlg.
#include "labelhost/window_capture.h"

#include <wincodec.h>

#include <cstdio>
#include <vector>

namespace {
// The screen's pixels under the window, bottom-up rows turned top-down, 24 bits.
bool copy_from_screen(HWND hWnd, std::vector<BYTE>* pixels, int* width, int* height) {
  RECT r;
  if (!GetWindowRect(hWnd, &r))
    return false;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = *width;
  bi.bmiHeader.biHeight = -*height; // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = dib != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, *width, *height, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    const size_t stride = (static_cast<size_t>(*width) * 3 + 3) & ~size_t{3};
    pixels->assign(static_cast<const BYTE*>(bits),
                   static_cast<const BYTE*>(bits) + stride * static_cast<size_t>(*height));
    SelectObject(mem, old);
    DeleteObject(dib);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool write_png(const char* path, const std::vector<BYTE>& pixels, int width, int height) {
  wchar_t wpath[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wpath, MAX_PATH) == 0)
    return false;
  const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const bool ok =
      SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromFilename(wpath, GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
      SUCCEEDED(frame->Initialize(nullptr)) &&
      SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
      SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
      SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), stride,
                                   static_cast<UINT>(pixels.size()),
                                   const_cast<BYTE*>(pixels.data()))) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (frame != nullptr)
    frame->Release();
  if (encoder != nullptr)
    encoder->Release();
  if (stream != nullptr)
    stream->Release();
  if (factory != nullptr)
    factory->Release();
  return ok;
}
} // namespace

bool SaveWindowPng(HWND hWnd, const char* path) {
  // Everything painted before the copy: the screen is what is read.
  RedrawWindow(hWnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
  std::vector<BYTE> pixels;
  int width = 0;
  int height = 0;
  if (!copy_from_screen(hWnd, &pixels, &width, &height)) {
    fprintf(stderr, "labelhost: cannot copy the window from the screen\n");
    return false;
  }
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const bool ok = write_png(path, pixels, width, height);
  if (SUCCEEDED(init))
    CoUninitialize();
  if (!ok)
    fprintf(stderr, "labelhost: cannot write %s\n", path);
  return ok;
}
