// The driver's region detection against the literal procedure on generated
// pairs of labels: the same result and the same regions, in the same order,
// to the last pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "imaging/regions.h"
#include "tests/imaging/bit_images.h"
#include "tests/imaging/literal_regions.h"
#include "tests/imaging/worked_examples.h"

namespace {
constexpr uint32_t kCases = 1600;

// Runs the fast and the literal detection on the pair and checks that they
// give the same result and the same regions (or leave the pointer alone).
int16_t ExpectSameRegions(const BitImage& previousImage, const BitImage& currentImage) {
  const BitmapBits previous = ViewOf(previousImage);
  const BitmapBits current = ViewOf(currentImage);
  ChangedRegion* fast = kUntouchedRegions;
  ChangedRegion* literal = kUntouchedRegions;
  const int16_t fastResult = FindChangedRegionsInBits(&previous, &current, &fast);
  const int16_t literalResult = LiteralFindChangedRegions(&previous, &current, &literal);
  EXPECT_EQ(literalResult, fastResult);
  if (fastResult <= 0) {
    EXPECT_EQ(kUntouchedRegions, fast);
  } else if (literalResult == fastResult) {
    EXPECT_EQ(DescribeRegions({literal, literal + literalResult}),
              DescribeRegions({fast, fast + fastResult}));
  }
  if (fastResult > 0)
    free(fast);
  if (literalResult > 0)
    free(literal);
  return fastResult;
}
} // namespace

TEST(FastAndLiteral, AgreeOnGeneratedLabels) {
  std::map<int, int> results; // -1, 0, 1 (one region), 2 (several) -> cases
  std::map<std::string, int> kinds;
  for (uint32_t n = 0; n < kCases; ++n) {
    const ImagePair pair = GeneratePair(n);
    SCOPED_TRACE(testing::Message() << "case " << n << ": " << pair.kind);
    const int16_t fastResult = ExpectSameRegions(pair.previous, pair.current);
    ++results[fastResult > 1 ? 2 : fastResult];
    ++kinds[pair.kind.substr(0, pair.kind.find(' '))];
  }
  // The generated cases reach every kind of result.
  EXPECT_GT(results[-1], 20);
  EXPECT_GT(results[0], 20);
  EXPECT_GT(results[1], 100);
  EXPECT_GT(results[2], 100);
  EXPECT_EQ(8u, kinds.size());
}

TEST(FastAndLiteral, AgreeOnLabelsOfMoreThan65535Blocks) {
  // 257 x 256 blocks: the summed-area table needs more than 16 bits.
  struct Case {
    const char* name;
    std::vector<Pixel> changed; // pixels flipped in the new label
  } cases[] = {
      {"one dot", {{1000, 1000}}},
      {"two fields that merge", {{31, 48}, {47, 60}, {2000, 2000}, {2010, 2040}}},
      {"corners", {{0, 0}, {2055, 0}, {0, 2047}, {2055, 2047}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitImage previous = MakeBitImage(2056, 2048, 1, 0xFF);
    BitImage current = previous;
    for (const Pixel& p : c.changed)
      FlipPixel(&current, p.x, p.y);
    // A band of scattered changes, so that entries grow over many blocks.
    for (int32_t k = 0; k < 3000; ++k)
      FlipPixel(&current, (k * 7919) % 2056, 1200 + (k * 104729) % 400);
    ASSERT_GT(ExpectSameRegions(previous, current), 0);
  }
}
