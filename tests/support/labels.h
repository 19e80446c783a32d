// Test labels: black-and-white pictures drawn into GDI bitmaps of a chosen
// depth, and the check that the simulated printer printed one dot for dot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tlxsim {
class TlxSim;
}

namespace veldrin_test {
using namespace tlxsim;

// A picture of width x height dots, row by row, 1 = black; dots marked in
// `either` (when it is not empty) may print either way.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> black;
  std::vector<uint8_t> either;
  bool is_black(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && black[size_t(y) * width + x];
  }
};

// A label with a border, stripes, a block pattern from `seed` and a bar code
// of `counter` near its top left (so two counters differ in a small area).
Picture MakeLabel(int width, int height, uint32_t seed, int counter);

// The picture as a top-down DIB section of 1, 8, 16, 24 or 32 bits per pixel,
// its black and white dots in the given grey levels; the caller deletes it.
HBITMAP LabelBitmap(const Picture& label, int bitsPerPixel = 24, BYTE black = 0, BYTE white = 255);
// A bitmap in the screen's own format (CreateCompatibleBitmap) with the
// picture of `dib`, which it deletes.
HBITMAP ScreenBitmap(HBITMAP dib);
// Anti-aliased black text on white in a 24-bit DIB section of width x height, and in *picture what
// it should print: dark dots black, light ones white, the greys between either way.
HBITMAP TextBitmap(int width, int height, Picture* picture);

// A PNG (or any image WIC reads) as a picture: darker than mid-grey is black.
bool ReadPicture(const std::string& path, Picture* picture);

// "" when the printer on COM `com` printed, as its label `n`, exactly `label`
// at `offset` dots from the head's left edge and nothing else; else why not.
std::string PrintedDifference(TlxSim& sim, int com, int n, const Picture& label, int offset,
                              DWORD waitMs = 10000);

} // namespace veldrin_test
