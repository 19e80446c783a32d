// The printer's command bytes, as pure procedures over byte buffers: each
// encoder writes one command from out[0] and returns its length. Fields are
// copied verbatim from the caller's fixed-length character fields; numbers go
// through the one fixed-field formatter. Two variants exist: the 12 dot/mm
// model (dots per 10 mm above 100) and the 8 dot/mm model.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr size_t kMaxCommandLength = 18; // longest command any encoder writes

// True when the resolution value selects the 12 dot/mm variants.
inline bool IsTwelveDotModel(uint16_t dotsPer10mm) {
  return dotsPer10mm > 100;
}

// ESC Z 1 CR.
size_t EncodeClearCommand(uint8_t* out);

// ESC M ... CR ESC K sss CR ESC A c 1 CR. The label length (whole mm) is sent
// by the 8 dot/mm variant only.
size_t EncodeConditionCommand(uint8_t* out, uint16_t dotsPer10mm, uint16_t labelLengthMm,
                              const char startPos[3], char contrast);

// ESC B xxxx yyyy w h: four-character width and height for the 12 dot/mm
// model, three for the 8 dot/mm model. No CR: the raster data follows.
size_t EncodeImageAreaCommand(uint8_t* out, uint16_t dotsPer10mm, const char x[4], const char y[4],
                              const char width[4], const char height[4]);

// ESC P nnnn CR ESC R CR, or ESC P CR ESC R CR for a quantity of 0. A
// negative quantity has no encoding: returns 0 and writes nothing.
size_t EncodePrintCommand(uint8_t* out, int32_t quantity);

// ESC Z 1 CR ESC S CR.
size_t EncodeStopCommand(uint8_t* out);

// The image-area fields for an image at (x, y) of `rows` rows of
// `bytesPerRow` bytes, by the model's field rules. Writes four characters to
// x and y, and four (12 dot/mm) or three (8 dot/mm; the fourth is left as it
// was) to width and height.
void FillImageAreaFields(uint16_t dotsPer10mm, long long x, long long y, long long bytesPerRow,
                         long long rows, char xOut[4], char yOut[4], char widthOut[4],
                         char heightOut[4]);

// One raster byte as the printer takes it: inverted (the bitmap sets bits for
// white, the printer prints set bits), then '0' + high nibble, '0' + low nibble.
inline void EncodeRasterByte(uint8_t byte, uint8_t out[2]) {
  const uint8_t dots = static_cast<uint8_t>(~byte);
  out[0] = static_cast<uint8_t>('0' + (dots >> 4));
  out[1] = static_cast<uint8_t>('0' + (dots & 0x0F));
}
