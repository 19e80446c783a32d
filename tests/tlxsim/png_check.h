// Reading PNG files back in the tests with libpng's own simplified interface, independent of the
// simulator's reader: the grey value of every pixel, row by row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlxsim_test {

struct GreyImage {
  uint32_t width = 0;          // pixels per row
  uint32_t height = 0;         // rows
  std::vector<uint8_t> pixels; // grey levels, 0 black .. 255 white

  bool black(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x] == 0; }
  bool white(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x] == 255; }
  size_t count_black() const;
};

// False (with the reason in *error) if the file is missing or not a PNG.
bool load_png(const std::string& path, GreyImage* image, std::string* error);

} // namespace tlxsim_test
