// Exact bytes of every printer command in both model variants, the image-area
// field rules and the raster encoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/encoding.h"

namespace {
// Runs an encoder into a buffer pre-filled with '~' and returns what it wrote;
// fails the test if it wrote past its returned length.
template <typename Encode> std::string encoded(Encode encode) {
  uint8_t buf[64];
  memset(buf, '~', sizeof(buf));
  const size_t n = encode(buf);
  EXPECT_LE(n, kMaxCommandLength);
  for (size_t i = n; i < sizeof(buf); ++i)
    EXPECT_EQ('~', buf[i]) << "byte " << i << " written past the command";
  return std::string(reinterpret_cast<const char*>(buf), n);
}

const std::string E = "\x1B";
const std::string R = "\r";
} // namespace

TEST(Encoding, ClearAndStop) {
  EXPECT_EQ(E + "Z1" + R, encoded([](uint8_t* o) { return EncodeClearCommand(o); }));
  EXPECT_EQ(E + "Z1" + R + E + "S" + R, encoded([](uint8_t* o) { return EncodeStopCommand(o); }));
}

TEST(Encoding, ConditionCommand) {
  struct Case {
    uint16_t dots;     // dots per 10 mm
    uint16_t lengthMm; // label length
    const char* expected;
  } cases[] = {
      {120, 50,
       "\x1BM000\r\x1BK012\r\x1B"
       "A51\r"},
      {120, 1234,
       "\x1BM000\r\x1BK012\r\x1B"
       "A51\r"},
      {101, 0,
       "\x1BM000\r\x1BK012\r\x1B"
       "A51\r"}, // above 100: the 12 dot/mm variant
      {100, 50,
       "\x1BM0500\r\x1BK012\r\x1B"
       "A51\r"}, // 100 or less: the 8 dot/mm variant
      {80, 50,
       "\x1BM0500\r\x1BK012\r\x1B"
       "A51\r"},
      {80, 1234,
       "\x1BM1230\r\x1BK012\r\x1B"
       "A51\r"}, // first three digits, then '0'
      {80, 5,
       "\x1BM0050\r\x1BK012\r\x1B"
       "A51\r"},
      {80, 0,
       "\x1BM0000\r\x1BK012\r\x1B"
       "A51\r"},
      {80, 65535,
       "\x1BM6550\r\x1BK012\r\x1B"
       "A51\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dots << " " << c.lengthMm);
    const std::string got = encoded(
        [&](uint8_t* o) { return EncodeConditionCommand(o, c.dots, c.lengthMm, "012", '5'); });
    EXPECT_EQ(std::string(c.expected), got);
    EXPECT_EQ(c.dots > 100 ? 17u : 18u, got.size());
  }
}

TEST(Encoding, ConditionCopiesItsFieldsVerbatim) {
  EXPECT_EQ(E + "M000" + R + E + "K" + std::string("\0z9", 3) + R + E + "A?1" + R,
            encoded([](uint8_t* o) {
              return EncodeConditionCommand(o, 120, 0, std::string("\0z9", 3).data(), '?');
            }));
}

TEST(Encoding, ImageAreaCommand) {
  EXPECT_EQ(E + "B" + "0036" + "0000" + "0150" + "0600", encoded([](uint8_t* o) {
              return EncodeImageAreaCommand(o, 120, "0036", "0000", "0150", "0600");
            }));
  // Three characters of width and height for the 8 dot/mm model.
  EXPECT_EQ(E + "B" + "0024" + "0008" + "050" + "<34", encoded([](uint8_t* o) {
              return EncodeImageAreaCommand(o, 80, "0024", "0008", "050X", "<34Y");
            }));
}

TEST(Encoding, PrintCommand) {
  struct Case {
    int32_t quantity;
    std::string expected;
  } cases[] = {
      {1, E + "P0001" + R + E + "R" + R},
      {12, E + "P0012" + R + E + "R" + R},
      {9999, E + "P9999" + R + E + "R" + R},
      {12345, E + "P1234" + R + E + "R" + R},
      {0, E + "P" + R + E + "R" + R},
      {-1, ""}, // no command for a negative quantity
      {INT32_MIN, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quantity);
    EXPECT_EQ(c.expected, encoded([&](uint8_t* o) { return EncodePrintCommand(o, c.quantity); }));
  }
}

TEST(Encoding, ImageAreaFields) {
  struct Case {
    uint16_t dots;
    long long x, y, bytesPerRow, rows;
    const char* x4;
    const char* y4;
    const char* width;  // four characters, '~' where the field is left alone
    const char* height; // likewise
  } cases[] = {
      {120, 36, 0, 75, 600, "0036", "0000", "0150", "0600"},
      {120, 0, 16, 4, 999, "0000", "0016", "0008", "0999"},
      {120, 0, 0, 1, 1000, "0000", "0000", "0002", "1000"},
      {120, 0, 0, 1, 1234, "0000", "0000", "0002", "1234"},
      {120, 0, 0, 1, 1599, "0000", "0000", "0002", "1599"},
      {120, 0, 0, 1, 1600, "0000", "0000", "0002", "1600"},
      {120, 0, 0, 1, 2000, "0000", "0000", "0002", "2000"},
      {120, 65535, 0, 5000, 12345, "6553", "0000", "1000", "1234"}, // cut to four
      {80, 24, 0, 50, 999, "0024", "0000", "050~", "999~"},
      {80, 0, 0, 51, 1000, "0000", "0000", "051~", ":00~"},
      {80, 0, 0, 1, 1099, "0000", "0000", "001~", ":99~"},
      {80, 0, 0, 1, 1100, "0000", "0000", "001~", ";00~"},
      {80, 0, 0, 1, 1234, "0000", "0000", "001~", "<34~"},
      {80, 0, 0, 1, 1305, "0000", "0000", "001~", "=05~"},
      {80, 0, 0, 1, 1450, "0000", "0000", "001~", ">50~"},
      {80, 0, 0, 1, 1599, "0000", "0000", "001~", "?99~"},
      {80, 0, 0, 1, 1600, "0000", "0000", "001~", "?99~"},
      {80, 0, 0, 1, 2000, "0000", "0000", "001~", "?99~"},
      {80, 0, 0, 1234, 7, "0000", "0000", "123~", "007~"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dots << " rows " << c.rows);
    char x[4], y[4], w[4], h[4];
    memset(w, '~', 4);
    memset(h, '~', 4);
    FillImageAreaFields(c.dots, c.x, c.y, c.bytesPerRow, c.rows, x, y, w, h);
    EXPECT_EQ(std::string(c.x4), std::string(x, 4));
    EXPECT_EQ(std::string(c.y4), std::string(y, 4));
    EXPECT_EQ(std::string(c.width), std::string(w, 4));
    EXPECT_EQ(std::string(c.height), std::string(h, 4));
  }
}

TEST(Encoding, RasterBytes) {
  struct Case {
    uint8_t byte;
    const char* chars;
  } cases[] = {{0xFF, "00"}, {0x00, "??"}, {0x5A, ":5"}, {0xA5, "5:"},
               {0x0F, "?0"}, {0xF0, "0?"}, {0x7E, "81"}, {0xC3, "3<"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    uint8_t out[3] = {0, 0, '~'};
    EncodeRasterByte(c.byte, out);
    EXPECT_EQ(std::string(c.chars), std::string(reinterpret_cast<char*>(out), 2));
    EXPECT_EQ('~', out[2]);
  }
  // Every byte maps to characters 0x30..0x3F and back.
  for (int b = 0; b < 256; ++b) {
    uint8_t out[2];
    EncodeRasterByte(static_cast<uint8_t>(b), out);
    ASSERT_GE(out[0], 0x30);
    ASSERT_LE(out[0], 0x3F);
    ASSERT_GE(out[1], 0x30);
    ASSERT_LE(out[1], 0x3F);
    EXPECT_EQ(static_cast<uint8_t>(~b), ((out[0] - 0x30) << 4) | (out[1] - 0x30));
  }
}
