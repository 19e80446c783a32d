// Changed-region detection over bit buffers: worked examples at several
// depths, padding, refusals, the block limit, growth and merging.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <utility>
#include <vector>

#include "imaging/regions.h"

namespace {
using Rect = std::array<int32_t, 4>; // x, y, w, h of a ChangedRegion or a BlockRect

Rect AsRect(const ChangedRegion& r) {
  return {r.x, r.y, r.width, r.height};
}
Rect AsRect(const BlockRect& r) {
  return {r.x, r.y, r.w, r.h};
}
template <typename T> std::vector<Rect> Rects(const T* list, int32_t count) {
  std::vector<Rect> rects;
  for (int32_t k = 0; k < count; ++k)
    rects.push_back(AsRect(list[k]));
  return rects;
}

// An all-white bitmap as GetBitmapBits gives it: set bits white at 1 bit per
// pixel, rows padded to 16 bits.
struct Bitmap {
  int32_t width, height, depth, rowBytes;
  std::vector<uint8_t> bits;
  Bitmap(int32_t w, int32_t h, int32_t d)
      : width(w), height(h), depth(d), rowBytes((w * d + 15) / 16 * 2),
        bits(static_cast<size_t>(rowBytes) * h, 0xFF) {}
  void Darken(int32_t x, int32_t y) { // x at or past the width lands in the padding
    uint8_t* row = &bits[static_cast<size_t>(y) * rowBytes];
    if (depth == 1)
      row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    for (int32_t b = 0; depth > 1 && b < depth / 8; ++b)
      row[x * (depth / 8) + b] = 0;
  }
  BitmapBits View() const { return {bits.data(), width, height, rowBytes, depth}; }
};

struct Example {
  int32_t width, height;
  std::vector<std::pair<int32_t, int32_t>> pixels; // darkened in the current label
  std::vector<Rect> regions;                       // expected, in order
  bool refused = false;                            // expected -1
  std::array<int32_t, 3> previous{};               // width, height, depth if not the same
};

void ExpectRegions(const Example& e, int32_t depth) {
  SCOPED_TRACE(testing::Message() << e.width << "x" << e.height << " at " << depth << " bpp, "
                                  << e.pixels.size() << " pixels");
  const Bitmap previous = e.previous[0] == 0 ? Bitmap(e.width, e.height, depth)
                                             : Bitmap(e.previous[0], e.previous[1], e.previous[2]);
  Bitmap current(e.width, e.height, depth);
  for (const auto& [x, y] : e.pixels)
    current.Darken(x, y);
  const BitmapBits a = previous.View(), b = current.View();
  ChangedRegion untouched{};
  ChangedRegion* out = &untouched;
  const int16_t n = FindChangedRegionsInBits(&a, &b, &out);
  ASSERT_EQ(n, e.refused ? -1 : static_cast<int16_t>(e.regions.size()));
  if (n <= 0) {
    EXPECT_EQ(out, &untouched);
    return;
  }
  EXPECT_EQ(Rects(out, n), e.regions);
  free(out);
}

TEST(Regions, WorkedExamplesAtEveryDepth) {
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
  };
  for (int32_t depth : {1, 8, 24})
    for (const Example& e : examples)
      ExpectRegions(e, depth);
}

TEST(Regions, PaddingAndRefusalsAtOneBit) {
  const Example examples[] = {
      {20, 20, {{24, 3}}, {{8, 0, 12, 20}}},  // a padding byte
      {60, 60, {{61, 0}}, {{48, 0, 12, 40}}}, // padding bits of the last byte
      {72, 8, {{72, 0}}, {}},                 // padding behind whole blocks is not compared
      {64, 64, {}, {}, true, {64, 65, 1}},
      {64, 64, {}, {}, true, {72, 64, 1}},
      {64, 64, {}, {}, true, {64, 64, 8}},
      {4, 4, {}, {}, true, {4, 4, 4}}, // rows of 2 bytes at both depths
  };
  for (const Example& e : examples)
    ExpectRegions(e, 1);
}

