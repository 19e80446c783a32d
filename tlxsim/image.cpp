// The printer's image memory: raster characters in, one-bit rows out.
#include "tlxsim/image.h"

#include <algorithm>

namespace tlxsim {

void Bitmap::set(uint32_t x, uint32_t y, bool black) {
  if (x >= width || y >= height)
    return;
  uint8_t& byte = bits[size_t(y) * stride + x / 8];
  const uint8_t mask = uint8_t(0x80 >> (x % 8));
  byte = black ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
}

Bitmap Bitmap::blank(uint32_t width, uint32_t height) {
  Bitmap b;
  b.width = width;
  b.height = height;
  b.stride = (width + 7) / 8;
  b.bits.assign(size_t(b.stride) * height, 0);
  return b;
}

ImageMemory::ImageMemory(uint32_t width_dots, uint32_t max_rows)
    : width_(width_dots), stride_((width_dots + 7) / 8), max_rows_(max_rows) {}

void ImageMemory::clear() {
  extent_ = 0;
  bits_.clear();
}

bool ImageMemory::put(uint64_t x, uint64_t y, const uint8_t* chars, size_t n) {
  if (y >= max_rows_)
    return false;
  const uint32_t row = uint32_t(y);
  if (row >= extent_) {
    extent_ = row + 1;
    if (bits_.size() < size_t(extent_) * stride_)
      bits_.resize(size_t(extent_) * stride_, 0);
  }
  uint8_t* line = bits_.data() + size_t(row) * stride_;
  bool inside = true;
  for (size_t i = 0; i < n; ++i) {
    const unsigned nibble = unsigned(chars[i] - '0') & 0x0F;
    const uint64_t first = x + 4 * uint64_t(i);
    if (first >= width_) {
      inside = false;
      break;
    }
    if (first % 4 == 0 && first + 4 <= width_) { // the nibble fills half a byte
      uint8_t& byte = line[first / 8];
      byte = (first % 8 == 0) ? uint8_t((byte & 0x0F) | (nibble << 4))
                              : uint8_t((byte & 0xF0) | nibble);
      continue;
    }
    for (unsigned j = 0; j < 4; ++j) {
      const uint64_t d = first + j;
      if (d >= width_) {
        inside = false;
        break;
      }
      const uint8_t mask = uint8_t(0x80 >> (d % 8));
      if (nibble >> (3 - j) & 1)
        line[d / 8] |= mask;
      else
        line[d / 8] &= uint8_t(~mask);
    }
  }
  return inside;
}

bool ImageMemory::dot(uint32_t x, uint32_t y) const {
  return x < width_ && y < extent_ && (bits_[size_t(y) * stride_ + x / 8] >> (7 - x % 8) & 1);
}

Bitmap ImageMemory::snapshot() const {
  Bitmap b = Bitmap::blank(width_, std::max<uint32_t>(extent_, 1));
  std::copy(bits_.begin(), bits_.begin() + ptrdiff_t(size_t(extent_) * stride_), b.bits.begin());
  return b;
}

} // namespace tlxsim
