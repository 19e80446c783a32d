// The changed-region procedure, literally: blocks compared one at a time, the list searched for
// every changed block, the whole rectangle summed for every growth step tried.
#include "fuzz/literal_regions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

int16_t LiteralFindChangedRegions(const BitmapBits* previous, const BitmapBits* current,
                                  ChangedRegion** regionsOut) {
  if (previous->nWidth != current->nWidth || previous->nHeight != current->nHeight ||
      previous->nBitsPixel != current->nBitsPixel)
    return -1;
  const int32_t width = current->nWidth, height = current->nHeight;
  const int32_t rowLength = current->nWidthBytes, depth = current->nBitsPixel;
  const int32_t nBlkX = (width + 7) / 8, nBlkY = (height + 7) / 8;
  uint8_t* map = static_cast<uint8_t*>(calloc(static_cast<size_t>(nBlkX) * nBlkY + 1, 1));
  int32_t changed = 0, count = 0;
  // Compare, columns outer, up to 10001 changed blocks; a partial last column owns the row's rest.
  for (int32_t bx = 0; bx < nBlkX; ++bx) {
    const int32_t length = bx == nBlkX - 1 && width % 8 != 0 ? rowLength - bx * depth : depth;
    for (int32_t by = 0; by < nBlkY && changed <= kMaxChangedBlocks; ++by)
      for (int32_t row = 8 * by; row < 8 * by + 8 && row < height && !map[by * nBlkX + bx]; ++row)
        if (memcmp(previous->pBits + static_cast<size_t>(row) * rowLength + bx * depth,
                   current->pBits + static_cast<size_t>(row) * rowLength + bx * depth, length))
          changed += map[by * nBlkX + bx] = 1;
  }
  if (changed == 0 || changed > kMaxChangedBlocks) {
    free(map);
    return changed == 0 ? 0 : -1;
  }
  // Seed on each uncovered changed block and grow: sweeps of right, down, left until none stays.
  BlockRect* list = static_cast<BlockRect*>(calloc(changed, sizeof(BlockRect)));
  auto step = [&](const BlockRect* e, int32_t* field, int32_t by) {
    *field += by;
    const bool stays = ChangedFraction(map, nBlkX, e->x, e->y, e->w, e->h) >= kGrowThreshold;
    *field -= stays ? 0 : by;
    return stays;
  };
  for (int32_t i = 0; i < nBlkX; ++i)
    for (int32_t j = 0; j < nBlkY; ++j) {
      if (map[j * nBlkX + i] == 0 || IsBlockCovered(list, count, i, j))
        continue;
      BlockRect* e = &list[count++];
      *e = BlockRect{i, j, 1, 1};
      for (bool stayed = true; stayed;) {
        stayed = e->x + e->w < nBlkX && step(e, &e->w, 1);
        stayed = (e->y + e->h < nBlkY && step(e, &e->h, 1)) || stayed;
        stayed = (e->x > 1 && step(e, &e->x, -1)) || stayed;
      }
      e->w = std::max(e->w, i + 1 - e->x); // back to the seed column
    }
  // Merge in one pass: touching entries become one, the last entry taking the freed place.
  for (int32_t a = 0; a + 1 < count; ++a)
    for (int32_t b = count - 1; b >= a + 1; --b) {
      const BlockRect A = list[a], B = list[b];
      if (abs(A.x - B.x) > (A.x > B.x ? B.w : A.w) || abs(A.y - B.y) > (A.y > B.y ? B.h : A.h))
        continue;
      const int32_t x = std::min(A.x, B.x), y = std::min(A.y, B.y);
      list[a] = {x, y, std::max(A.x + A.w, B.x + B.w) - x, std::max(A.y + A.h, B.y + B.h) - y};
      list[b] = list[--count];
    }
  // Convert: an even first column; 16-pixel widths unless the region reaches the right edge.
  ChangedRegion* regions = static_cast<ChangedRegion*>(malloc(count * sizeof(ChangedRegion)));
  for (int32_t k = 0; k < count; ++k) {
    const int32_t x = list[k].x / 2 * 2, w = list[k].w + list[k].x % 2, y = list[k].y;
    const bool right = x + w == nBlkX, bottom = y + list[k].h == nBlkY;
    // An odd width reaching the right edge starts a block further left, unless at column 0.
    const int32_t left = right && w % 2 == 1 && x > 0 ? x * 8 - 8 : x * 8;
    regions[k] = {left, y * 8, right ? width - left : (w + w % 2) * 8,
                  bottom ? height - y * 8 : list[k].h * 8};
  }
  *regionsOut = regions;
  free(list);
  free(map);
  return static_cast<int16_t>(count);
}
