// The fixed-width field formatter: zero-padded, cut to the width from the
// right, never a byte past the field.
#include <gtest/gtest.h>

#include <string>

#include "driver/fixed_field.h"

TEST(FixedField, FormatsPadsAndCuts) {
  struct Case {
    int width;
    long long value;
    const char* expected;
  } cases[] = {
      {3, 7, "007"},
      {3, 42, "042"},
      {3, 1000, "100"},
      {3, 999, "999"},
      {4, 0, "0000"},
      {4, 150, "0150"},
      {4, 12345, "1234"},
      {5, 9600, "09600"},
      {5, 57600, "57600"},
      {5, 115200, "11520"},
      {1, 8, "8"},
      {1, 12, "1"},
      {3, -5, "-05"},
      {4, -1234, "-123"},
      {4, 4294967295LL, "4294"},
      {3, 2147483647, "214"},
      {20, -9223372036854775807LL - 1, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " " << c.value);
    char buf[32];
    std::fill(std::begin(buf), std::end(buf), '#');
    FormatFixedField(buf, c.width, c.value);
    EXPECT_EQ(std::string(c.expected), std::string(buf, c.width));
    EXPECT_EQ('#', buf[c.width]) << "nothing past the field";
  }
}
