// Building and generating bit images for the region tests.
#include "tests/imaging/bit_images.h"

#include <algorithm>
#include <cmath>
#include <random>

int32_t BitmapRowLength(int32_t width, int32_t bitsPixel) {
  return (width * bitsPixel + 15) / 16 * 2;
}

BitImage MakeBitImage(int32_t width, int32_t height, int32_t bitsPixel, uint8_t fill) {
  BitImage image;
  image.width = width;
  image.height = height;
  image.bitsPixel = bitsPixel;
  image.rowLength = BitmapRowLength(width, bitsPixel);
  image.bytes.assign(static_cast<size_t>(image.rowLength) * height, fill);
  return image;
}

void FlipPixel(BitImage* image, int32_t x, int32_t y) {
  uint8_t* row = image->bytes.data() + static_cast<size_t>(y) * image->rowLength;
  const int32_t bit = x * image->bitsPixel;
  if (image->bitsPixel >= 8) {
    for (int32_t k = 0; k < image->bitsPixel / 8; ++k)
      row[bit / 8 + k] ^= 0xFF;
    return;
  }
  const int32_t mask = (1 << image->bitsPixel) - 1;
  const int32_t shift = 8 - image->bitsPixel - bit % 8;
  row[bit / 8] ^= static_cast<uint8_t>(mask << shift);
}

BitmapBits ViewOf(const BitImage& image) {
  return BitmapBits{image.bytes.data(), image.width, image.height, image.rowLength,
                    image.bitsPixel};
}

