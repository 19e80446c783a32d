// The INI serial settings string, natively: every port the field can hold
// round-trips, short strings are refused untouched, and characters are never
// trusted to be digits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/serial_string.h"

namespace {
std::string format(const SerialSettings& s) {
  char out[kSerialStringLength + 1];
  memset(out, '@', sizeof(out));
  FormatSerialString(s, out);
  EXPECT_EQ('\0', out[kSerialStringLength]);
  return std::string(out);
}
} // namespace

TEST(SerialString, EveryStorablePortRoundTrips) {
  for (int32_t port = 1; port <= kMaxStoredComPort; ++port) {
    SCOPED_TRACE(port);
    const std::string text = format({port, 19200, 7, 2, 1});
    ASSERT_EQ(kSerialStringLength, text.size());
    SerialSettings back{};
    ASSERT_TRUE(ParseSerialString(text.data(), text.size(), &back));
    EXPECT_EQ(port, back.nComPort);
    EXPECT_EQ(19200u, back.dwBaudRate);
    EXPECT_EQ(7, back.byteSize);
    EXPECT_EQ(2, back.stopBits);
    EXPECT_EQ(1, back.parity);
  }
}

TEST(SerialString, UnstorablePortsBecomeNoPort) {
  for (int32_t port : {0, -1, 208, 256, 259, 1000, 0x7FFFFFFF}) {
    SCOPED_TRACE(port);
    EXPECT_EQ("0#09600#8#0#0#", format({port, 9600, 8, 0, 0}));
  }
}

TEST(SerialString, ShortTextIsRefusedAndNothingChanges) {
  const char text[] = "3#09600#8#0#0#";
  for (size_t length = 0; length < kSerialStringMinLength; ++length) {
    SCOPED_TRACE(length);
    SerialSettings s{77, 77, 77, 77, 77};
    EXPECT_FALSE(ParseSerialString(text, length, &s));
    EXPECT_EQ(77, s.nComPort);
    EXPECT_EQ(77u, s.dwBaudRate);
    EXPECT_EQ(77, s.byteSize);
  }
  SerialSettings s{};
  EXPECT_FALSE(ParseSerialString(nullptr, 14, &s));
}

TEST(SerialString, ParsesOnlyThirteenCharacters) {
  // A text of exactly 13 characters with no terminator behind it: nothing
  // past position 12 may be read (ASan watches this buffer).
  char* exact = new char[13];
  memcpy(exact, "2#38400#7#1#2", 13);
  SerialSettings s{};
  EXPECT_TRUE(ParseSerialString(exact, 13, &s));
  EXPECT_EQ(2, s.nComPort);
  EXPECT_EQ(38400u, s.dwBaudRate);
  EXPECT_EQ(7, s.byteSize);
  EXPECT_EQ(1, s.stopBits);
  EXPECT_EQ(2, s.parity);
  delete[] exact;
}

TEST(SerialString, HighBytesAreUnsignedCodes) {
  SerialSettings s{};
  const char text[] = "\xFF#09600#\x80#\x2F#\x00#";
  EXPECT_TRUE(ParseSerialString(text, 14, &s));
  EXPECT_EQ(207, s.nComPort);
  EXPECT_EQ(static_cast<uint8_t>(0x80 - '0'), s.byteSize);
  EXPECT_EQ(static_cast<uint8_t>(0x2F - '0'), s.stopBits);
  EXPECT_EQ(static_cast<uint8_t>(0 - '0'), s.parity);
}

TEST(SerialString, WideValuesAreCutToTheirFields) {
  EXPECT_EQ("1#57600#7#2#2#", format({1, 57600, 7, 2, 2}));
  EXPECT_EQ("1#11520#1#2#3#", format({1, 115200, 12, 23, 34}));
  EXPECT_EQ("1#-9600#8#0#0#", format({1, static_cast<uint32_t>(-9600), 8, 0, 0}));
}
