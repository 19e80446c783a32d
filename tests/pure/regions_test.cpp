// Changed-region detection over bit buffers: worked examples at several
// depths, padding, refusals, the block limit, growth and merging.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <span>
#include <utility>
#include <vector>

#include "imaging/regions.h"

namespace {
using Rect = std::array<int32_t, 4>; // x, y, w, h of a ChangedRegion or a BlockRect
const std::vector<Rect> kRefused = {{-1, -1, -1, -1}};

template <typename T> std::vector<Rect> Rects(const T* list, int32_t count) {
  std::vector<Rect> rects;
  for (const auto& [x, y, w, h] : std::span(list, size_t(count)))
    rects.push_back({x, y, w, h});
  return rects;
}

// An all-white bitmap as GetBitmapBits gives it: set bits white at 1 bit per pixel, rows padded to
// 16 bits; darkened pixels at or past the width land in the padding.
struct Bitmap {
  int32_t width, height, depth, rowBytes;
  std::vector<uint8_t> bits;
  Bitmap(int32_t w, int32_t h, int32_t d, const std::vector<std::pair<int32_t, int32_t>>& dark = {})
      : width(w), height(h), depth(d), rowBytes((w * d + 15) / 16 * 2),
        bits(static_cast<size_t>(rowBytes) * h, 0xFF) {
    for (const auto& [x, y] : dark) {
      uint8_t* row = &bits[static_cast<size_t>(y) * rowBytes];
      if (depth == 1)
        row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
      for (int32_t b = 0; depth > 1 && b < depth / 8; ++b)
        row[x * (depth / 8) + b] = 0;
    }
  }
  BitmapBits View() const { return {bits.data(), width, height, rowBytes, depth}; }
};

// The regions found from `previous` to `current`, kRefused for -1; the output
// pointer is written only when regions are found.
std::vector<Rect> Regions(const Bitmap& previous, const Bitmap& current) {
  const BitmapBits a = previous.View(), b = current.View();
  ChangedRegion untouched{}, *out = &untouched;
  const int16_t n = FindChangedRegionsInBits(&a, &b, &out);
  EXPECT_TRUE(n > 0 || out == &untouched) << "the output written for " << n;
  const std::vector<Rect> rects = n < 0 ? kRefused : Rects(out, n);
  if (n > 0)
    free(out);
  return rects;
}

struct Example {
  int32_t width, height;
  std::vector<std::pair<int32_t, int32_t>> pixels; // darkened in the current label
  std::vector<Rect> regions;                       // expected, in order
  std::vector<int32_t> depths = {1, 8, 24};
};

TEST(Regions, WorkedExamplesPaddingAndRefusals) {
  const Example examples[] = {
      {64, 64, {{20, 20}}, {{0, 16, 32, 16}}},
      {64, 64, {{0, 0}}, {{0, 0, 16, 16}}},
      {64, 64, {{63, 63}}, {{48, 56, 16, 8}}},
      {60, 60, {{59, 59}}, {{48, 56, 12, 4}}},
      {20, 20, {{17, 3}}, {{8, 0, 12, 20}}},
      {28, 28, {{17, 3}}, {{0, 0, 32, 16}}},
      {64, 64, {{20, 20}, {44, 44}}, {{0, 16, 32, 16}, {32, 40, 16, 16}}},
      {64, 64, {{31, 48}, {47, 60}}, {{0, 48, 48, 16}}},
      {8, 8, {{3, 3}}, {{0, 0, 8, 8}}}, // column 0, odd width, right edge: keeps x 0
      {64, 64, {}, {}},
      {20, 20, {{24, 3}}, {{8, 0, 12, 20}}, {1}},  // a padding byte
      {60, 60, {{61, 0}}, {{48, 0, 12, 40}}, {1}}, // padding bits of the last byte
      {72, 8, {{72, 0}}, {}, {1}},                 // padding behind whole blocks is not compared
      {2048, 2056, {{20, 20}}, {{0, 16, 32, 16}}, {1}}, // more than 65535 blocks
  };
  for (const Example& e : examples)
    for (int32_t depth : e.depths)
      EXPECT_EQ(
          Regions(Bitmap(e.width, e.height, depth), Bitmap(e.width, e.height, depth, e.pixels)),
          e.regions)
          << e.width << "x" << e.height << " at " << depth << " bpp, " << e.pixels.size();
  // Another size or depth (4 x 4 has rows of 2 bytes at 1 and 4 bits).
  EXPECT_EQ(Regions(Bitmap(64, 65, 1), Bitmap(64, 64, 1)), kRefused);
  EXPECT_EQ(Regions(Bitmap(72, 64, 1), Bitmap(64, 64, 1)), kRefused);
  EXPECT_EQ(Regions(Bitmap(64, 64, 8), Bitmap(64, 64, 1)), kRefused);
  EXPECT_EQ(Regions(Bitmap(4, 4, 4), Bitmap(4, 4, 1)), kRefused);
  // 100 x 101 blocks; the first 10000 in row order fill block rows 0..99, block 10001 refused.
  std::vector<std::pair<int32_t, int32_t>> pixels;
  for (int32_t by = 0; by < 100; ++by)
    for (int32_t bx = 0; bx < 100; ++bx)
      pixels.push_back({bx * 8 + 7, by * 8 + 3});
  const std::vector<Rect> whole = {{0, 0, 800, 808}};
  EXPECT_EQ(Regions(Bitmap(800, 808, 1), Bitmap(800, 808, 1, pixels)), whole);
  pixels.push_back({0, 800});
  EXPECT_EQ(Regions(Bitmap(800, 808, 1), Bitmap(800, 808, 1, pixels)), kRefused);
}

TEST(Regions, SeedGrowAndMerge) {
  struct Grow {
    int32_t nBlkX, nBlkY;
    std::vector<std::pair<int32_t, int32_t>> changed;
    std::vector<Rect> entries;
  } grows[] = {
      {8, 8, {{2, 2}}, {{1, 2, 2, 2}}},
      {8, 8, {{3, 6}, {5, 7}}, {{2, 6, 2, 2}, {1, 7, 5, 1}}}, // steps at exactly 0.2 stay
      {8, 8, {{2, 2}, {3, 3}}, {{1, 2, 3, 3}}},               // (3,3) is covered
      {3, 1, {{1, 0}}, {{1, 0, 2, 1}}},                       // never onto column 0
      {4, 4, {{0, 0}, {0, 2}, {2, 0}}, {{0, 0, 4, 3}}},       // right before down
      // (3, 1)'s entry ends left of its seed column, widened back to it.
      {4, 10, {{3, 1}, {2, 2}, {2, 6}, {2, 7}}, {{1, 2, 2, 2}, {1, 6, 3, 3}, {1, 1, 3, 7}}},
  };
  for (const Grow& g : grows) {
    std::vector<uint8_t> map(static_cast<size_t>(g.nBlkX) * g.nBlkY);
    for (const auto& [bx, by] : g.changed)
      map[static_cast<size_t>(by) * g.nBlkX + bx] = 1;
    std::vector<BlockRect> list(g.changed.size());
    EXPECT_EQ(Rects(list.data(), SeedAndGrowRegions(map.data(), g.nBlkX, g.nBlkY, list.data())),
              g.entries);
  }
  EXPECT_FALSE(BelowGrowThreshold(1, 5));
  EXPECT_TRUE(BelowGrowThreshold(1, 6));
  EXPECT_FALSE(BelowGrowThreshold(2, 10));
  EXPECT_TRUE(BelowGrowThreshold(2, 11));
  struct Merge {
    std::vector<BlockRect> list;
    std::vector<Rect> merged;
  } merges[] = {
      {{{0, 0, 2, 1}, {2, 0, 1, 1}}, {{0, 0, 3, 1}}},               // touching
      {{{0, 0, 2, 1}, {3, 0, 1, 1}}, {{0, 0, 2, 1}, {3, 0, 1, 1}}}, // a column apart
      {{{0, 0, 1, 2}, {0, 2, 1, 1}}, {{0, 0, 1, 3}}},
      {{{0, 0, 1, 1}, {0, 2, 1, 1}}, {{0, 0, 1, 1}, {0, 2, 1, 1}}}, // a row apart
      {{{0, 0, 1, 1}, {1, 1, 1, 1}}, {{0, 0, 2, 2}}},               // corners touch
      {{{2, 0, 1, 1}, {0, 0, 2, 1}}, {{0, 0, 3, 1}}},               // the left one's width
      {{{0, 2, 1, 1}, {0, 0, 1, 2}}, {{0, 0, 1, 3}}},               // the upper one's height
      {{{0, 0, 1, 1}, {1, 0, 1, 1}, {5, 5, 1, 1}}, {{0, 0, 2, 1}, {5, 5, 1, 1}}},
      {{{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}}, {{0, 0, 2, 1}, {2, 0, 1, 1}}},
      {{{0, 0, 1, 1}, {5, 5, 1, 1}, {6, 5, 1, 1}}, {{0, 0, 1, 1}, {5, 5, 2, 1}}},
  };
  for (Merge& m : merges) {
    const std::vector<Rect> before = Rects(m.list.data(), int32_t(m.list.size()));
    EXPECT_EQ(Rects(m.list.data(), MergeRegions(m.list.data(), int32_t(m.list.size()))), m.merged)
        << testing::PrintToString(before);
  }
}
} // namespace
