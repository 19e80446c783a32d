// Fuzz target: changed-region detection over two bitmaps' bits (size up to 1024 x 1024, any depth
// and row length; a few flipped bits or a stretch of changed bytes, beyond the limit too). Result
// and regions equal the literal procedure's; -1 and 0 leave the output alone; every region starts
// on a block boundary inside the bitmap and ends within its last block column (so within each row
// of a 1-bit label) and row; every differing byte lies in a region.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/literal_regions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int32_t kDepths[] = {1, 1, 1, 1, 4, 8, 16, 24, 32};
  std::vector<uint8_t> in(data, data + size); // 7 header bytes (zeros when short), the rest
  in.resize(std::max<size_t>(size, 7));
  const uint8_t* h = in.data();
  const int32_t width = 1 + (h[0] | (h[1] & 3) << 8), height = 1 + (h[2] | (h[3] & 3) << 8);
  const int32_t depth = kDepths[h[4] % 9];
  const int32_t rowLength = (width * depth + 15) / 16 * 2 + 2 * (h[5] % 3);
  const size_t bytes = static_cast<size_t>(rowLength) * height;
  // The rest: its first half repeated is the old label, its second half the change.
  const size_t half = (in.size() - 7) / 2, changeSize = in.size() - 7 - half;
  const uint8_t* change = h + 7 + half;
  std::vector<uint8_t> previous(bytes);
  for (size_t i = 0; i < bytes && half > 0; ++i)
    previous[i] = h[7 + i % half];
  std::vector<uint8_t> current = previous;
  for (size_t k = 0; h[6] % 2 == 0 && k + 1 < changeSize; k += 2) // a bit flipped per pair
    current[(change[k] | change[k + 1] << 8) * 131u % bytes] ^= uint8_t(1u << (h[6] / 2 % 8));
  for (size_t i = 0; h[6] % 2 == 1 && i < changeSize * (1 + h[6] / 2 % 64) && i < bytes; ++i)
    current[i * 7 % bytes] ^= change[i % changeSize]; // the change bytes over a stretch

  const BitmapBits a = {previous.data(), width, height, rowLength, depth};
  const BitmapBits b = {current.data(), width, height, rowLength, depth};
  ChangedRegion* const untouched = reinterpret_cast<ChangedRegion*>(uintptr_t{16});
  ChangedRegion *fast = untouched, *literal = untouched;
  const int16_t n = FindChangedRegionsInBits(&a, &b, &fast);
  const int16_t literalN = LiteralFindChangedRegions(&a, &b, &literal);
  assert(n == literalN);
  if (n <= 0) {
    assert(fast == untouched);
    return 0;
  }
  assert(memcmp(fast, literal, n * sizeof(ChangedRegion)) == 0);
  const int32_t nBlkX = BlockColumns(width);
  std::vector<uint8_t> covered(static_cast<size_t>(nBlkX) * BlockRows(height));
  for (const ChangedRegion* r = fast; r < fast + n; ++r) {
    assert(r->x >= 0 && r->x % 8 == 0 && r->x < width && r->width > 0 &&
           r->x + r->width <= nBlkX * 8);
    assert(r->y >= 0 && r->y % 8 == 0 && r->height > 0 && r->y + r->height <= height);
    for (int32_t by = r->y / 8; by * 8 < r->y + r->height; ++by)
      memset(&covered[by * nBlkX + r->x / 8], 1, (r->width + 7) / 8);
  }
  for (size_t i = 0; i < bytes; ++i) {
    const int32_t bx = static_cast<int32_t>(i % rowLength) / depth;
    if (previous[i] != current[i] && (bx < nBlkX || width % 8 != 0))
      assert(covered[static_cast<int32_t>(i / rowLength) / 8 * nBlkX + std::min(bx, nBlkX - 1)]);
  }
  free(fast);
  free(literal);
  return 0;
}
