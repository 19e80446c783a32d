// The monochrome label bitmap: the host's label, in whatever format it was
// drawn, reduced to a 1-bit GDI bitmap of the same size through a packed DIB,
// so that GDI's own colour matching decides which pixels turn black. Also the
// small packed-DIB routines it rests on.
#pragma once

#include <windows.h>

// A new 1-bit device-dependent bitmap (set bit white, clear bit black) with
// hBitmap's size and pixels, selected into no DC, or null. hBitmap is neither
// changed nor released; the caller deletes the result with DeleteObject.
HBITMAP CreateMonochromeLabelBitmap(HBITMAP hBitmap);

// A new, unlocked movable global block holding hBitmap as a packed DIB
// (header, colour table, bottom-up rows padded to 32 bits), or null. The
// caller frees it with GlobalFree.
HGLOBAL BitmapToPackedDib(HBITMAP hBitmap);

// Fills a 40-byte header for a bottom-up BI_RGB DIB of width x height pixels
// at the requested depth rounded up to 1, 4, 8 or 24 bits per pixel; every
// other field zero.
void InitDibHeader(BITMAPINFOHEADER* header, DWORD width, DWORD height, int bitsPerPixel);

// Number of colour-table entries of the DIB whose header is given.
WORD DibColorCount(const BITMAPINFOHEADER* header);

// Size of that colour table in bytes.
WORD DibColorTableSize(const BITMAPINFOHEADER* header);

// First pixel row of a packed DIB: just past its header and colour table.
BYTE* DibPixelData(BITMAPINFOHEADER* header);
