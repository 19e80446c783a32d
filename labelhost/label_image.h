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
