// Reading a label's rows for the printer. Pure: works on the bits of a
// 1-bit bitmap as GetBitmapBits returns them (set bit white, rows top first).
#pragma once

#include <cstddef>
#include <cstdint>

// The bits buffer of one label.
struct LabelBits {
  const uint8_t* pBits;  // row 0, then row 1 nWidthBytes further on, ...
  int32_t nWidth;        // pixels per row
  int32_t nHeight;       // rows
  int32_t nWidthBytes;   // bytes from one row to the next
};

// The byte at byteIndex of row `row` as the printer should get it. Dots
// outside the bitmap are white: bytes past the row's end (a bitmap narrower
// than the label) and the padding bits past the bitmap's width, which GDI
// leaves black and the printer would print.
uint8_t LabelByte(const LabelBits& bits, int32_t row, int32_t byteIndex);
