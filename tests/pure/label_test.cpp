// Where a label sits on the print head, its bytes per row, and the label bytes the printer gets.
#include <gtest/gtest.h>

#include "job/label_geometry.h"
#include "job/raster_rows.h"

namespace {
TEST(LabelGeometry, CentringOffsetAndBytesPerRow) {
  // Print width (mm), label width (0.1 mm), dots per mm: offset (dots); a label wider than the
  // head at the left edge, 9999 (four digits) at most.
  const int offsets[][4] = {{56, 500, 12, 36},  {56, 500, 8, 24}, {56, 560, 12, 0},
                            {53, 500, 12, 18},  {56, 557, 8, 2},  {112, 1, 8, 448},
                            {106, 0, 12, 636},  {53, 531, 12, 0}, {53, 600, 12, 0},
                            {2000, 0, 12, 9999}};
  for (const auto& r : offsets)
    EXPECT_EQ(CentringOffset(r[0], uint16_t(r[1]), r[2]), r[3]) << r[0] << ", " << r[1];
  // Label width (0.1 mm), dots per mm: bytes per row.
  const int bytes[][3] = {{500, 12, 75}, {500, 8, 50},  {501, 8, 51},   {1, 8, 1},
                          {0, 12, 0},    {560, 12, 84}, {1120, 12, 168}};
  for (const auto& r : bytes)
    EXPECT_EQ(LabelBytesPerRow(uint16_t(r[0]), r[1]), r[2]) << r[0] << ", " << r[1];
}

TEST(RasterRows, LabelByte) {
  const uint8_t bits[] = {0x12, 0x30, 0xAB, 0xCD}; // two rows of two bytes
  // Width, row, byte index: the byte. Padding dots and bytes past the bitmap are white.
  const int rows[][4] = {{12, 0, 0, 0x12}, {12, 1, 0, 0xAB}, {12, 0, 1, 0x3F},  {12, 1, 1, 0xCF},
                         {16, 1, 1, 0xCD}, {9, 0, 1, 0x7F},  {8, 0, 1, 0xFF},   {12, 0, 2, 0xFF},
                         {12, 1, 2, 0xFF}, {12, 2, 0, 0xFF}, {12, -1, 0, 0xFF}, {12, 0, -1, 0xFF}};
  for (const auto& r : rows)
    EXPECT_EQ(LabelByte({bits, r[0], 2, 2}, r[1], r[2]), r[3])
        << r[0] << ", " << r[1] << ", " << r[2];
}
} // namespace
