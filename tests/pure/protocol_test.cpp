// Command bytes, image-area fields, raster characters and reply frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

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

// A command's bytes, 0xEE where the 32-byte buffer is left as it was: 'C' clear, 'S' stop, 'M'
// condition (label length `number`), 'B' image area, 'P' print (quantity `number`).
std::string Encoded(char command, uint16_t dotsPer10mm, int32_t number) {
  uint8_t out[32];
  memset(out, 0xEE, sizeof(out));
  const size_t n = command == 'C'   ? EncodeClearCommand(out)
                   : command == 'S' ? EncodeStopCommand(out)
                   : command == 'P' ? EncodePrintCommand(out, number)
                   : command == 'M'
                       ? EncodeConditionCommand(out, dotsPer10mm, number, "012", '5')
                       : EncodeImageAreaCommand(out, dotsPer10mm, "0036", "0001", "0150", "0999");
  return std::string(reinterpret_cast<char*>(out), n) + "/" +
         std::string(reinterpret_cast<char*>(out + n), sizeof(out) - n);
}

TEST(Encoding, CommandBytes) {
  // Command, dots per 10 mm, number: the bytes ('^' ESC, '|' CR); none for a negative quantity.
  const std::tuple<char, uint16_t, int32_t, const char*> rows[] = {
      {'C', 0, 0, "^Z1|"},
      {'S', 0, 0, "^Z1|^S|"},
      {'M', 120, 50, "^M000|^K012|^A51|"},
      {'M', 101, 1234, "^M000|^K012|^A51|"},
      {'M', 100, 50, "^M0500|^K012|^A51|"},
      {'M', 80, 1234, "^M1230|^K012|^A51|"},
      {'M', 80, 7, "^M0070|^K012|^A51|"},
      {'B', 120, 0, "^B0036000101500999"},
      {'B', 101, 0, "^B0036000101500999"},
      {'B', 100, 0, "^B00360001015099"},
      {'P', 0, 1, "^P0001|^R|"},
      {'P', 0, 0, "^P|^R|"},
      {'P', 0, 12345, "^P1234|^R|"},
      {'P', 0, 9999, "^P9999|^R|"},
      {'P', 0, -1, ""}};
  for (const auto& [command, dots, number, wire] : rows)
    EXPECT_EQ(Encoded(command, dots, number),
              Wire(wire) + "/" + std::string(32 - strlen(wire), '\xEE'));
}

// Image-area fields, fixed fields and raster characters: the characters written, and '#' for
// those left as they were.
TEST(Encoding, FieldsAndRasterCharacters) {
  struct Area {
    uint16_t dots;
    long long x, y, bytesPerRow, rows;
    const char* fields; // x, y, width, height
  } areas[] = {
      {120, 36, 0, 75, 200, "0036000001500200"},  {80, 24, 0, 50, 999, "00240000050#999#"},
      {100, 24, 8, 50, 1000, "00240008050#:00#"}, {80, 0, 0, 1, 1234, "00000000001#<34#"},
      {80, 0, 0, 1, 1599, "00000000001#?99#"},    {80, 0, 0, 1, 1600, "00000000001#?99#"},
      {80, 0, 0, 1, 2000, "00000000001#?99#"},    {101, 12345, 7, 5000, 12345, "1234000710001234"},
      {80, 0, 0, 1234, 5, "00000000123#005#"}};
  for (const Area& a : areas) {
    char out[16];
    memset(out, '#', sizeof(out));
    FillImageAreaFields(a.dots, a.x, a.y, a.bytesPerRow, a.rows, out, out + 4, out + 8, out + 12);
    EXPECT_EQ(std::string(out, 16), a.fields);
  }
  struct Field {
    int width;
    long long value;
    const char* text;
  } fields[] = {{3, 7, "007#"},      {3, 42, "042#"},         {3, 1000, "100#"},
                {4, 12345, "1234#"}, {5, 9600, "09600#"},     {1, 8, "8#"},
                {3, -5, "-05#"},     {3, 2147483647, "214#"}, {11, -2147483648LL, "-2147483648#"},
                {4, 0, "0000#"}};
  for (const Field& f : fields) {
    char out[24];
    memset(out, '#', sizeof(out));
    FormatFixedField(out, f.width, f.value);
    EXPECT_EQ(std::string(out, f.width + 1), f.text);
  }
  const std::pair<uint8_t, const char*> raster[] = {
      {0xFF, "00"}, {0x00, "??"}, {0x5A, ":5"}, {0x81, "7>"}, {0xF0, "0?"}};
  for (const auto& [byte, chars] : raster) {
    uint8_t out[2];
    EncodeRasterByte(byte, out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 2), chars) << int(byte);
  }
}

// What a scan of the first `length` received bytes (bytes past them read as zero) finds and
// writes: "scan remaining code", the outputs as they were before ("----", 1) where not written.
std::string Scan(const std::string& bytes, size_t length) {
  char remaining[4] = {'-', '-', '-', '-'};
  uint32_t code = 1;
  const ReplyScan scan =
      ScanReply(reinterpret_cast<const uint8_t*>(bytes.data()), length, remaining, &code);
  const char* names[] = {"count", "error", "incomplete", "unusable"};
  return names[scan] + (" " + std::string(remaining, 4)) + " " + std::to_string(code);
}

TEST(Reply, ScanReply) {
  const std::pair<const char*, const char*> rows[] = {
      {"^O0012|", "count 0012 0"},        {"^O0000|", "count 0000 0"},
      {"^O9999|", "count 0000 0"},        {"^E|", "error ---- 60810"},
      {"^F|", "error ---- 60811"},        {"^T|", "error ---- 60812"},
      {"^G|", "error ---- 60813"},        {"^V|", "error ---- 60814"},
      {"^X|", "error ---- 60815"},        {"^o|", "error ---- 60815"},
      {"xy^F|", "error ---- 60811"},      {"^E|^O0003|", "count 0003 0"}, // the last frame
      {"^O0003|^E|", "error ---- 60810"}, {"", "incomplete ---- 1"},
      {"^O0", "incomplete ---- 1"},       {"ab^F", "incomplete ---- 1"},
      {"abcdefg", "unusable ---- 1"},     {"abcd^Oxxxx", "unusable ---- 1"}};
  for (const auto& [received, found] : rows)
    EXPECT_EQ(Scan(Wire(received), strlen(received)), found) << received;
  EXPECT_EQ(Scan(Wire("^O0012|"), 3), "incomplete ---- 1");
  EXPECT_EQ(Scan(Wire("^O0012|"), 6), "incomplete ---- 1");
  const std::string filler(97, 'x'); // 100 bytes at most are held
  EXPECT_EQ(Scan(filler + Wire("^E|"), 100), "error ---- 60810");
  EXPECT_EQ(Scan("x" + filler + Wire("^E|"), 101), "unusable ---- 1");
  const std::pair<const char*, long> counts[] = {{"0012", 12},  {" 42 ", 42}, {"-003", -3},
                                                 {"+7x1", 7},   {"12ab", 12}, {"abcd", 0},
                                                 {"9999", 9999}};
  for (const auto& [digits, value] : counts)
    EXPECT_EQ(RemainingCountValue(digits), value) << digits;
}
} // namespace
