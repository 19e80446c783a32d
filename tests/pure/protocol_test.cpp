// Command bytes, image-area fields, raster characters and reply frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "driver/fixed_field.h"
#include "protocol/encoding.h"
#include "protocol/reply.h"

namespace {
// Bytes as written in the tables: '^' is ESC, '|' is CR.
std::string Wire(std::string text) {
  for (char& c : text)
    c = c == '^' ? '\x1B' : c == '|' ? '\r' : c;
  return text;
}

enum Command { kClear, kStop, kCondition, kImage, kPrint };

TEST(Encoding, CommandBytes) {
  struct Row {
    Command command;
    uint16_t dots;    // dots per 10 mm
    int32_t number;   // label length (condition) or quantity (print)
    const char* wire; // expected bytes; nothing else in the buffer changes
  } rows[] = {
      {kClear, 0, 0, "^Z1|"},
      {kStop, 0, 0, "^Z1|^S|"},
      {kCondition, 120, 50, "^M000|^K012|^A51|"},
      {kCondition, 101, 1234, "^M000|^K012|^A51|"},
      {kCondition, 100, 50, "^M0500|^K012|^A51|"},
      {kCondition, 80, 1234, "^M1230|^K012|^A51|"},
      {kCondition, 80, 7, "^M0070|^K012|^A51|"},
      {kImage, 120, 0, "^B0036000101500999"},
      {kImage, 101, 0, "^B0036000101500999"},
      {kImage, 100, 0, "^B00360001015099"},
      {kPrint, 0, 1, "^P0001|^R|"},
      {kPrint, 0, 0, "^P|^R|"},
      {kPrint, 0, 12345, "^P1234|^R|"},
      {kPrint, 0, 9999, "^P9999|^R|"},
      {kPrint, 0, -1, ""}, // no encoding for a negative quantity
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.wire);
    uint8_t out[32];
    memset(out, 0xEE, sizeof(out));
    const size_t n = row.command == kClear   ? EncodeClearCommand(out)
                     : row.command == kStop  ? EncodeStopCommand(out)
                     : row.command == kPrint ? EncodePrintCommand(out, row.number)
                     : row.command == kCondition
                         ? EncodeConditionCommand(out, row.dots, row.number, "012", '5')
                         : EncodeImageAreaCommand(out, row.dots, "0036", "0001", "0150", "0999");
    const std::string expected = Wire(row.wire);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), expected);
    for (size_t i = expected.size(); i < sizeof(out); ++i)
      ASSERT_EQ(out[i], 0xEE) << "byte " << i;
  }
}

TEST(Encoding, ImageAreaFields) {
  struct Row {
    uint16_t dots;
    long long x, y, bytesPerRow, rows;
    const char* fields; // x, y, width, height; '#' = left as it was
  } rows[] = {
      {120, 36, 0, 75, 200, "0036000001500200"},  {80, 24, 0, 50, 999, "00240000050#999#"},
      {100, 24, 8, 50, 1000, "00240008050#:00#"}, {80, 0, 0, 1, 1234, "00000000001#<34#"},
      {80, 0, 0, 1, 1599, "00000000001#?99#"},    {80, 0, 0, 1, 1600, "00000000001#?99#"},
      {80, 0, 0, 1, 2000, "00000000001#?99#"},    {101, 12345, 7, 5000, 12345, "1234000710001234"},
      {80, 0, 0, 1234, 5, "00000000123#005#"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fields);
    char out[16];
    memset(out, '#', sizeof(out));
    FillImageAreaFields(row.dots, row.x, row.y, row.bytesPerRow, row.rows, out, out + 4, out + 8,
                        out + 12);
    EXPECT_EQ(std::string(out, 16), row.fields);
  }
}

