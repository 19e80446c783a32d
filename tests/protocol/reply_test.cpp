// Reply frames: which frame counts, what letters mean, how the remaining
// count is read.
#include <gtest/gtest.h>

#include <string>

#include "driver/errors.h"
#include "protocol/reply.h"

namespace {
// Frame start found in `bytes`, or -1 when none.
long last_frame(const std::string& bytes) {
  size_t at = 12345;
  if (!FindLastReplyFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &at))
    return -1;
  return static_cast<long>(at);
}
} // namespace

TEST(ReplyFrames, LastFrameWins) {
  struct Case {
    std::string bytes;
    long start;
  } cases[] = {
      {"\x1BO0012\r", 0},
      {"\x1B"
       "E\r",
       0},
      {"\x1B"
       "E\r\x1BO0003\r",
       3},
      {"\x1BO0001\r\x1BO0000\r", 7},
      {"xx\x1B"
       "F\r",
       2},
      {"garbage\x1BO0002\rmore", 7},
      {"\x1BO0", -1},    // 3 bytes, no CR yet
      {"\x1BO0012", -1}, // CR still to come
      {"abcdefg", -1},
      {"", -1},
      {"\x1B\r", -1},   // 2 bytes: too short for a frame
      {"ab\x1B", -1},   // ESC in the last two positions never starts a frame
      {"\x1BO\r", 0},   // CR two bytes on: a 3-byte frame, letter 'O'
      {"\x1BO0\r", -1}, // CR three bytes on: no frame
      {std::string("\x1B"
                   "A\0\0\0\0\r",
                   7),
       0},
      {std::string(93, 'z') + "\x1BO0004\r", 93}, // a frame ending at byte 100
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(c.start, last_frame(c.bytes));
  }
}

TEST(ReplyFrames, LettersAndTheirCodes) {
  struct Case {
    uint8_t letter;
    uint32_t code;
  } cases[] = {{'O', 0},     {'E', 60810}, {'F', 60811}, {'T', 60812}, {'G', 60813},
               {'V', 60814}, {'o', 60815}, {'X', 60815}, {0, 60815},   {0x1B, 60815}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.letter));
    EXPECT_EQ(c.code, ReplyLetterCode(c.letter));
  }
}

TEST(ReplyFrames, RemainingCountDigits) {
  struct Case {
    std::string digits; // exactly four bytes
    long value;
  } cases[] = {
      {"0012", 12},
      {"0000", 0},
      {"9999", 9999},
      {" 12a", 12},
      {"-001", -1},
      {"+042", 42},
      {"abcd", 0},
      {std::string("\r\0\0\0", 4), 0},
      {std::string("7\0"
                   "99",
                   4),
       7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.digits));
    EXPECT_EQ(c.value, RemainingCountValue(c.digits.data()));
  }
}

TEST(ReplyFrames, ScanTakesTheLastFrameOfTheWindow) {
  struct Case {
    std::string bytes;
    ReplyScan scan;
    std::string remaining; // "~~~~" when untouched
    uint32_t code;         // 77 when untouched
  } cases[] = {
      {"\x1BO0012\r", kReplyCount, "0012", 0},
      {"\x1BO9999\r", kReplyCount, "0000", 0},
      {"\x1BO0\r", kReplyIncomplete, "~~~~", 77},
      {"\x1BO\r", kReplyCount, std::string("\r\0\0\0", 4), 0},
      {"\x1B"
       "F\r",
       kReplyErrorLetter, "~~~~", 60811},
      {"\x1B"
       "E\r\x1BO0003\r",
       kReplyCount, "0003", 0},
      {"\x1BO0003\r\x1B"
       "E\r",
       kReplyErrorLetter, "~~~~", 60810},
      {"\x1BO0", kReplyIncomplete, "~~~~", 77},
      {"abcdef", kReplyIncomplete, "~~~~", 77},
      {"abcdefg", kReplyUnusable, "~~~~", 77},
      // Only the first 100 bytes count: a frame beyond them is not seen.
      {std::string(120, 'x') + "\x1BO0001\r", kReplyUnusable, "~~~~", 77},
      // A frame whose digits would lie past the 100 bytes reads zeros there.
      {std::string(97, 'x') + "\x1BO\r", kReplyCount, std::string("\r\0\0\0", 4), 0},
      {std::string(95, 'x') + "\x1BO12", kReplyUnusable, "~~~~", 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    char remaining[4] = {'~', '~', '~', '~'};
    uint32_t code = 77;
    EXPECT_EQ(c.scan, ScanReply(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(),
                                remaining, &code));
    EXPECT_EQ(c.remaining, std::string(remaining, 4));
    EXPECT_EQ(c.code, code);
  }
}
