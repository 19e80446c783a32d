// Fuzz target: changed-region detection over two bitmaps' bits, natively
// under ASan and UBSan. The input chooses the size (up to 1024 x 1024), depth
// and row length and supplies the bits of both labels: a few flipped bits, or
// a stretch of changed bytes, so that the growth and merge see few changed
// blocks as well as many, beyond the limit included. For any input:
//   - the result and regions equal the literal step-by-step procedure's;
//   - a result of -1 or 0 leaves the output pointer alone;
//   - every region starts on a block boundary inside the bitmap and ends
//     within its last block column and its last row; for 1-bit labels the
//     print job's bytes x/8 .. x/8 + (width + 7)/8 - 1 of each row exist;
//   - every changed block lies inside some region.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/regions.h"
#include "tests/imaging/literal_regions.h"

namespace {
void check(bool condition) {
  if (!condition)
    abort();
}

// Reads the input front to back; zeros once it is used up.
struct Input {
  const uint8_t* data; // the fuzzer's bytes
  size_t size;         // how many
  size_t at;           // next byte
};

uint8_t next_byte(Input* in) {
  return in->at < in->size ? in->data[in->at++] : 0;
}

bool block_changed(const BitmapBits& a, const BitmapBits& b, int32_t bx, int32_t by) {
  const int32_t nBlkX = BlockColumns(a.nWidth);
  const int32_t start = bx * a.nBitsPixel;
  int32_t length = a.nBitsPixel;
  if (bx == nBlkX - 1 && a.nWidth % 8 != 0)
    length = a.nWidthBytes - start;
  for (int32_t r = by * 8; r < by * 8 + 8 && r < a.nHeight; ++r)
    if (memcmp(a.pBits + static_cast<size_t>(r) * a.nWidthBytes + start,
               b.pBits + static_cast<size_t>(r) * b.nWidthBytes + start,
               static_cast<size_t>(length)) != 0)
      return true;
  return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int32_t kDepths[] = {1, 1, 1, 1, 4, 8, 16, 24, 32};
  Input in = {data, size, 0};
  // Up to 1024 x 1024 pixels: 16384 blocks, more than kMaxChangedBlocks.
  const int32_t widthLow = next_byte(&in);
  const int32_t width = 1 + (widthLow | (next_byte(&in) & 3) << 8);
  const int32_t heightLow = next_byte(&in);
  const int32_t height = 1 + (heightLow | (next_byte(&in) & 3) << 8);
  const int32_t depth = kDepths[next_byte(&in) % 9];
  const int32_t rowLength = (width * depth + 15) / 16 * 2 + 2 * (next_byte(&in) % 3);
  const uint8_t mode = next_byte(&in);
  const size_t bytes = static_cast<size_t>(rowLength) * height;

  // The rest of the input: its first half repeated makes the old label, its
  // second half says what changes.
  const uint8_t* rest = data + in.at;
  const size_t restSize = size - in.at;
  const size_t half = restSize / 2;
  const uint8_t* change = rest + half;
  const size_t changeSize = restSize - half;
  std::vector<uint8_t> previous(bytes);
  for (size_t i = 0; i < bytes; ++i)
    previous[i] = half > 0 ? rest[i % half] : 0;
  std::vector<uint8_t> current = previous;
  if (mode % 2 == 0) {
    // Sparse: each pair of bytes flips one bit somewhere.
    for (size_t k = 0; k + 1 < changeSize; k += 2) {
      const size_t at = (change[k] | change[k + 1] << 8) * 131u % bytes;
      current[at] ^= static_cast<uint8_t>(1u << (mode / 2 % 8));
    }
  } else if (changeSize > 0) {
    // Dense: the change bytes, repeated, over a stretch of the label.
    const size_t stretch =
        changeSize * (1 + mode / 2 % 64) < bytes ? changeSize * (1 + mode / 2 % 64) : bytes;
    for (size_t i = 0; i < stretch; ++i)
      current[(i * 7) % bytes] ^= change[i % changeSize];
  }

  const BitmapBits a = {previous.data(), width, height, rowLength, depth};
  const BitmapBits b = {current.data(), width, height, rowLength, depth};
  ChangedRegion* const untouched = reinterpret_cast<ChangedRegion*>(static_cast<uintptr_t>(16));
  ChangedRegion* fast = untouched;
  ChangedRegion* literal = untouched;
  const int16_t fastResult = FindChangedRegionsInBits(&a, &b, &fast);
  const int16_t literalResult = LiteralFindChangedRegions(&a, &b, &literal);
  check(fastResult == literalResult);
  if (fastResult <= 0) {
    check(fast == untouched);
    return 0;
  }
  check(memcmp(fast, literal, static_cast<size_t>(fastResult) * sizeof(ChangedRegion)) == 0);
  for (int16_t k = 0; k < fastResult; ++k) {
    const ChangedRegion& r = fast[k];
    check(r.x >= 0 && r.x % 8 == 0 && r.x < width && r.width > 0);
    check(r.x + r.width <= BlockColumns(width) * 8);
    check(r.y >= 0 && r.y % 8 == 0 && r.height > 0 && r.y + r.height <= height);
    if (depth == 1)
      check(r.x / 8 + (r.width + 7) / 8 <= rowLength);
  }
  for (int32_t by = 0; by < BlockRows(height); ++by) {
    for (int32_t bx = 0; bx < BlockColumns(width); ++bx) {
      if (!block_changed(a, b, bx, by))
        continue;
      bool inside = false;
      for (int16_t k = 0; k < fastResult && !inside; ++k)
        inside = fast[k].x <= bx * 8 && bx * 8 < fast[k].x + fast[k].width && fast[k].y <= by * 8 &&
                 by * 8 < fast[k].y + fast[k].height;
      check(inside);
    }
  }
  free(fast);
  free(literal);
  return 0;
}
