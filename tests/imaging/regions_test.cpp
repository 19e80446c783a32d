// The region rules over bit buffers: the share of changed blocks, coverage,
// growth, the merge pass, the conversion to pixels and the whole detection on
// the worked examples, padding, depths and the changed-block limit. Built
// natively (sanitizers) and for Windows (x87 arithmetic under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/regions.h"
#include "tests/imaging/bit_images.h"
#include "tests/imaging/worked_examples.h"

namespace {

std::string describe(const std::vector<BlockRect>& list) {
  std::string text;
  for (const BlockRect& e : list)
    text += "{" + std::to_string(e.x) + "," + std::to_string(e.y) + "," + std::to_string(e.w) +
            "," + std::to_string(e.h) + "}";
  return text;
}

// Runs the detection; gives the result and the regions (empty for -1 or 0,
// after checking that the output pointer was left alone).
int16_t detect(const BitImage& previous, const BitImage& current,
               std::vector<ChangedRegion>* regions) {
  const BitmapBits a = ViewOf(previous);
  const BitmapBits b = ViewOf(current);
  ChangedRegion* out = kUntouchedRegions;
  const int16_t result = FindChangedRegionsInBits(&a, &b, &out);
  regions->clear();
  if (result <= 0) {
    EXPECT_EQ(kUntouchedRegions, out) << "regionsOut written for result " << result;
  } else {
    regions->assign(out, out + result);
    free(out);
  }
  return result;
}

// A change map from rows of '0'/'1' characters.
std::vector<uint8_t> map_of(const std::vector<const char*>& rows) {
  std::vector<uint8_t> map;
  for (const char* row : rows)
    for (const char* c = row; *c != 0; ++c)
      map.push_back(*c == '1' ? 1 : 0);
  return map;
}
} // namespace

TEST(ChangedFraction, MeanOfTheRectangle) {
  // Three rows of four blocks, stored five bytes apart; the fifth byte of each
  // row is not part of the map and must never be counted.
  const uint8_t map[] = {1, 0, 0, 1, 9, //
                         0, 0, 1, 0, 9, //
                         1, 1, 0, 0, 9};
  struct Case {
    int32_t x, y, w, h; // rectangle in blocks
    double expected;    // exact mean
  } cases[] = {
      {0, 0, 1, 1, 1.0},   {1, 0, 1, 1, 0.0},  {0, 0, 4, 3, 5.0 / 12.0},
      {0, 0, 2, 2, 0.25},  {2, 1, 2, 2, 0.25}, {3, 0, 1, 3, 1.0 / 3.0},
      {0, 2, 2, 1, 1.0},   {0, 0, 4, 1, 0.5},  {1, 1, 3, 2, 2.0 / 6.0},
      {0, 1, 4, 2, 0.375}, {3, 0, 1, 1, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h);
    EXPECT_EQ(c.expected, ChangedFraction(map, 5, c.x, c.y, c.w, c.h));
  }
}

TEST(ChangedFraction, OneInFiveIsTheThresholdAndOneInSixIsBelow) {
  const std::vector<uint8_t> map = map_of({"0010000000"});
  for (int32_t w = 1; w <= 10; ++w) {
    SCOPED_TRACE(w);
    const double fraction = ChangedFraction(map.data(), 10, 0, 0, w, 1);
    if (w < 3)
      EXPECT_EQ(0.0, fraction);
    else
      EXPECT_EQ(1.0 / w, fraction);
    EXPECT_EQ(w < 3 || w >= 6, fraction < kGrowThreshold) << "a share of 1 in 5 must stay";
  }
  const std::vector<uint8_t> tall = map_of({"1", "0", "0", "0", "0", "1", "0", "0", "0", "0"});
  EXPECT_EQ(kGrowThreshold, ChangedFraction(tall.data(), 1, 0, 0, 1, 10));
  EXPECT_FALSE(ChangedFraction(tall.data(), 1, 0, 0, 1, 10) < kGrowThreshold);
}

