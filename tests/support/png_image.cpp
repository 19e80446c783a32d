// Reading images into pixel arrays through the Windows Imaging Component (Wine's windowscodecs).
#include "support/png_image.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>

namespace veldrin_test {
namespace {

// Releases a COM interface at the end of a scope.
template <typename T> class ComRef {
public:
  ~ComRef() {
    if (p)
      p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
  T* get() const { return p; }
  T* p = nullptr;
};

bool fail(std::string* error, const std::string& what, HRESULT hr) {
  if (error) {
    char buf[32];
    wsprintfA(buf, " (0x%08lx)", static_cast<unsigned long>(hr));
    *error = what + buf;
  }
  return false;
}

} // namespace

size_t Pixels::count_black() const {
  size_t n = 0;
  for (uint8_t b : black)
    n += b;
  return n;
}

size_t Pixels::count_black(int x, int y, int w, int h) const {
  size_t n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      n += is_black(i, j);
  return n;
}

PrintedDifference ComparePrinted(const Pixels& printed, int offset, int width, int height,
                                 const std::vector<uint8_t>& black) {
  PrintedDifference d;
  for (int y = 0; y < printed.height; ++y)
    for (int x = 0; x < printed.width; ++x) {
      const bool inside = x >= offset && x < offset + width && y < height;
      const bool expected = inside && black[size_t(y) * width + (x - offset)] != 0;
      if (printed.is_black(x, y) != expected)
        ++(inside ? d.wrong : d.stray);
    }
  return d;
}

bool read_png(const std::string& path, Pixels* pixels, std::string* error) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const bool uninit = SUCCEEDED(init); // S_FALSE too: balanced by CoUninitialize
  bool ok = false;
  {
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICBitmapSource> bgra;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
    if (FAILED(hr))
      hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
    std::wstring wide(MAX_PATH, L'\0');
    wide.resize(size_t(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), MAX_PATH) - 1)));
    UINT w = 0, h = 0;
    if (FAILED(hr)) {
      fail(error, "WIC imaging factory", hr);
    } else if (FAILED(hr = factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                              WICDecodeMetadataCacheOnDemand,
                                                              decoder.out()))) {
      fail(error, path + ": cannot decode", hr);
    } else if (FAILED(hr = decoder->GetFrame(0, frame.out()))) {
      fail(error, path + ": no frame", hr);
    } else if (FAILED(hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(),
                                                  bgra.out()))) {
      fail(error, path + ": cannot convert", hr);
    } else if (FAILED(hr = bgra->GetSize(&w, &h))) {
      fail(error, path + ": no size", hr);
    } else {
      std::vector<BYTE> buf(size_t(w) * h * 4);
      if (FAILED(hr = bgra->CopyPixels(nullptr, w * 4, UINT(buf.size()), buf.data()))) {
        fail(error, path + ": cannot read pixels", hr);
      } else {
        pixels->width = int(w);
        pixels->height = int(h);
        pixels->black.assign(size_t(w) * h, 0);
        for (size_t i = 0; i < size_t(w) * h; ++i) {
          const BYTE* p = &buf[i * 4];
          pixels->black[i] = (p[0] + p[1] + p[2]) < 3 * 128;
        }
        ok = true;
      }
    }
  }
  if (uninit)
    CoUninitialize();
  return ok;
}

} // namespace veldrin_test
