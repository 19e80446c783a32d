// Changed-region detection over bit buffers: block comparison, seeding and
// growth, the single merge pass and the conversion to pixel rectangles.
//
// Where the time goes, and what is done about it:
// - Comparing: the eight pixel rows of a block row are compared a word at a
//   time and their differences gathered, so each block row is scanned for
//   changed blocks once; equal rows cost one memcmp.
// - Growing: every step tried asks for the share of changed blocks in the
//   whole rectangle. A summed-area table of the change map answers with four
//   lookups instead of a sum over the rectangle; the integer sum is
//   ChangedFraction's, and BelowGrowThreshold compares it with the threshold
//   without dividing, to the same decision (regions.h says why), which on x87
//   saves most of the time a step takes.
// - Seeding: the changed blocks are put in seeding order (column by column)
//   once, and which blocks earlier entries cover is kept in a byte map
//   painted when an entry has finished growing, instead of searching the
//   list for every changed block.
#include "imaging/regions.h"

#include <cfloat>
#include <cstdint>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// sum / count as double. On x87 (32-bit builds without SSE arithmetic) a
// quotient held in a register keeps a 64-bit mantissa when the precision
// control says so (mingw's start-up default; MSVC hosts run with 53 bits):
// one changed block in five would then compare below kGrowThreshold. Storing
// the quotient as a double first gives the same decision under either setting.
double ratio(int64_t sum, int64_t count) {
#if FLT_EVAL_METHOD != 0
  volatile double rounded = static_cast<double>(sum) / static_cast<double>(count);
  return rounded;
#else
  return static_cast<double>(sum) / static_cast<double>(count);
#endif
}

// The block comparison gathers the differences of a block row's pixel rows
// (the OR of their XOR) over a piece of a row at a time, in machine words,
// then scans the piece once for the blocks it touches.
using Word = uintptr_t;
constexpr size_t kWordBytes = sizeof(Word);
constexpr size_t kPieceBytes = 256;

// A word from p, or its first `bytes` bytes with the rest zero.
Word load_word(const uint8_t* p) {
  Word word;
  memcpy(&word, p, kWordBytes);
  return word;
}
Word load_partial_word(const uint8_t* p, size_t bytes) {
  Word word = 0;
  memcpy(&word, p, bytes);
  return word;
}

// The summed-area table of the change map: entry (r, c) of a table with
// nBlkX + 1 columns holds the number of changed blocks above row r and left
// of column c. Every entry is written. Sum is uint16_t when the map has at
// most 65535 blocks, a count no entry can exceed. The table is then half the
// size: 101 KB for a 1344 x 2400 label, under the size (about 128 KB) above
// which Wine's heap hands out fresh pages on every call, whose first touch
// costs about 0.3 microseconds per kilobyte.
template <typename Sum>
void build_sums(const uint8_t* map, int32_t nBlkX, int32_t nBlkY, Sum* sums) {
  const size_t stride = static_cast<size_t>(nBlkX) + 1;
  memset(sums, 0, stride * sizeof(Sum));
  for (int32_t r = 0; r < nBlkY; ++r) {
    const uint8_t* mapRow = map + static_cast<size_t>(r) * nBlkX;
    const Sum* above = sums + static_cast<size_t>(r) * stride;
    Sum* row = sums + static_cast<size_t>(r + 1) * stride;
    int32_t runningRow = 0;
    row[0] = 0;
    for (int32_t c = 0; c < nBlkX; ++c) {
      runningRow += mapRow[c];
      row[c + 1] = static_cast<Sum>(above[c + 1] + runningRow);
    }
  }
}

// The summed-area table as the growth reads it.
template <typename Sum> struct BlockSums {
  const Sum* table; // (nBlkY + 1) rows of nBlkX + 1 entries
  size_t stride;    // nBlkX + 1
};

