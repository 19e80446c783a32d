// The label bitmaps labelhost hands the driver: loaded from an image file
// (BMP, or PNG and other formats through Windows Imaging Component) or drawn
// with GDI, with a counter that changes from label to label so incremental
// printing has something to resend.
#pragma once

#include <windows.h>

// Loads an image file as a 24-bit DIB section; null (reason printed) on failure.
HBITMAP LoadLabelImage(const char* path);

// Draws label `number` of `count`: white, a black border, a title, a few text
// lines and the counter. widthDots x heightDots pixels, 24 bits per pixel.
HBITMAP DrawLabel(int widthDots, int heightDots, int number, int count);

// Writes a bitmap as a 24-bit BMP file. False on failure.
bool SaveLabelBitmap(HBITMAP bitmap, const char* path);

// Drawing a label: a white DIB section selected into a memory DC with a bold
// black font of textHeight pixels, until EndLabel releases the DC and the
// font and hands back the bitmap.
struct LabelCanvas {
  HBITMAP bitmap;
  HDC dc;
  HGDIOBJ oldBitmap;
  HFONT font;
  HGDIOBJ oldFont;
};
bool BeginLabel(int width, int height, int textHeight, LabelCanvas* canvas);
// Writes one line of text into *row, then moves the row down by `advance`.
void DrawLabelText(const LabelCanvas& canvas, RECT* row, const char* text, int advance);
HBITMAP EndLabel(LabelCanvas* canvas);
