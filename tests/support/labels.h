// Test labels: black-and-white pictures drawn into GDI bitmaps of a chosen
// depth, and the check that the simulated printer printed one dot for dot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veldrin_test {

class TlxSim;

// A picture of width x height dots, row by row, 1 = black.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> black;
  bool is_black(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && black[size_t(y) * width + x];
  }
};

// A label with a border, stripes, a block pattern from `seed` and a bar code
// of `counter` near its top left (so two counters differ in a small area).
Picture MakeLabel(int width, int height, uint32_t seed, int counter);

// The picture as a top-down DIB section of 1, 8, 24 or 32 bits per pixel;
// the caller deletes it.
HBITMAP LabelBitmap(const Picture& label, int bitsPerPixel = 24);

// A PNG (or any image WIC reads) as a picture: darker than mid-grey is black.
bool ReadPicture(const std::string& path, Picture* picture);

// "" when the printer on COM `com` printed, as its label `n`, exactly `label`
// at `offset` dots from the head's left edge and nothing else; else why not.
std::string PrintedDifference(TlxSim& sim, int com, int n, const Picture& label, int offset);

} // namespace veldrin_test