// Whether the entry now holds less than kGrowThreshold changed blocks.
template <typename Sum> inline bool below_threshold(BlockSums<Sum> sums, const BlockRect* e) {
  const Sum* top = sums.table + static_cast<size_t>(e->y) * sums.stride;
  const Sum* bottom = sums.table + static_cast<size_t>(e->y + e->h) * sums.stride;
  const Sum sum =
      static_cast<Sum>(bottom[e->x + e->w] - bottom[e->x] - top[e->x + e->w] + top[e->x]);
  return BelowGrowThreshold(sum, static_cast<int64_t>(e->w) * e->h);
}

// Sweeps of the three steps until a sweep in which none stays. The left step
// stops at block column 1.
template <typename Sum> void grow(BlockRect* e, BlockSums<Sum> sums, int32_t nBlkX, int32_t nBlkY) {
  bool stayed = true;
  while (stayed) {
    stayed = false;
    if (e->x + e->w < nBlkX) {
      ++e->w;
      if (below_threshold(sums, e))
        --e->w;
      else
        stayed = true;
    }
    if (e->y + e->h < nBlkY) {
      ++e->h;
      if (below_threshold(sums, e))
        --e->h;
      else
        stayed = true;
    }
    if (e->x > 1) {
      --e->x;
      if (below_threshold(sums, e))
        ++e->x;
      else
        stayed = true;
    }
  }
}

// Marks a finished entry's blocks as covered. Seeding has passed every column
// left of the seed column, so only the columns from there on are painted.
void paint_covered(uint8_t* covered, int32_t nBlkX, const BlockRect* e, int32_t seedColumn) {
  // Not counted below: an entry grows from its seed column
  // and is widened back to it, so it never starts right of it or ends before.
  const int32_t first = e->x > seedColumn ? e->x : seedColumn; // GCOVR_EXCL_BR_LINE
  const int32_t end = e->x + e->w;
  if (first >= end) // GCOVR_EXCL_BR_LINE
    return;         // GCOVR_EXCL_LINE
  for (int32_t r = e->y; r < e->y + e->h; ++r)
    memset(covered + static_cast<size_t>(r) * nBlkX + first, 1, static_cast<size_t>(end - first));
}

int32_t min32(int32_t a, int32_t b) {
  return a < b ? a : b;
}
int32_t max32(int32_t a, int32_t b) {
  return a > b ? a : b;
}

// Whether a bitmap's record can be read as blocks: sizes not negative, a depth,
// and rows long enough for every pixel.
bool readable(const BitmapBits* bits) {
  // GCOVR_EXCL_BR_START: the GDI wrapper describes both bitmaps from buffers
  // it read, rows worked out from width and depth.
  if (bits->nWidth < 0 || bits->nHeight < 0 || bits->nBitsPixel < 1 || bits->nWidthBytes < 0)
    return false; // GCOVR_EXCL_LINE
  const int64_t rowBits = static_cast<int64_t>(bits->nWidth) * bits->nBitsPixel;
  if (static_cast<int64_t>(bits->nWidthBytes) * 8 < rowBits)
    return false; // GCOVR_EXCL_LINE
  return bits->pBits != nullptr || bits->nWidth == 0 || bits->nHeight == 0;
  // GCOVR_EXCL_BR_STOP
}