namespace {
using Random = std::mt19937;

int32_t uniform(Random& rng, int32_t lo, int32_t hi) {
  return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

int32_t pick_depth(Random& rng) {
  static const int32_t kDepths[] = {1, 1, 1, 1, 1, 1, 4, 8, 24, 32};
  return kDepths[uniform(rng, 0, 9)];
}

// Widths chosen to hit every remainder modulo 16 and odd block counts.
int32_t pick_size(Random& rng, int32_t lo, int32_t hi) {
  switch (uniform(rng, 0, 3)) {
  case 0:
    return uniform(rng, lo, hi) / 16 * 16 + 8; // odd multiple of 8: odd block count possible
  case 1:
    return uniform(rng, lo, hi) / 8 * 8 + uniform(rng, 1, 7); // partial last block
  default:
    return uniform(rng, lo, hi);
  }
}

void random_fill(Random& rng, BitImage* image) {
  for (uint8_t& b : image->bytes)
    b = static_cast<uint8_t>(rng());
}

// Draws a filled rectangle of "ink" (pixels flipped) clipped to the image.
void flip_rect(BitImage* image, int32_t x, int32_t y, int32_t w, int32_t h) {
  for (int32_t r = y; r < y + h && r < image->height; ++r)
    for (int32_t c = x; c < x + w && c < image->width; ++c)
      FlipPixel(image, c, r);
}

// A line of text-like runs: strokes of 1..4 pixels with gaps, in rows y..y+h.
void text_runs(Random& rng, BitImage* image, int32_t x, int32_t y, int32_t length, int32_t h) {
  for (int32_t c = x; c < x + length && c < image->width;) {
    const int32_t stroke = uniform(rng, 1, 4);
    const int32_t top = y + uniform(rng, 0, h / 3);
    const int32_t bottom = y + h - uniform(rng, 0, h / 3);
    flip_rect(image, c, top, stroke, bottom - top);
    c += stroke + uniform(rng, 1, 5);
  }
}

// Flips one pixel in each of `count` distinct blocks.
void flip_blocks(Random& rng, BitImage* image, int32_t count) {
  const int32_t nBlkX = BlockColumns(image->width);
  const int32_t nBlkY = BlockRows(image->height);
  std::vector<int32_t> blocks(static_cast<size_t>(nBlkX) * nBlkY);
  for (size_t k = 0; k < blocks.size(); ++k)
    blocks[k] = static_cast<int32_t>(k);
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (int32_t k = 0; k < count && k < static_cast<int32_t>(blocks.size()); ++k) {
    const int32_t bx = blocks[k] % nBlkX;
    const int32_t by = blocks[k] / nBlkX;
    const int32_t x = std::min(image->width - 1, bx * 8 + uniform(rng, 0, 7));
    const int32_t y = std::min(image->height - 1, by * 8 + uniform(rng, 0, 7));
    FlipPixel(image, x, y);
  }
}
} // namespace

ImagePair GeneratePair(uint32_t caseNumber) {
  Random rng(0x5EED0000u + caseNumber * 7919u);
  ImagePair pair;
  const int32_t kind = static_cast<int32_t>(caseNumber % 8);
  int32_t depth = kind == 6 ? 1 : pick_depth(rng);
  const int32_t maxSide = depth == 1 ? 400 : 120;
  int32_t width = pick_size(rng, 1, maxSide);
  int32_t height = pick_size(rng, 1, maxSide);
  if (kind == 6) { // around the changed-block limit: at least 10001 blocks
    depth = 1;
    width = pick_size(rng, 800, 1000);
    const int32_t rowsNeeded = (10001 + BlockColumns(width) - 1) / BlockColumns(width);
    height = rowsNeeded * 8 - uniform(rng, 0, 7) + 8 * uniform(rng, 0, 30);
  }
  pair.previous = MakeBitImage(width, height, depth);
  if (kind != 6)
    random_fill(rng, &pair.previous);
  pair.current = pair.previous;
  BitImage* cur = &pair.current;

  switch (kind) {
  case 0: { // random noise at a density from very sparse to heavy
    const double p = std::pow(10.0, -uniform(rng, 0, 40) / 10.0) * 0.5;
    std::bernoulli_distribution flip(p);
    for (uint8_t& b : cur->bytes)
      if (flip(rng))
        b ^= static_cast<uint8_t>(1u << uniform(rng, 0, 7));
    pair.kind = "noise";
    break;
  }
  case 1: { // sparse dots
    const int32_t dots = uniform(rng, 1, 40);
    for (int32_t k = 0; k < dots; ++k)
      FlipPixel(cur, uniform(rng, 0, width - 1), uniform(rng, 0, height - 1));
    pair.kind = "dots";
    break;
  }
  case 2: { // text-like runs: a few changed words and lines
    const int32_t lines = uniform(rng, 1, 6);
    for (int32_t k = 0; k < lines; ++k) {
      const int32_t h = uniform(rng, 5, 24);
      text_runs(rng, cur, uniform(rng, 0, width - 1), uniform(rng, 0, std::max(0, height - h)),
                uniform(rng, 1, width), h);
    }
    pair.kind = "text";
    break;
  }
  case 3: { // dense fields: changed rectangles that grow, touch and merge
    const int32_t fields = uniform(rng, 1, 8);
    for (int32_t k = 0; k < fields; ++k)
      flip_rect(cur, uniform(rng, 0, width - 1), uniform(rng, 0, height - 1), uniform(rng, 1, 80),
                uniform(rng, 1, 40));
    pair.kind = "fields";
    break;
  }
  case 4: { // a lattice of changed blocks: shares of 1 in 5, 1 in 6 and so on
    const int32_t stepX = uniform(rng, 1, 7);
    const int32_t stepY = uniform(rng, 1, 7);
    const int32_t offX = uniform(rng, 0, stepX - 1);
    const int32_t offY = uniform(rng, 0, stepY - 1);
    for (int32_t by = offY; by * 8 < height; by += stepY)
      for (int32_t bx = offX; bx * 8 < width; bx += stepX)
        FlipPixel(cur, bx * 8, by * 8);
    pair.kind = "lattice";
    break;
  }
  case 5: { // padding only, plus sometimes a dot
    const int32_t usedBits = width * depth;
    const int32_t paddingBits = cur->rowLength * 8 - usedBits;
    if (paddingBits > 0) {
      const int32_t rows = uniform(rng, 1, 4);
      for (int32_t k = 0; k < rows; ++k) {
        const int32_t bit = usedBits + uniform(rng, 0, paddingBits - 1);
        cur->bytes[static_cast<size_t>(uniform(rng, 0, height - 1)) * cur->rowLength + bit / 8] ^=
            static_cast<uint8_t>(0x80 >> (bit % 8));
      }
    }
    if (uniform(rng, 0, 1) == 1)
      FlipPixel(cur, uniform(rng, 0, width - 1), uniform(rng, 0, height - 1));
    pair.kind = "padding";
    break;
  }
  case 6: { // changed-block counts around the limit
    flip_blocks(rng, cur, kMaxChangedBlocks + uniform(rng, -10, 10));
    pair.kind = "limit";
    break;
  }
  default: { // scattered blocks at a random share of the label
    const int32_t blocks = BlockColumns(width) * BlockRows(height);
    flip_blocks(rng, cur, uniform(rng, 1, std::max(1, blocks / uniform(rng, 1, 8))));
    pair.kind = "scatter";
    break;
  }
  }
  pair.kind +=
      " " + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  return pair;
}

std::string DescribeRegions(const std::vector<ChangedRegion>& regions) {
  std::string text;
  for (const ChangedRegion& r : regions)
    text += "(" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) +
            "," + std::to_string(r.height) + ")";
  return text;
}
