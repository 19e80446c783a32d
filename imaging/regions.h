// Changed-region detection, the pure part: two label bitmaps' bits are
// compared in blocks of 8 x 8 pixels, the changed blocks are gathered into a
// few rectangles, and the rectangles are turned into pixel rectangles that the
// print job can cut out of the new label's rows. No <windows.h> here:
// FindChangedRegions (imaging/changed_regions.h) reads the two bitmaps with
// GDI and hands their bits to FindChangedRegionsInBits.
#pragma once

#include <cstdint>

inline constexpr int32_t kBlockSize = 8;            // pixels on each side of a block
inline constexpr int32_t kMaxChangedBlocks = 10000; // more changed blocks: the label counts as new
inline constexpr double kGrowThreshold = 0.2; // least share of changed blocks a step may leave

// A rectangle of the current label in pixels; 16 bytes, one after another in
// the array that FindChangedRegions hands out.
struct ChangedRegion {
  int32_t x;      // first pixel column, from the left
  int32_t y;      // first pixel row, from the top (the first row GetBitmapBits returns)
  int32_t width;  // pixel columns
  int32_t height; // pixel rows
};
static_assert(sizeof(ChangedRegion) == 16);

// A working rectangle in block units.
struct BlockRect {
  int32_t x; // first block column
  int32_t y; // first block row
  int32_t w; // block columns
  int32_t h; // block rows
};
static_assert(sizeof(BlockRect) == 16);

// The bits of one bitmap as GetBitmapBits returns them: rows top first,
// nWidthBytes apart. Nothing here owns or frees pBits.
struct BitmapBits {
  const uint8_t* pBits; // row 0, then row 1 nWidthBytes further on, ...
  int32_t nWidth;       // pixels per row
  int32_t nHeight;      // rows
  int32_t nWidthBytes;  // bytes from one row to the next, padding included
  int32_t nBitsPixel;   // bits per pixel; a block column spans this many bytes
};

// The change map's geometry for a bitmap of the given size: one byte per
// block, row by row.
inline int32_t BlockColumns(int32_t width) {
  return (width + kBlockSize - 1) / kBlockSize;
}
inline int32_t BlockRows(int32_t height) {
  return (height + kBlockSize - 1) / kBlockSize;
}

// Mean of the map bytes over block columns x..x+w-1 and rows y..y+h-1 (byte
// of column c, row r at r * stride + c): their sum divided by w * h, as double.
double ChangedFraction(const uint8_t* map, int32_t stride, int32_t x, int32_t y, int32_t w,
                       int32_t h);

// Whether sum / count, as ChangedFraction gives it, is below kGrowThreshold,
// decided without dividing: exactly when 5 * sum < count (count >= 1, both far
// below 2^50). The double 0.2 exceeds 1/5 by less than 2^-54, a share other
// than 1/5 lies at least 1 / (5 * count) away from 1/5, and a correctly
// rounded quotient of exactly 1/5 is the double 0.2 itself; so no share can
// fall between the two tests.
bool BelowGrowThreshold(int64_t sum, int64_t count);

// 1 when one of the first count entries of list covers block (bx, by), else 0.
int IsBlockCovered(const BlockRect* list, int32_t count, int32_t bx, int32_t by);

// Marks every block that differs between the two bitmaps (same size, depth and
// row length) with 1 in map (BlockColumns x BlockRows bytes, zero on entry).
// In the last block column of a width that is not a multiple of 8 the rest of
// the row, padding included, belongs to the block; otherwise padding is never
// compared. Returns the number of changed blocks, or -1 as soon as it exceeds
// kMaxChangedBlocks (the map is then incomplete).
int32_t MarkChangedBlocks(const BitmapBits* previous, const BitmapBits* current, uint8_t* map);

// Seeds an entry on every changed block that no earlier entry covers, column
// by column, and grows each at once (right, down, left while the share of
// changed blocks stays at kGrowThreshold or above). list has room for one entry
// per changed block. Returns the number of entries, or -1 when no memory.
int32_t SeedAndGrowRegions(const uint8_t* map, int32_t nBlkX, int32_t nBlkY, BlockRect* list);

// One merging pass over the entries: those that overlap or touch become their
// bounding rectangle, the last entry taking the place of the one merged away.
// Returns the new count.
int32_t MergeRegions(BlockRect* list, int32_t count);

// The pixel rectangle of an entry of a width x height bitmap with nBlkX x nBlkY
// blocks: starts on an even block column and is a whole number of 16-pixel
// columns wide unless it runs to the right edge.
ChangedRegion BlockRectToRegion(const BlockRect* rect, int32_t nBlkX, int32_t nBlkY, int32_t width,
                                int32_t height);

// The whole detection over two bitmaps' bits. Returns -1 (different size or
// depth, inconsistent row length, more than kMaxChangedBlocks changed blocks,
// no memory), 0 (nothing changed) or n >= 1 with a malloc'd array of n regions
// stored in *regionsOut for the caller to free. *regionsOut is written only
// for n >= 1.
int16_t FindChangedRegionsInBits(const BitmapBits* previous, const BitmapBits* current,
                                 ChangedRegion** regionsOut);
