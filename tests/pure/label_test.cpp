// Where a label sits on the print head, its bytes per row, and the label
// bytes the printer gets.
#include <gtest/gtest.h>

#include "job/label_geometry.h"
#include "job/raster_rows.h"

namespace {
TEST(LabelGeometry, CentringOffset) {
  struct Row {
    int32_t maxWidthMm;
    uint16_t labelWidth; // 0.1 mm
    int32_t dotsPerMm;
    uint16_t offset;
  } rows[] = {
      {56, 500, 12, 36}, {56, 500, 8, 24},    {56, 560, 12, 0},  {53, 500, 12, 18},
      {56, 557, 8, 2},   {112, 1, 8, 448},    {106, 0, 12, 636}, {53, 531, 12, 0},
      {53, 600, 12, 0},  {2000, 0, 12, 9999}, // wider than the head: left edge; 4 digits at most
  };
  for (const Row& r : rows)
    EXPECT_EQ(CentringOffset(r.maxWidthMm, r.labelWidth, r.dotsPerMm), r.offset)
        << r.maxWidthMm << " mm, " << r.labelWidth << ", " << r.dotsPerMm;
}

TEST(LabelGeometry, BytesPerRow) {
  struct Row {
    uint16_t labelWidth;
    int32_t dotsPerMm;
    uint16_t bytes;
  } rows[] = {{500, 12, 75}, {500, 8, 50},  {501, 8, 51},   {1, 8, 1},
              {0, 12, 0},    {560, 12, 84}, {1120, 12, 168}};
  for (const Row& r : rows)
    EXPECT_EQ(LabelBytesPerRow(r.labelWidth, r.dotsPerMm), r.bytes)
        << r.labelWidth << ", " << r.dotsPerMm;
}

TEST(RasterRows, LabelByte) {
  const uint8_t bits[] = {0x12, 0x30, 0xAB, 0xCD}; // two rows of two bytes
  struct Row {
    int32_t width, row, byteIndex;
    uint8_t byte;
  } rows[] = {
      {12, 0, 0, 0x12}, {12, 1, 0, 0xAB},  {12, 0, 1, 0x3F}, // dots 12..15 are padding: white
      {12, 1, 1, 0xCF}, {16, 1, 1, 0xCD},  {9, 0, 1, 0x7F},
      {8, 0, 1, 0xFF},  {12, 0, 2, 0xFF},  {12, 1, 2, 0xFF}, // past the row: white
      {12, 2, 0, 0xFF}, {12, -1, 0, 0xFF}, {12, 0, -1, 0xFF},
  };
  for (const Row& r : rows) {
    const LabelBits label{bits, r.width, 2, 2};
    EXPECT_EQ(LabelByte(label, r.row, r.byteIndex), r.byte)
        << r.width << " wide, row " << r.row << ", byte " << r.byteIndex;
  }
}
} // namespace
