// The changed-region procedure, literally: every step in the order it is
// described, with no shortcut.
#include "tests/imaging/literal_regions.h"

#include <cstdlib>
#include <cstring>

int16_t LiteralFindChangedRegions(const BitmapBits* previous, const BitmapBits* current,
                                  ChangedRegion** regionsOut) {
  // Describe.
  if (previous->nWidth != current->nWidth || previous->nHeight != current->nHeight ||
      previous->nBitsPixel != current->nBitsPixel)
    return -1;
  const int32_t width = current->nWidth;
  const int32_t height = current->nHeight;
  const int32_t rowLength = current->nWidthBytes;
  const int32_t bitsPixel = current->nBitsPixel;

  // Block geometry.
  const int32_t nBlkX = (width + 7) / 8;
  const int32_t nBlkY = (height + 7) / 8;
  uint8_t* map = static_cast<uint8_t*>(calloc(static_cast<size_t>(nBlkX) * nBlkY + 1, 1));
  int32_t changed = 0;

  // Compare: block columns outer, block rows inner.
  for (int32_t bx = 0; bx < nBlkX; ++bx) {
    for (int32_t by = 0; by < nBlkY; ++by) {
      const int32_t start = bx * bitsPixel;
      int32_t length = bitsPixel;
      if (bx == nBlkX - 1 && width % 8 != 0)
        length = rowLength - start;
      const uint8_t* a = previous->pBits + static_cast<size_t>(8 * by) * rowLength + start;
      const uint8_t* b = current->pBits + static_cast<size_t>(8 * by) * rowLength + start;
      for (int32_t row = 8 * by; row < 8 * by + 8 && row < height; ++row) {
        if (memcmp(a, b, static_cast<size_t>(length)) != 0) {
          map[by * nBlkX + bx] = 1;
          ++changed;
          if (changed > kMaxChangedBlocks) {
            free(map);
            return -1;
          }
          break;
        }
        a += rowLength;
        b += rowLength;
      }
    }
  }
  if (changed == 0) {
    free(map);
    return 0;
  }

  // Seed and grow.
  BlockRect* list =
      static_cast<BlockRect*>(calloc(static_cast<size_t>(changed), sizeof(BlockRect)));
  int32_t count = 0;
  for (int32_t i = 0; i < nBlkX; ++i) {
    for (int32_t j = 0; j < nBlkY; ++j) {
      if (map[j * nBlkX + i] == 0 || IsBlockCovered(list, count, i, j))
        continue;
      BlockRect* e = &list[count++];
      *e = BlockRect{i, j, 1, 1};
      for (;;) {
        bool stayed = false;
        if (e->x + e->w < nBlkX) {
          e->w += 1;
          if (ChangedFraction(map, nBlkX, e->x, e->y, e->w, e->h) < kGrowThreshold)
            e->w -= 1;
          else
            stayed = true;
        }
        if (e->y + e->h < nBlkY) {
          e->h += 1;
          if (ChangedFraction(map, nBlkX, e->x, e->y, e->w, e->h) < kGrowThreshold)
            e->h -= 1;
          else
            stayed = true;
        }
        if (e->x > 1) {
          e->x -= 1;
          if (ChangedFraction(map, nBlkX, e->x, e->y, e->w, e->h) < kGrowThreshold)
            e->x += 1;
          else
            stayed = true;
        }
        if (!stayed)
          break;
      }
      if (e->x + e->w < i + 1)
        e->w = i + 1 - e->x;
    }
  }

  // Merge: one pass.
  if (count > 1) {
    for (int32_t a = 0; a + 1 < count; ++a) {
      for (int32_t b = count - 1; b >= a + 1; --b) {
        BlockRect* A = &list[a];
        BlockRect* B = &list[b];
        const int32_t dx = A->x > B->x ? A->x - B->x : B->x - A->x;
        const int32_t dy = A->y > B->y ? A->y - B->y : B->y - A->y;
        const int32_t leftWidth = A->x > B->x ? B->w : A->w;
        const int32_t topHeight = A->y > B->y ? B->h : A->h;
        if (dx <= leftWidth && dy <= topHeight) {
          const int32_t x = A->x < B->x ? A->x : B->x;
          const int32_t y = A->y < B->y ? A->y : B->y;
          const int32_t right = A->x + A->w > B->x + B->w ? A->x + A->w : B->x + B->w;
          const int32_t bottom = A->y + A->h > B->y + B->h ? A->y + A->h : B->y + B->h;
          A->x = x;
          A->y = y;
          A->w = right - x;
          A->h = bottom - y;
          if (b != count - 1)
            list[b] = list[count - 1];
          count -= 1;
        }
      }
    }
  }

  // Convert.
  ChangedRegion* regions =
      static_cast<ChangedRegion*>(malloc(static_cast<size_t>(count) * sizeof(ChangedRegion)));
  for (int32_t k = 0; k < count; ++k) {
    int32_t x = list[k].x;
    int32_t w = list[k].w;
    const int32_t y = list[k].y;
    const int32_t h = list[k].h;
    if (x % 2 == 1) {
      x -= 1;
      w += 1;
    }
    ChangedRegion* r = &regions[k];
    r->x = x * 8;
    r->y = y * 8;
    if (w % 2 == 0) {
      if (x + w == nBlkX)
        r->width = width - r->x;
      else
        r->width = w * 8;
    } else {
      if (x + w == nBlkX && x > 0) {
        r->x -= 8;
        r->width = width - r->x;
      } else if (x + w == nBlkX) {
        r->width = width; // x = 0: the whole row
      } else {
        r->width = w * 8 + 8;
      }
    }
    if (y + h == nBlkY)
      r->height = height - r->y;
    else
      r->height = h * 8;
  }
  *regionsOut = regions;
  free(list);
  free(map);
  return static_cast<int16_t>(count);
}