TEST(BelowGrowThreshold, SameDecisionAsChangedFraction) {
  // Every share of up to 200 blocks, through ChangedFraction itself.
  std::vector<uint8_t> map(200);
  for (int32_t count = 1; count <= 200; ++count) {
    for (int32_t sum = 0; sum <= count; ++sum) {
      std::fill(map.begin(), map.end(), 0);
      std::fill(map.begin(), map.begin() + sum, 1);
      const double fraction = ChangedFraction(map.data(), count, 0, 0, count, 1);
      ASSERT_EQ(fraction < kGrowThreshold, BelowGrowThreshold(sum, count)) << sum << "/" << count;
    }
  }
  // Both tests only turn once as the sum rises, so agreeing on both sides of
  // the turn is agreeing everywhere: every rectangle of up to 3,000,000 blocks.
  for (int64_t count = 1; count <= 3000000; ++count) {
    for (int64_t sum = count / 5 - 1; sum <= count / 5 + 1; ++sum) {
      if (sum < 0 || sum > count)
        continue;
      volatile double share = static_cast<double>(sum) / static_cast<double>(count);
      const bool divided = share < kGrowThreshold;
      if (divided != BelowGrowThreshold(sum, count))
        FAIL() << sum << "/" << count;
    }
  }
}

TEST(IsBlockCovered, AnyOfTheFirstCountEntries) {
  const BlockRect list[] = {{2, 3, 2, 1}, {0, 0, 1, 1}, {5, 5, 3, 3}};
  struct Case {
    int32_t count, bx, by; // entries considered and block asked
    int expected;
  } cases[] = {
      {3, 2, 3, 1}, {3, 3, 3, 1}, {3, 4, 3, 0}, {3, 2, 4, 0}, {3, 1, 3, 0}, {3, 2, 2, 0},
      {3, 0, 0, 1}, {3, 1, 0, 0}, {3, 0, 1, 0}, {1, 0, 0, 0}, {2, 0, 0, 1}, {0, 2, 3, 0},
      {3, 7, 7, 1}, {3, 8, 7, 0}, {3, 7, 8, 0}, {2, 6, 6, 0}, {3, 5, 5, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << ": " << c.bx << "," << c.by);
    EXPECT_EQ(c.expected, IsBlockCovered(list, c.count, c.bx, c.by));
  }
}

