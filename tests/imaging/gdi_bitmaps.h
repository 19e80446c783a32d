// Test bitmaps made through GDI: device-dependent bitmaps and DIB sections of
// every depth, painted pixel by pixel, and their bits read back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/imaging/bit_images.h"
#include "tests/imaging/worked_examples.h"

// CreateBitmap at the depth with every bit set: white in every device
// bitmap format (the last entry of the default palettes, or full intensity).
HBITMAP MakeDeviceBitmap(int width, int height, int bitsPerPixel);

// A bottom-up DIB section at the depth, painted white with a brush. Indexed
// depths get a colour table that starts with white, then black, then other
// colours, so that pixel value 0 is white.
HBITMAP MakeDibSection(int width, int height, int bitsPerPixel);

// Makes the pixels black: with SetPixel where a memory DC takes the bitmap;
// otherwise (a device bitmap of another depth than the screen's, which no
// memory DC selects) by clearing their bits, black in every device format.
void PaintBlack(HBITMAP bitmap, const std::vector<Pixel>& pixels);

// The bitmap's bits as GetBitmapBits returns them, with their geometry.
BitImage ReadBitImage(HBITMAP bitmap);

// A device-dependent bitmap holding exactly the image's bits.
HBITMAP BitmapFromImage(const BitImage& image);

// Whether pixel (x, y) of a 1-bit image is set (white).
bool MonoPixelIsWhite(const BitImage& image, int32_t x, int32_t y);

// Whether a fresh memory DC can select the bitmap; a bitmap already selected
// into another DC cannot be.
bool SelectableIntoNewDc(HBITMAP bitmap);