// SeedAndGrowRegions with a summed-area table of Sum entries.
template <typename Sum>
int32_t seed_and_grow(const uint8_t* map, int32_t nBlkX, int32_t nBlkY, BlockRect* list) {
  const size_t sumStride = static_cast<size_t>(nBlkX) + 1;
  const size_t blocks = static_cast<size_t>(nBlkX) * static_cast<size_t>(nBlkY);
  int32_t count = -1;
  int32_t total = 0;
  int32_t* order = nullptr;
  int32_t* next = nullptr;
  uint8_t* covered = nullptr;
  Sum* sums = static_cast<Sum*>(malloc(sumStride * (static_cast<size_t>(nBlkY) + 1) * sizeof(Sum)));
  if (sums == nullptr) // GCOVR_EXCL_BR_LINE: no hook reaches malloc
    goto done;         // GCOVR_EXCL_LINE
  build_sums(map, nBlkX, nBlkY, sums);
  // The changed blocks in seeding order, column by column and top to bottom
  // in each: the table's last row counts the changed blocks left of each
  // column, which is where that column's blocks start.
  total = sums[static_cast<size_t>(nBlkY) * sumStride + nBlkX];
  order = static_cast<int32_t*>(malloc((static_cast<size_t>(total) + sumStride) * sizeof(int32_t)));
  // Not counted below: a map has blocks; no hook reaches malloc or calloc.
  covered = static_cast<uint8_t*>(calloc(blocks > 0 ? blocks : 1, 1)); // GCOVR_EXCL_BR_LINE
  if (order == nullptr || covered == nullptr)                          // GCOVR_EXCL_BR_LINE
    goto done;                                                         // GCOVR_EXCL_LINE
  next = order + total; // one running position per block column
  for (size_t c = 0; c < sumStride; ++c)
    next[c] = sums[static_cast<size_t>(nBlkY) * sumStride + c];
  for (int32_t r = 0; r < nBlkY; ++r) {
    const uint8_t* mapRow = map + static_cast<size_t>(r) * nBlkX;
    for (int32_t c = 0; c < nBlkX; ++c)
      if (mapRow[c] != 0)
        order[next[c]++] = r * nBlkX + c;
  }
  count = 0;
  for (int32_t k = 0; k < total; ++k) {
    const int32_t at = order[k];
    if (covered[at] != 0)
      continue;
    const int32_t i = at % nBlkX;
    const int32_t j = at / nBlkX;
    BlockRect e = {i, j, 1, 1};
    grow(&e, BlockSums<Sum>{sums, sumStride}, nBlkX, nBlkY);
    // Left steps may have carried the entry off its seed column.
    if (e.x + e.w < i + 1)
      e.w = i + 1 - e.x;
    list[count++] = e;
    paint_covered(covered, nBlkX, &e, i);
  }
done:
  free(covered);
  free(order);
  free(sums);
  return count;
}

} // namespace

double ChangedFraction(const uint8_t* map, int32_t stride, int32_t x, int32_t y, int32_t w,
                       int32_t h) {
  int64_t sum = 0;
  for (int32_t r = y; r < y + h; ++r) {
    const uint8_t* row = map + static_cast<ptrdiff_t>(r) * stride;
    for (int32_t c = x; c < x + w; ++c)
      sum += row[c];
  }
  return ratio(sum, static_cast<int64_t>(w) * h);
}

bool BelowGrowThreshold(int64_t sum, int64_t count) {
  return 5 * sum < count;
}

int IsBlockCovered(const BlockRect* list, int32_t count, int32_t bx, int32_t by) {
  for (int32_t k = 0; k < count; ++k) {
    const BlockRect& e = list[k];
    if (e.x <= bx && bx < e.x + e.w && e.y <= by && by < e.y + e.h)
      return 1;
  }
  return 0;
}