TEST(SeedAndGrowRegions, EntriesAsGrown) {
  struct Case {
    const char* name;
    std::vector<const char*> rows;   // the change map
    std::vector<BlockRect> expected; // entries in seeding order
  } cases[] = {
      {"right, down, left, then every step falls below",
       {"00000000", "00000000", "00100000", "00000000", "00000000", "00000000", "00000000",
        "00000000"},
       {{1, 2, 2, 2}}},
      {"right and left by turns; two steps at exactly 0.2 stay", {"0000010000"}, {{1, 0, 5, 1}}},
      {"the left step never reaches column 0", {"0100000000"}, {{1, 0, 5, 1}}},
      {"an entry at column 0 only grows right and down", {"1000", "0000", "0000"}, {{0, 0, 2, 2}}},
      {"second seed not covered by the first",
       {"00000000", "00000000", "00000000", "00000000", "00000000", "00000000", "00010000",
        "00000100"},
       {{2, 6, 2, 2}, {1, 7, 5, 1}}},
      {"covered blocks seed nothing", {"1111", "1111"}, {{0, 0, 4, 2}}},
      {"seeded column by column",
       {"0001", "1000", "0000", "0000", "0000", "0000"},
       {{0, 1, 2, 2}, {3, 0, 1, 5}}},
      {"left steps carry the last entry off its seed column (7, 0); it is widened back",
       {"00000101", "00000000", "00010000", "00000110", "00000010", "00010000"},
       {{2, 2, 2, 2}, {1, 5, 5, 1}, {4, 0, 2, 2}, {1, 3, 6, 3}, {2, 0, 6, 6}}},
      {"a 4x4 field grows right while 1 in 5 remains",
       {"0000000000000000000000", "0011110000000000000000", "0011110000000000000000",
        "0011110000000000000000", "0011110000000000000000"},
       {{1, 1, 20, 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> map = map_of(c.rows);
    const int32_t nBlkX = static_cast<int32_t>(strlen(c.rows[0]));
    const int32_t nBlkY = static_cast<int32_t>(c.rows.size());
    std::vector<BlockRect> list(map.size());
    const int32_t count = SeedAndGrowRegions(map.data(), nBlkX, nBlkY, list.data());
    ASSERT_GE(count, 0);
    list.resize(static_cast<size_t>(count));
    EXPECT_EQ(describe(c.expected), describe(list));
  }
}

TEST(SeedAndGrowRegions, CountsBeyondSixteenBits) {
  // 90000 changed blocks: counts in the summed-area table pass 65535.
  const std::vector<uint8_t> map(300 * 300, 1);
  std::vector<BlockRect> list(map.size());
  ASSERT_EQ(1, SeedAndGrowRegions(map.data(), 300, 300, list.data()));
  EXPECT_EQ(describe(std::vector<BlockRect>{{0, 0, 300, 300}}), describe({list[0]}));
}

TEST(MergeRegions, OnePassInItsOrder) {
  struct Case {
    const char* name;
    std::vector<BlockRect> list;     // entries before the pass
    std::vector<BlockRect> expected; // entries after it
  } cases[] = {
      {"one entry", {{3, 3, 1, 1}}, {{3, 3, 1, 1}}},
      {"edge to edge side by side", {{0, 0, 2, 2}, {2, 0, 2, 2}}, {{0, 0, 4, 2}}},
      {"one column apart", {{0, 0, 2, 2}, {3, 0, 2, 2}}, {{0, 0, 2, 2}, {3, 0, 2, 2}}},
      {"edge to edge one above the other", {{0, 0, 2, 2}, {1, 2, 2, 1}}, {{0, 0, 3, 3}}},
      {"one row apart", {{0, 0, 2, 2}, {0, 3, 2, 2}}, {{0, 0, 2, 2}, {0, 3, 2, 2}}},
      {"corner to corner", {{0, 0, 2, 2}, {2, 2, 1, 1}}, {{0, 0, 3, 3}}},
      {"the entry further left decides the distance", {{5, 0, 1, 1}, {2, 0, 3, 1}}, {{2, 0, 4, 1}}},
      {"further left but too narrow", {{5, 0, 1, 1}, {2, 0, 2, 1}}, {{5, 0, 1, 1}, {2, 0, 2, 1}}},
      {"the higher entry decides the distance", {{0, 4, 1, 1}, {0, 1, 1, 3}}, {{0, 1, 1, 4}}},
      {"higher but too short", {{0, 4, 1, 1}, {0, 1, 1, 2}}, {{0, 4, 1, 1}, {0, 1, 1, 2}}},
      {"contained", {{0, 0, 9, 9}, {3, 3, 1, 1}}, {{0, 0, 9, 9}}},
      {"the last entry takes the merged one's place",
       {{0, 0, 1, 1}, {10, 10, 1, 1}, {1, 0, 1, 1}, {20, 20, 1, 1}},
       {{0, 0, 2, 1}, {10, 10, 1, 1}, {20, 20, 1, 1}}},
      {"a moved entry is not compared with the same entry again",
       {{0, 0, 1, 1}, {50, 50, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}},
       {{0, 0, 2, 1}, {50, 50, 1, 1}, {2, 0, 1, 1}}},
      {"an entry grown by a merge takes in the next",
       {{0, 0, 1, 1}, {2, 0, 1, 1}, {1, 0, 1, 1}},
       {{0, 0, 3, 1}}},
      {"later entries merge among themselves",
       {{0, 0, 1, 1}, {10, 0, 1, 1}, {30, 0, 1, 1}, {11, 0, 1, 1}},
       {{0, 0, 1, 1}, {10, 0, 2, 1}, {30, 0, 1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BlockRect> list = c.list;
    const int32_t count = MergeRegions(list.data(), static_cast<int32_t>(list.size()));
    list.resize(static_cast<size_t>(count));
    EXPECT_EQ(describe(c.expected), describe(list));
  }
}

TEST(BlockRectToRegion, PixelRectangles) {
  struct Case {
    const char* name;
    BlockRect rect;
    int32_t nBlkX, nBlkY, width, height;
    ChangedRegion expected;
  } cases[] = {
      {"odd x moves left, odd width then one more block",
       {1, 2, 2, 2},
       8,
       8,
       64,
       64,
       {0, 16, 32, 16}},
      {"even width at the right edge", {7, 7, 1, 1}, 8, 8, 64, 64, {48, 56, 16, 8}},
      {"partial blocks at the right and bottom edges", {7, 7, 1, 1}, 8, 8, 60, 60, {48, 56, 12, 4}},
      {"odd width at the right edge starts a block earlier",
       {2, 0, 1, 3},
       3,
       3,
       20,
       20,
       {8, 0, 12, 20}},
      {"odd width short of the edge takes a block more",
       {1, 0, 2, 2},
       4,
       4,
       28,
       28,
       {0, 0, 32, 16}},
      {"even x, even width", {4, 5, 2, 2}, 8, 8, 64, 64, {32, 40, 16, 16}},
      {"odd x, odd width becomes even", {3, 1, 1, 1}, 10, 10, 80, 80, {16, 8, 16, 8}},
      {"even x, odd width inside", {2, 1, 3, 1}, 10, 10, 80, 80, {16, 8, 32, 8}},
      {"odd width at a partial right edge", {4, 0, 3, 1}, 7, 2, 53, 16, {24, 0, 29, 8}},
      {"even width at a partial right edge", {2, 0, 2, 1}, 4, 2, 30, 16, {16, 0, 14, 8}},
      {"partial bottom edge", {0, 3, 2, 1}, 10, 4, 80, 27, {0, 24, 16, 3}},
      {"column 0, odd width, right edge: the whole row", {0, 0, 1, 1}, 1, 1, 8, 8, {0, 0, 8, 8}},
      {"column 0, odd width, partial right edge", {0, 0, 1, 1}, 1, 1, 5, 5, {0, 0, 5, 5}},
      {"odd x that becomes column 0 with an odd width at the edge",
       {1, 0, 2, 1},
       3,
       1,
       20,
       8,
       {0, 0, 20, 8}},
      {"whole width of 424 pixels", {0, 1, 53, 2}, 53, 3, 424, 24, {0, 8, 424, 16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ChangedRegion r = BlockRectToRegion(&c.rect, c.nBlkX, c.nBlkY, c.width, c.height);
    EXPECT_EQ(DescribeRegions({c.expected}), DescribeRegions({r}));
  }
}

TEST(FindChangedRegionsInBits, WorkedExamples) {
  for (const WorkedExample& example : WorkedExamples()) {
    SCOPED_TRACE(example.name);
    BitImage previous = MakeBitImage(example.width, example.height, 1, 0xFF);
    BitImage current = previous;
    for (const Pixel& p : example.changed)
      FlipPixel(&current, p.x, p.y);
    std::vector<ChangedRegion> regions;
    EXPECT_EQ(example.result, detect(previous, current, &regions));
    EXPECT_EQ(DescribeRegions(example.regions), DescribeRegions(regions));
  }
}

TEST(FindChangedRegionsInBits, EveryDepthComparesEightPixelsPerBlockColumn) {
  for (int32_t depth : {1, 4, 8, 16, 24, 32}) {
    for (const WorkedExample& example : WorkedExamples()) {
      SCOPED_TRACE(testing::Message() << depth << " bits: " << example.name);
      BitImage previous = MakeBitImage(example.width, example.height, depth, 0x5A);
      BitImage current = previous;
      for (const Pixel& p : example.changed)
        FlipPixel(&current, p.x, p.y);
      std::vector<ChangedRegion> regions;
      EXPECT_EQ(example.result, detect(previous, current, &regions));
      EXPECT_EQ(DescribeRegions(example.regions), DescribeRegions(regions));
    }
  }
}

// Over bit buffers only: Wine keeps no padding bits in a bitmap (what
// CreateBitmap or SetBitmapBits is given there reads back as zero), so two GDI
// bitmaps never differ in their padding under Wine.
TEST(FindChangedRegionsInBits, PaddingCountsOnlyBehindAPartialBlock) {
  struct Case {
    const char* name;
    int32_t width, height, depth; // bitmap
    int32_t row, byte;            // the byte of the row that differs
    uint8_t bits;                 // which of its bits
    int16_t result;
    std::vector<ChangedRegion> regions;
  } cases[] = {
      {"20 wide: the bits after pixel 19", 20, 20, 1, 3, 2, 0x0F, 1, {{8, 0, 12, 20}}},
      {"20 wide: the last padding byte", 20, 20, 1, 3, 3, 0x01, 1, {{8, 0, 12, 20}}},
      {"20 wide: pixel 19 itself", 20, 20, 1, 3, 2, 0x10, 1, {{8, 0, 12, 20}}},
      {"28 wide: the bits after pixel 27", 28, 28, 1, 3, 3, 0x01, 1, {{16, 0, 12, 28}}},
      {"24 wide: a whole padding byte", 24, 24, 1, 5, 3, 0xFF, 0, {}},
      {"8 wide: a whole padding byte", 8, 8, 1, 0, 1, 0x80, 0, {}},
      {"40 wide: the padding byte", 40, 16, 1, 15, 5, 0xFF, 0, {}},
      {"5 wide at 8 bits: the padding byte", 5, 5, 8, 4, 5, 0x01, 1, {{0, 0, 5, 5}}},
      {"7 wide at 4 bits: the low nibble of the last byte", 7, 9, 4, 8, 3, 0x0F, 1, {{0, 8, 7, 1}}},
      {"8 wide at 4 bits: no padding", 8, 9, 4, 8, 3, 0x0F, 1, {{0, 8, 8, 1}}},
      {"3 wide at 24 bits: the padding byte", 3, 8, 24, 7, 9, 0x80, 1, {{0, 0, 3, 8}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitImage previous = MakeBitImage(c.width, c.height, c.depth, 0);
    BitImage current = previous;
    ASSERT_LT(c.byte, current.rowLength);
    current.bytes[static_cast<size_t>(c.row) * current.rowLength + c.byte] ^= c.bits;
    std::vector<ChangedRegion> regions;
    EXPECT_EQ(c.result, detect(previous, current, &regions));
    EXPECT_EQ(DescribeRegions(c.regions), DescribeRegions(regions));
  }
}

TEST(FindChangedRegionsInBits, TenThousandChangedBlocksAreAcceptedTheNextIsNot) {
  // 100 x 101 blocks; the first 100 block rows changed make exactly 10000.
  BitImage previous = MakeBitImage(800, 808, 1, 0xFF);
  BitImage current = previous;
  for (int32_t by = 0; by < 100; ++by)
    for (int32_t bx = 0; bx < 100; ++bx)
      FlipPixel(&current, bx * 8 + (bx + by) % 8, by * 8 + bx % 8);
  std::vector<ChangedRegion> regions;
  EXPECT_EQ(1, detect(previous, current, &regions));
  EXPECT_EQ(DescribeRegions(std::vector<ChangedRegion>{{0, 0, 800, 808}}),
            DescribeRegions(regions));

  FlipPixel(&current, 799, 807); // block (99, 100): the 10001st
  EXPECT_EQ(-1, detect(previous, current, &regions));
  FlipPixel(&current, 0, 0); // one fewer again: block (0, 0) now equal
  EXPECT_GT(detect(previous, current, &regions), 0);
}

TEST(FindChangedRegionsInBits, DifferentSizesDepthsOrRowsAreRefused) {
  struct Case {
    const char* name;
    BitImage previous, current;
  } cases[] = {
      {"64x64 and 64x65", MakeBitImage(64, 64, 1), MakeBitImage(64, 65, 1)},
      {"64x64 and 65x64", MakeBitImage(64, 64, 1), MakeBitImage(65, 64, 1)},
      {"1 and 8 bits per pixel", MakeBitImage(64, 64, 1), MakeBitImage(64, 64, 8)},
      {"24 and 32 bits per pixel", MakeBitImage(8, 8, 24), MakeBitImage(8, 8, 32)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ChangedRegion> regions;
    EXPECT_EQ(-1, detect(c.previous, c.current, &regions));
    EXPECT_EQ(-1, detect(c.current, c.previous, &regions));
  }
  // Rows too short for the pixels, or of different lengths.
  BitImage image = MakeBitImage(64, 8, 1);
  BitmapBits shortRows = ViewOf(image);
  shortRows.nWidthBytes = 7;
  BitmapBits other = shortRows;
  ChangedRegion* out = kUntouchedRegions;
  EXPECT_EQ(-1, FindChangedRegionsInBits(&shortRows, &other, &out));
  BitmapBits longer = ViewOf(image);
  longer.nWidthBytes = 4;
  longer.nWidth = 16;
  BitmapBits normal = ViewOf(image);
  normal.nWidth = 16;
  EXPECT_EQ(-1, FindChangedRegionsInBits(&normal, &longer, &out));
  EXPECT_EQ(kUntouchedRegions, out);
}
