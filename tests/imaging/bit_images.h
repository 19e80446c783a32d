// Bitmaps' bits in the layout GetBitmapBits returns (rows top first, padded to
// 16 bits, leftmost pixel in the high bits), and generated pairs of labels for
// comparing the region procedures. Pure code, for the native and Wine tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/regions.h"

struct BitImage {
  std::vector<uint8_t> bytes; // rowLength * height bytes
  int32_t width;              // pixels per row
  int32_t height;             // rows
  int32_t rowLength;          // bytes per row, padded to 16 bits
  int32_t bitsPixel;          // bits per pixel
};

// Row length of GetBitmapBits for the width and depth: padded to 16 bits.
int32_t BitmapRowLength(int32_t width, int32_t bitsPixel);

// A width x height image at the depth with every byte set to fill.
BitImage MakeBitImage(int32_t width, int32_t height, int32_t bitsPixel, uint8_t fill = 0);

// Inverts every bit of pixel (x, y).
void FlipPixel(BitImage* image, int32_t x, int32_t y);

// The pure procedures' view of an image.
BitmapBits ViewOf(const BitImage& image);

// Two labels and what kind of difference lies between them.
struct ImagePair {
  BitImage previous; // the label printed before
  BitImage current;  // the new label
  std::string kind;  // how the pair was made, for failure messages
};

// A generated pair, the same for the same case number: random noise, sparse
// dots, text-like runs, dense fields, regular lattices (shares of exactly one
// in five and one in six), padding-only differences and changed-block counts
// around kMaxChangedBlocks; widths often not a multiple of 8 or 16, depths 1,
// 4, 8, 24 and 32.
ImagePair GeneratePair(uint32_t caseNumber);

// A pointer value that no allocation returns, to see that a result of -1 or 0
// leaves the caller's region pointer alone.
inline ChangedRegion* const kUntouchedRegions =
    reinterpret_cast<ChangedRegion*>(static_cast<uintptr_t>(0x1234));

// "(x,y,w,h)" for each region, for comparing lists in failure messages.
std::string DescribeRegions(const std::vector<ChangedRegion>& regions);