int32_t MarkChangedBlocks(const BitmapBits* previous, const BitmapBits* current, uint8_t* map) {
  const int32_t nBlkX = BlockColumns(current->nWidth);
  const int32_t nBlkY = BlockRows(current->nHeight);
  const size_t rowLength = static_cast<size_t>(current->nWidthBytes);
  const size_t columnBytes = static_cast<size_t>(current->nBitsPixel); // 8 pixels at any depth
  // The bytes of a row that belong to some block: a partial last block column
  // takes the rest of the row, its padding included.
  const size_t rowSpan =
      current->nWidth % kBlockSize != 0 ? rowLength : static_cast<size_t>(nBlkX) * columnBytes;
  const size_t lastColumn = static_cast<size_t>(nBlkX) - 1;
  int32_t changed = 0;
  Word diff[kPieceBytes / kWordBytes];
  for (int32_t by = 0; by < nBlkY; ++by) {
    uint8_t* mapRow = map + static_cast<size_t>(by) * nBlkX;
    const int32_t endRow = min32(by * kBlockSize + kBlockSize, current->nHeight);
    for (size_t start = 0; start < rowSpan; start += kPieceBytes) {
      const size_t length = rowSpan - start < kPieceBytes ? rowSpan - start : kPieceBytes;
      const size_t fullWords = length / kWordBytes;
      const size_t tail = length % kWordBytes;
      bool differs = false;
      memset(diff, 0, sizeof(diff));
      for (int32_t r = by * kBlockSize; r < endRow; ++r) {
        const uint8_t* a = previous->pBits + static_cast<size_t>(r) * rowLength + start;
        const uint8_t* b = current->pBits + static_cast<size_t>(r) * rowLength + start;
        if (memcmp(a, b, length) == 0)
          continue;
        differs = true;
        for (size_t w = 0; w < fullWords; ++w)
          diff[w] |= load_word(a + w * kWordBytes) ^ load_word(b + w * kWordBytes);
        if (tail != 0)
          diff[fullWords] |= load_partial_word(a + fullWords * kWordBytes, tail) ^
                             load_partial_word(b + fullWords * kWordBytes, tail);
      }
      if (!differs)
        continue;
      for (size_t w = 0; w * kWordBytes < length; ++w) {
        if (diff[w] == 0)
          continue;
        uint8_t bytes[kWordBytes];
        memcpy(bytes, &diff[w], kWordBytes);
        for (size_t k = 0; k < kWordBytes; ++k) {
          if (bytes[k] == 0)
            continue;
          const size_t pos = start + w * kWordBytes + k;
          size_t bx = columnBytes == 1 ? pos : pos / columnBytes; // no division for 1 bit
          if (bx > lastColumn)
            bx = lastColumn; // padding of a partial last column
          if (mapRow[bx] == 0) {
            mapRow[bx] = 1;
            if (++changed > kMaxChangedBlocks)
              return -1;
          }
        }
      }
    }
  }
  return changed;
}

int32_t SeedAndGrowRegions(const uint8_t* map, int32_t nBlkX, int32_t nBlkY, BlockRect* list) {
  if (static_cast<int64_t>(nBlkX) * nBlkY <= UINT16_MAX)
    return seed_and_grow<uint16_t>(map, nBlkX, nBlkY, list);
  return seed_and_grow<int32_t>(map, nBlkX, nBlkY, list);
}

int32_t MergeRegions(BlockRect* list, int32_t count) {
  for (int32_t a = 0; a + 1 < count; ++a) {
    for (int32_t b = count - 1; b >= a + 1; --b) {
      BlockRect& A = list[a];
      const BlockRect& B = list[b];
      // The entry that starts further left (higher) decides how far apart
      // they may start: overlapping and touching entries merge.
      const int32_t spanX = A.x > B.x ? B.w : A.w;
      const int32_t spanY = A.y > B.y ? B.h : A.h;
      if (abs(A.x - B.x) > spanX || abs(A.y - B.y) > spanY)
        continue;
      const int32_t x = min32(A.x, B.x);
      const int32_t y = min32(A.y, B.y);
      const int32_t right = max32(A.x + A.w, B.x + B.w);
      const int32_t bottom = max32(A.y + A.h, B.y + B.h);
      A = BlockRect{x, y, right - x, bottom - y};
      if (b != count - 1)
        list[b] = list[count - 1];
      --count;
    }
  }
  return count;
}