TEST(Encoding, FixedFieldAndRasterByte) {
  struct Field {
    int width;
    long long value;
    const char* text;
  } fields[] = {{3, 7, "007"},      {3, 42, "042"},         {3, 1000, "100"},
                {4, 12345, "1234"}, {5, 9600, "09600"},     {1, 8, "8"},
                {3, -5, "-05"},     {3, 2147483647, "214"}, {11, -2147483648LL, "-2147483648"},
                {4, 0, "0000"}};
  for (const Field& f : fields) {
    char out[24];
    memset(out, '#', sizeof(out));
    FormatFixedField(out, f.width, f.value);
    EXPECT_EQ(std::string(out, f.width + 1), std::string(f.text) + "#") << f.value;
  }
  struct Raster {
    uint8_t byte;
    const char* chars;
  } bytes[] = {{0xFF, "00"}, {0x00, "??"}, {0x5A, ":5"}, {0x81, "7>"}, {0xF0, "0?"}};
  for (const Raster& r : bytes) {
    uint8_t out[2];
    EncodeRasterByte(r.byte, out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 2), r.chars) << int(r.byte);
  }
}

TEST(Reply, ScanReply) {
  const std::string filler(100, 'x');
  struct Row {
    std::string received;
    ReplyScan scan;
    const char* remaining;             // "----": not written
    uint32_t code;                     // 1: not written
    size_t length = std::string::npos; // bytes counted as received; npos: all
  } rows[] = {
      {"^O0012|", kReplyCount, "0012", 0},
      {"^O0000|", kReplyCount, "0000", 0},
      {"^O9999|", kReplyCount, "0000", 0},
      {"^E|", kReplyErrorLetter, "----", 60810},
      {"^F|", kReplyErrorLetter, "----", 60811},
      {"^T|", kReplyErrorLetter, "----", 60812},
      {"^G|", kReplyErrorLetter, "----", 60813},
      {"^V|", kReplyErrorLetter, "----", 60814},
      {"^X|", kReplyErrorLetter, "----", 60815},
      {"^o|", kReplyErrorLetter, "----", 60815},
      {"xy^F|", kReplyErrorLetter, "----", 60811},
      {"^E|^O0003|", kReplyCount, "0003", 0}, // the last frame counts
      {"^O0003|^E|", kReplyErrorLetter, "----", 60810},
      {"", kReplyIncomplete, "----", 1},
      {"^O0", kReplyIncomplete, "----", 1},
      {"ab^F", kReplyIncomplete, "----", 1},
      {"^O0012|", kReplyIncomplete, "----", 1, 3}, // bytes past the count read as zero
      {"^O0012|", kReplyIncomplete, "----", 1, 6},
      {"abcdefg", kReplyUnusable, "----", 1},
      {"abcd^Oxxxx", kReplyUnusable, "----", 1},
      {filler.substr(3) + "^E|", kReplyErrorLetter, "----", 60810},
      {filler.substr(1) + "^E|", kReplyUnusable, "----", 1}, // past the 100 bytes
  };
  for (const Row& row : rows) {
    const std::string bytes = Wire(row.received);
    SCOPED_TRACE(row.received);
    char remaining[4] = {'-', '-', '-', '-'};
    uint32_t code = 1;
    const size_t length = std::min(row.length, bytes.size());
    EXPECT_EQ(ScanReply(reinterpret_cast<const uint8_t*>(bytes.data()), length, remaining, &code),
              row.scan);
    EXPECT_EQ(std::string(remaining, 4), row.remaining);
    EXPECT_EQ(code, row.code);
  }
  const std::string frames = Wire("x^E|^F|^O0012|");
  const auto* data = reinterpret_cast<const uint8_t*>(frames.data());
  size_t start = 99;
  EXPECT_FALSE(FindLastReplyFrame(data + 7, 3, &start)); // ESC O 0, then bytes past the count
  EXPECT_EQ(start, 99u);
  EXPECT_TRUE(FindLastReplyFrame(data, 7, &start));
  EXPECT_EQ(start, 4u);
}

TEST(Reply, RemainingCountValue) {
  struct Row {
    const char digits[4];
    long value;
  } rows[] = {{{'0', '0', '1', '2'}, 12},  {{' ', '4', '2', ' '}, 42}, {{'-', '0', '0', '3'}, -3},
              {{'+', '7', 'x', '1'}, 7},   {{'1', '2', 'a', 'b'}, 12}, {{'a', 'b', 'c', 'd'}, 0},
              {{'9', '9', '9', '9'}, 9999}};
  for (const Row& row : rows)
    EXPECT_EQ(RemainingCountValue(row.digits), row.value) << std::string(row.digits, 4);
}
} // namespace