TEST(Regions, ChangedBlockLimit) {
  // 100 x 101 blocks; the first 10000 in row order fill block rows 0..99.
  Example e{800, 808, {}, {{0, 0, 800, 808}}};
  for (int32_t by = 0; by < 100; ++by)
    for (int32_t bx = 0; bx < 100; ++bx)
      e.pixels.push_back({bx * 8 + 7, by * 8 + 3});
  ExpectRegions(e, 1);
  e.pixels.push_back({0, 800}); // block 10001
  e.refused = true;
  ExpectRegions(e, 1);
}

TEST(Regions, SeedAndGrow) {
  struct Row {
    int32_t nBlkX, nBlkY;
    std::vector<std::pair<int32_t, int32_t>> changed;
    std::vector<Rect> entries;
  } rows[] = {
      {8, 8, {{2, 2}}, {{1, 2, 2, 2}}},
      {8, 8, {{3, 6}, {5, 7}}, {{2, 6, 2, 2}, {1, 7, 5, 1}}}, // steps at exactly 0.2 stay
      {8, 8, {{2, 2}, {3, 3}}, {{1, 2, 3, 3}}},               // (3,3) is covered
      {3, 1, {{1, 0}}, {{1, 0, 2, 1}}},                       // never onto column 0
      {4, 4, {{0, 0}, {0, 2}, {2, 0}}, {{0, 0, 4, 3}}},       // right before down
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.changed.size() << " blocks, " << row.nBlkX);
    std::vector<uint8_t> map(static_cast<size_t>(row.nBlkX) * row.nBlkY);
    for (const auto& [bx, by] : row.changed)
      map[static_cast<size_t>(by) * row.nBlkX + bx] = 1;
    std::vector<BlockRect> list(row.changed.size());
    const int32_t count = SeedAndGrowRegions(map.data(), row.nBlkX, row.nBlkY, list.data());
    EXPECT_EQ(Rects(list.data(), count), row.entries);
  }
  EXPECT_FALSE(BelowGrowThreshold(1, 5));
  EXPECT_TRUE(BelowGrowThreshold(1, 6));
  EXPECT_FALSE(BelowGrowThreshold(2, 10));
  EXPECT_TRUE(BelowGrowThreshold(2, 11));
}

TEST(Regions, MergeOnePass) {
  struct Row {
    std::vector<BlockRect> list;
    std::vector<Rect> merged;
  } rows[] = {
      {{{0, 0, 2, 1}, {2, 0, 1, 1}}, {{0, 0, 3, 1}}},               // touching
      {{{0, 0, 2, 1}, {3, 0, 1, 1}}, {{0, 0, 2, 1}, {3, 0, 1, 1}}}, // a column apart
      {{{0, 0, 1, 2}, {0, 2, 1, 1}}, {{0, 0, 1, 3}}},
      {{{0, 0, 1, 1}, {1, 1, 1, 1}}, {{0, 0, 2, 2}}}, // corners touch
      {{{2, 0, 1, 1}, {0, 0, 2, 1}}, {{0, 0, 3, 1}}}, // the left one's width
      {{{0, 2, 1, 1}, {0, 0, 1, 2}}, {{0, 0, 1, 3}}}, // the upper one's height
      {{{0, 0, 1, 1}, {1, 0, 1, 1}, {5, 5, 1, 1}}, {{0, 0, 2, 1}, {5, 5, 1, 1}}},
      {{{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}}, {{0, 0, 2, 1}, {2, 0, 1, 1}}},
      {{{0, 0, 1, 1}, {5, 5, 1, 1}, {6, 5, 1, 1}}, {{0, 0, 1, 1}, {5, 5, 2, 1}}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(Rects(row.list.data(), int32_t(row.list.size()))));
    const int32_t count = MergeRegions(row.list.data(), static_cast<int32_t>(row.list.size()));
    EXPECT_EQ(Rects(row.list.data(), count), row.merged);
  }
}
} // namespace
