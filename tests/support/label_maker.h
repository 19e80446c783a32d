// Label bitmaps for the print job tests: pure black-and-white pictures drawn
// into DIB sections of a chosen depth, with the picture kept beside them so a
// printed label can be compared dot by dot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veldrin_test {
class TlxSim;
}

struct TestLabel {
  int width = 0;              // pixels per row
  int height = 0;             // rows
  std::vector<uint8_t> black; // width * height entries, row by row, 1 = black
  bool is_black(int x, int y) const { return black[static_cast<size_t>(y) * width + x] != 0; }
};

// A label with a border, stripes, a block pattern from `seed`, and a counter
// field whose dots follow `counter`.
TestLabel MakeTestLabel(int width, int height, uint32_t seed, int counter);

// The label as a GDI bitmap of the given depth (1, 8, 24 or 32 bits per
// pixel); the caller deletes it.
HBITMAP LabelBitmap(const TestLabel& label, int bitsPerPixel = 24);

// Whether the printer on COM `com` printed, as its label `number`, exactly
// `label` at (offset, 0) and nothing outside it (waits up to 10 s for the
// label). False with the reason in *why.
bool PrintedAsLabel(veldrin_test::TlxSim& sim, int com, int number, const TestLabel& label,
                    int offset, std::string* why);