ChangedRegion BlockRectToRegion(const BlockRect* rect, int32_t nBlkX, int32_t nBlkY, int32_t width,
                                int32_t height) {
  int32_t x = rect->x;
  int32_t w = rect->w;
  if (x % 2 != 0) { // every region starts on a 16-pixel boundary
    x -= 1;
    w += 1;
  }
  ChangedRegion region;
  region.x = x * kBlockSize;
  region.y = rect->y * kBlockSize;
  const bool reachesRight = x + w == nBlkX;
  if (w % 2 == 0) {
    region.width = reachesRight ? width - region.x : w * kBlockSize;
  } else if (reachesRight) {
    // One block column short of 16-pixel steps: start a block earlier. An
    // entry at column 0 cannot, since the job reads each row from byte x / 8;
    // it keeps x = 0 and the whole width, an odd number of bytes per row.
    if (x > 0)
      region.x -= kBlockSize;
    region.width = width - region.x;
  } else {
    region.width = w * kBlockSize + kBlockSize; // one block more on the right
  }
  region.height = rect->y + rect->h == nBlkY ? height - region.y : rect->h * kBlockSize;
  return region;
}

int16_t FindChangedRegionsInBits(const BitmapBits* previous, const BitmapBits* current,
                                 ChangedRegion** regionsOut) {
  int16_t result = -1;
  uint8_t* map = nullptr;
  BlockRect* list = nullptr;
  ChangedRegion* regions = nullptr;
  int32_t nBlkX = 0;
  int32_t nBlkY = 0;
  int32_t changed = 0;
  int32_t count = 0;

  if (previous->nWidth != current->nWidth || previous->nHeight != current->nHeight ||
      previous->nBitsPixel != current->nBitsPixel ||
      // GCOVR_EXCL_BR_START: equal rows, both readable, as the GDI wrapper gives them.
      previous->nWidthBytes != current->nWidthBytes || !readable(previous) || !readable(current))
    goto done;
  // GCOVR_EXCL_BR_STOP
  nBlkX = BlockColumns(current->nWidth);
  nBlkY = BlockRows(current->nHeight);
  if (nBlkX == 0 || nBlkY == 0) { // GCOVR_EXCL_BR_LINE: the wrapper refuses size 0
    result = 0;                   // GCOVR_EXCL_LINE
    goto done;                    // GCOVR_EXCL_LINE
  }
  map = static_cast<uint8_t*>(calloc(static_cast<size_t>(nBlkX) * static_cast<size_t>(nBlkY), 1));
  if (map == nullptr) // GCOVR_EXCL_BR_LINE: no hook reaches calloc or malloc
    goto done;        // GCOVR_EXCL_LINE
  changed = MarkChangedBlocks(previous, current, map);
  if (changed <= 0) {
    result = static_cast<int16_t>(changed); // -1: too many, 0: nothing changed
    goto done;
  }
  // Every entry is seeded on a changed block that no earlier entry covers.
  // Entries are written before they are read, so the list is not cleared.
  list = static_cast<BlockRect*>(malloc(static_cast<size_t>(changed) * sizeof(BlockRect)));
  if (list == nullptr) // GCOVR_EXCL_BR_LINE
    goto done;         // GCOVR_EXCL_LINE
  count = SeedAndGrowRegions(map, nBlkX, nBlkY, list);
  if (count < 0) // GCOVR_EXCL_BR_LINE: only when malloc failed
    goto done;   // GCOVR_EXCL_LINE
  count = MergeRegions(list, count);
  regions = static_cast<ChangedRegion*>(malloc(static_cast<size_t>(count) * sizeof(ChangedRegion)));
  if (regions == nullptr) // GCOVR_EXCL_BR_LINE
    goto done;            // GCOVR_EXCL_LINE
  for (int32_t k = 0; k < count; ++k)
    regions[k] = BlockRectToRegion(&list[k], nBlkX, nBlkY, current->nWidth, current->nHeight);
  *regionsOut = regions;
  result = static_cast<int16_t>(count);
done:
  free(list);
  free(map);
  return result;
}
