// The printer's image memory and the one-bit bitmaps it is printed from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tlxsim {

// A one-bit image: row-major, leftmost dot in the most significant bit, 1 = printed (black).
struct Bitmap {
  uint32_t width = 0;        // dots per row
  uint32_t height = 0;       // rows
  uint32_t stride = 0;       // bytes per row
  std::vector<uint8_t> bits; // height * stride bytes

  bool dot(uint32_t x, uint32_t y) const {
    return x < width && y < height && (bits[size_t(y) * stride + x / 8] >> (7 - x % 8) & 1);
  }
  void set(uint32_t x, uint32_t y, bool black);
  static Bitmap blank(uint32_t width, uint32_t height);
};

// Image memory as wide as the print head. It grows downwards as rows are written, up to a fixed
// limit; its height is one past the lowest row written since the last clear.
class ImageMemory {
public:
  ImageMemory(uint32_t width_dots, uint32_t max_rows);

  void clear();
  // Writes raster characters ('0'..'?', four dots each, leftmost in the high bit) at dot x of
  // row y, printed dots set and the others cleared. Returns false if some dots fell outside.
  bool put(uint64_t x, uint64_t y, const uint8_t* chars, size_t n);

  uint32_t width() const { return width_; }
  uint32_t height() const { return extent_; } // rows written since the last clear
  uint32_t max_rows() const { return max_rows_; }
  bool dot(uint32_t x, uint32_t y) const;
  // The memory as printed: its height, but at least one row.
  Bitmap snapshot() const;

private:
  uint32_t width_;            // dots per row
  uint32_t stride_;           // bytes per row
  uint32_t max_rows_;         // rows beyond this are dropped
  uint32_t extent_ = 0;       // one past the lowest row written
  std::vector<uint8_t> bits_; // extent_ * stride_ bytes (or more)
};

} // namespace tlxsim
