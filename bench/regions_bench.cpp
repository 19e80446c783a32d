// Changed-region detection on a 1344 x 2400 label (112 x 200 mm at 12 dots
// per millimetre): the driver's procedure against the literal step-by-step
// one, in the same run, for the cases the print job meets.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "bench/labels.h"
#include "imaging/regions.h"
#include "fuzz/literal_regions.h"

namespace {
struct Case {
  const char* name;              // what differs
  std::vector<uint8_t> previous; // the label printed before, GetBitmapBits' rows
  std::vector<uint8_t> current;  // the new label
};

BitmapBits view(const std::vector<uint8_t>& rows) {
  return BitmapBits{rows.data(), kLabelWidth, kLabelHeight, MonochromeRowLength(), 1};
}

// Flips one pixel in each of `count` distinct blocks picked at random.
std::vector<uint8_t> scatter(std::vector<uint8_t> rows, int32_t count) {
  const int32_t nBlkX = BlockColumns(kLabelWidth);
  const int32_t nBlkY = BlockRows(kLabelHeight);
  std::vector<int32_t> blocks(static_cast<size_t>(nBlkX) * nBlkY);
  for (size_t k = 0; k < blocks.size(); ++k)
    blocks[k] = static_cast<int32_t>(k);
  std::mt19937 rng(static_cast<uint32_t>(count));
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (int32_t k = 0; k < count; ++k) {
    const int32_t x = blocks[k] % nBlkX * 8 + static_cast<int32_t>(rng() % 8);
    const int32_t y = blocks[k] / nBlkX * 8 + static_cast<int32_t>(rng() % 8);
    rows[static_cast<size_t>(y) * MonochromeRowLength() + x / 8] ^=
        static_cast<uint8_t>(0x80 >> (x % 8));
  }
  return rows;
}

using Detect = int16_t (*)(const BitmapBits*, const BitmapBits*, ChangedRegion**);

int16_t run(Detect detect, const Case& c) {
  const BitmapBits a = view(c.previous);
  const BitmapBits b = view(c.current);
  ChangedRegion* regions = nullptr;
  const int16_t result = detect(&a, &b, &regions);
  if (result > 0)
    free(regions);
  return result;
}
} // namespace

int main() {
  const std::vector<uint8_t> label = MonochromeRows(DrawLabel("00417289"));
  std::vector<uint8_t> inverted = label;
  for (uint8_t& b : inverted)
    b = static_cast<uint8_t>(~b);
  const Case cases[] = {
      {"(a) serial number 00417289 -> 00417290", label, MonochromeRows(DrawLabel("00417290"))},
      {"(b) 10000 scattered changed blocks", label, scatter(label, kMaxChangedBlocks)},
      {"(c) 20000 scattered changed blocks", label, scatter(label, 2 * kMaxChangedBlocks)},
      {"(c) every block changed", label, inverted},
      {"    no change", label, label},
  };
  printf("Changed-region detection, %d x %d pixels, 1 bit (%d x %d blocks)\n", kLabelWidth,
         kLabelHeight, BlockColumns(kLabelWidth), BlockRows(kLabelHeight));
  int failures = 0;
  for (const Case& c : cases) {
    const int16_t fastResult = run(FindChangedRegionsInBits, c);
    const int16_t literalResult = run(LiteralFindChangedRegions, c);
    printf("%s: result %d\n", c.name, fastResult);
    if (fastResult != literalResult) {
      printf("  RESULTS DIFFER: literal %d\n", literalResult);
      ++failures;
    }
    const Timing fast = Measure([&] { run(FindChangedRegionsInBits, c); });
    const Timing literal = Measure([&] { run(LiteralFindChangedRegions, c); }, 1.0, 3);
    PrintTiming("driver (FindChangedRegionsInBits)", fast);
    PrintTiming("literal procedure", literal);
    PrintRatio("literal / driver", literal, fast);
  }
  return failures == 0 ? 0 : 1;
}
