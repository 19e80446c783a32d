// Command encoding.
#include "protocol/encoding.h"

#include <cstring>

#include "driver/fixed_field.h"

namespace {
// Writes ESC and a letter at out[n], returns the new length.
size_t put_head(uint8_t* out, size_t n, char letter) {
  out[n] = kEsc;
  out[n + 1] = static_cast<uint8_t>(letter);
  return n + 2;
}

size_t put_chars(uint8_t* out, size_t n, const char* chars, size_t count) {
  memcpy(out + n, chars, count);
  return n + count;
}

// 8 dot/mm heights: three characters for up to 1599 rows. From 1000 rows the
// first character counts hundreds past '9' (':' is 10, '?' is 15); 1600 rows
// or more say 1599, the most the field holds, though every row is sent.
void fill_short_height(long long rows, char out[3]) {
  if (rows < 1000) {
    FormatFixedField(out, 3, rows);
  } else if (rows < 1600) {
    out[0] = static_cast<char>('0' + rows / 100);
    FormatFixedField(out + 1, 2, rows % 100);
  } else {
    memcpy(out, "?99", 3);
  }
}
} // namespace

size_t EncodeClearCommand(uint8_t* out) {
  size_t n = put_head(out, 0, 'Z');
  out[n++] = '1';
  out[n++] = kCr;
  return n;
}

size_t EncodeConditionCommand(uint8_t* out, uint16_t dotsPer10mm, uint16_t labelLengthMm,
                              const char startPos[3], char contrast) {
  size_t n = put_head(out, 0, 'M');
  if (IsTwelveDotModel(dotsPer10mm)) {
    n = put_chars(out, n, "000", 3);
  } else {
    // The length in tenths of a millimetre, its last digit always 0.
    char length[3];
    FormatFixedField(length, 3, labelLengthMm);
    n = put_chars(out, n, length, 3);
    out[n++] = '0';
  }
  out[n++] = kCr;
  n = put_head(out, n, 'K');
  n = put_chars(out, n, startPos, 3);
  out[n++] = kCr;
  n = put_head(out, n, 'A');
  out[n++] = static_cast<uint8_t>(contrast);
  out[n++] = '1';
  out[n++] = kCr;
  return n;
}

size_t EncodeImageAreaCommand(uint8_t* out, uint16_t dotsPer10mm, const char x[4], const char y[4],
                              const char width[4], const char height[4]) {
  const size_t sizeChars = IsTwelveDotModel(dotsPer10mm) ? 4 : 3;
  size_t n = put_head(out, 0, 'B');
  n = put_chars(out, n, x, 4);
  n = put_chars(out, n, y, 4);
  n = put_chars(out, n, width, sizeChars);
  return put_chars(out, n, height, sizeChars);
}

size_t EncodePrintCommand(uint8_t* out, int32_t quantity) {
  if (quantity < 0)
    return 0;
  size_t n = put_head(out, 0, 'P');
  if (quantity > 0) {
    char digits[4];
    FormatFixedField(digits, 4, quantity);
    n = put_chars(out, n, digits, 4);
  }
  out[n++] = kCr;
  n = put_head(out, n, 'R');
  out[n++] = kCr;
  return n;
}

size_t EncodeStopCommand(uint8_t* out) {
  size_t n = EncodeClearCommand(out);
  n = put_head(out, n, 'S');
  out[n++] = kCr;
  return n;
}

void FillImageAreaFields(uint16_t dotsPer10mm, long long x, long long y, long long bytesPerRow,
                         long long rows, char xOut[4], char yOut[4], char widthOut[4],
                         char heightOut[4]) {
  FormatFixedField(xOut, 4, x);
  FormatFixedField(yOut, 4, y);
  if (IsTwelveDotModel(dotsPer10mm)) {
    FormatFixedField(widthOut, 4, bytesPerRow * 2); // characters per row
    FormatFixedField(heightOut, 4, rows);
  } else {
    FormatFixedField(widthOut, 3, bytesPerRow);
    fill_short_height(rows, heightOut);
  }
}
