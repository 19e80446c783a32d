// Drawing the check's test label.
#include "labelhost/test_label.h"

#include "labelhost/label_image.h"

namespace {
void fill(HDC dc, int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}
} // namespace

HBITMAP DrawTestLabel(int widthMm, int heightMm, int dotsPerMm,
                      const std::vector<std::string>& lines) {
  const int width = widthMm * dotsPerMm;
  const int height = heightMm * dotsPerMm;
  const int lineHeight = 3 * dotsPerMm;
  LabelCanvas c;
  if (!BeginLabel(width, height, lineHeight * 4 / 5, &c))
    return nullptr;
  // Grid lines one dot wide every 10 mm, and the label's right and bottom edges.
  const int step = 10 * dotsPerMm;
  for (int x = 0; x < width; x += step)
    fill(c.dc, x, 0, x + 1, height);
  for (int y = 0; y < height; y += step)
    fill(c.dc, 0, y, width, y + 1);
  fill(c.dc, width - 1, 0, width, height);
  fill(c.dc, 0, height - 1, width, height);
  // Rulers: a tick every millimetre, 1 mm long, 2 mm at every fifth.
  for (int mm = 1; mm < widthMm; ++mm)
    fill(c.dc, mm * dotsPerMm, 0, mm * dotsPerMm + 1, (mm % 5 == 0 ? 2 : 1) * dotsPerMm);
  for (int mm = 1; mm < heightMm; ++mm)
    fill(c.dc, 0, mm * dotsPerMm, (mm % 5 == 0 ? 2 : 1) * dotsPerMm, mm * dotsPerMm + 1);
  // The text in lines of 3 mm from 3 mm in, drawn over the grid.
  RECT row{3 * dotsPerMm, 3 * dotsPerMm, width - dotsPerMm, 3 * dotsPerMm + lineHeight};
  for (const std::string& line : lines)
    DrawLabelText(c, &row, line.c_str(), lineHeight);
  return EndLabel(&c);
}
