// Label placement and row reading: centring offset, bytes per row, and the
// white that stands in for dots outside the host's bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "job/label_geometry.h"
#include "job/raster_rows.h"

TEST(LabelGeometry, CentringOffsetAndBytesPerRow) {
  struct Case {
    int32_t maxWidthMm;
    uint16_t widthTenthMm;
    int32_t dotsPerMm;
    uint16_t offset;
    uint16_t bytesPerRow;
  } cases[] = {
      {56, 500, 12, 36, 75}, // ((560 - 500) x 12 + 19) / 20
      {56, 500, 8, 24, 50},
      {53, 530, 12, 0, 80}, // exactly as wide as the head
      {112, 1120, 8, 0, 112},
      {53, 501, 8, 12, 51},     // a partial byte is rounded up
      {106, 1001, 12, 36, 151}, // (59 x 12 + 19) / 20: 35.4 rounded up
      {53, 531, 12, 0, 80},     // one tenth too wide: the left edge, not a negative offset
      {53, 1000, 8, 0, 100},
      {9999, 0, 12, 9999, 0}, // a damaged width setting cannot overflow the field
      {0, 100, 12, 0, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.maxWidthMm << "mm " << c.widthTenthMm << " " << c.dotsPerMm);
    EXPECT_EQ(c.offset, CentringOffset(c.maxWidthMm, c.widthTenthMm, c.dotsPerMm));
    EXPECT_EQ(c.bytesPerRow, LabelBytesPerRow(c.widthTenthMm, c.dotsPerMm));
  }
}

TEST(RasterRows, DotsOutsideTheBitmapAreWhite) {
  // Two rows of 20 pixels, 4 bytes per row (GDI pads to 16 bits): all black
  // inside, padding black too as GDI leaves it.
  std::vector<uint8_t> pixels(8, 0x00);
  const LabelBits bits{pixels.data(), 20, 2, 4};
  struct Case {
    int32_t row, byteIndex;
    uint8_t expected;
  } cases[] = {
      {0, 0, 0x00},    {0, 1, 0x00},
      {1, 1, 0x00},    {0, 2, 0x0F}, // pixels 16..19 black, 20..23 are padding: white
      {1, 2, 0x0F},    {0, 3, 0xFF}, // all padding
      {0, 4, 0xFF},                  // past the row: a label wider than the bitmap
      {0, 1000, 0xFF}, {2, 0, 0xFF},
      {-1, 0, 0xFF},   {0, -1, 0xFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.byteIndex);
    EXPECT_EQ(c.expected, LabelByte(bits, c.row, c.byteIndex));
  }
}

TEST(RasterRows, BytesInsideTheBitmapPassUnchanged) {
  std::vector<uint8_t> pixels = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  const LabelBits bits{pixels.data(), 32, 2, 4};
  for (int32_t r = 0; r < 2; ++r)
    for (int32_t c = 0; c < 4; ++c)
      EXPECT_EQ(pixels[r * 4 + c], LabelByte(bits, r, c));
}
