// Pairs of labels that differ in a few pixels, with the exact result and
// regions expected: the same table runs over bit buffers natively and over
// real GDI bitmaps under Wine.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/regions.h"

struct Pixel {
  int32_t x; // column
  int32_t y; // row, from the top
};

struct WorkedExample {
  const char* name;                   // what the case shows
  int32_t width;                      // bitmap width in pixels
  int32_t height;                     // bitmap height in pixels
  std::vector<Pixel> changed;         // pixels that differ in the new label
  int16_t result;                     // expected result
  std::vector<ChangedRegion> regions; // expected regions, in order
};

// One pixel in row y of each of the first `columns` block columns.
inline std::vector<Pixel> LineOfBlocks(int32_t columns, int32_t y) {
  std::vector<Pixel> pixels;
  for (int32_t bx = 0; bx < columns; ++bx)
    pixels.push_back({bx * 8 + bx % 8, y});
  return pixels;
}

inline const std::vector<WorkedExample>& WorkedExamples() {
  static const std::vector<WorkedExample> kExamples = {
      {"one pixel (20,20)", 64, 64, {{20, 20}}, 1, {{0, 16, 32, 16}}},
      {"one pixel (0,0)", 64, 64, {{0, 0}}, 1, {{0, 0, 16, 16}}},
      {"one pixel (63,63)", 64, 64, {{63, 63}}, 1, {{48, 56, 16, 8}}},
      {"60x60 pixel (59,59): partial last blocks", 60, 60, {{59, 59}}, 1, {{48, 56, 12, 4}}},
      {"20x20 pixel (17,3): odd width at the right edge", 20, 20, {{17, 3}}, 1, {{8, 0, 12, 20}}},
      {"28x28 pixel (17,3): ends inside the padding", 28, 28, {{17, 3}}, 1, {{0, 0, 32, 16}}},
      {"two regions, in order",
       64,
       64,
       {{20, 20}, {44, 44}},
       2,
       {{0, 16, 32, 16}, {32, 40, 16, 16}}},
      {"two entries merged, steps at exactly 0.2",
       64,
       64,
       {{31, 48}, {47, 60}},
       1,
       {{0, 48, 48, 16}}},
      {"no change", 64, 64, {}, 0, {}},
      {"a pixel changed twice is no change", 64, 64, {{5, 5}, {5, 5}}, 0, {}},
      // Entries at block column 0 with an odd width that reach the right
      // edge keep x = 0 and the whole width.
      {"8 pixels wide: one block column", 8, 8, {{3, 3}}, 1, {{0, 0, 8, 8}}},
      {"5x5: one partial block", 5, 5, {{4, 4}}, 1, {{0, 0, 5, 5}}},
      {"424 wide: a line across the label", 424, 24, LineOfBlocks(53, 9), 1, {{0, 8, 424, 16}}},
      {"24 wide: three changed block columns",
       24,
       8,
       {{0, 0}, {8, 0}, {16, 0}},
       1,
       {{0, 0, 24, 8}}},
  };
  return kExamples;
}
