// Reading the simulator's label PNGs (or any image file) into a pixel array through WIC, so that
// Wine tests can compare printed labels dot by dot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veldrin_test {

// One bit per pixel, as printed: true = black (a printed dot).
struct Pixels {
  int width = 0;              // pixels per row
  int height = 0;             // rows
  std::vector<uint8_t> black; // width * height entries, row by row, 1 = black

  bool is_black(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && black[size_t(y) * width + x];
  }
  size_t count_black() const;
  // Black pixels inside the rectangle [x, x + w) x [y, y + h).
  size_t count_black(int x, int y, int w, int h) const;
};

// How a printed label differs from the picture it should show: a picture of
// width x height dots (`black`, row by row, 1 = black) placed at (offset, 0)
// and nothing else on the label.
struct PrintedDifference {
  size_t wrong = 0; // dots inside the picture's place that differ from it
  size_t stray = 0; // black dots outside the picture's place
};
PrintedDifference ComparePrinted(const Pixels& printed, int offset, int width, int height,
                                 const std::vector<uint8_t>& black);

// Decodes an image file; a pixel darker than mid-grey counts as black. False (and *error) if the
// file is missing or cannot be decoded.
bool read_png(const std::string& path, Pixels* pixels, std::string* error = nullptr);

} // namespace veldrin_test
