// The INI serial settings string and the settings dialog's value tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/dialog_values.h"
#include "settings/serial_string.h"

namespace {
TEST(SerialString, Parse) {
  struct Row {
    const char* text;
    bool loads;
    int32_t port;
    uint32_t baud;
    int byteSize, stopBits, parity;
  } rows[] = {
      {"3#09600#8#0#0#", true, 3, 9600, 8, 0, 0},      {"3#09600#8#0#0", true, 3, 9600, 8, 0, 0},
      {"3#09600#8#0#", false, 0, 0, 0, 0, 0},          {"<#09600#8#0#0#", true, 12, 9600, 8, 0, 0},
      {"1#57600#7#2#2#", true, 1, 57600, 7, 2, 2},     {"4#38400#7#1#2#", true, 4, 38400, 7, 1, 2},
      {"3x0960078x0x0x", true, 3, 9600, 8, 0, 0}, // separators are not read
      {"A#19200#8#0#0#", true, 17, 19200, 8, 0, 0},    {"/#1x200#9#5#6#", true, -1, 1, 9, 5, 6},
      {"\xFF#09600#8#0#0#", true, 207, 9600, 8, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    SerialSettings s{0, 0, 0, 0, 0};
    EXPECT_EQ(ParseSerialString(r.text, strlen(r.text), &s), r.loads);
    EXPECT_EQ(s.nComPort, r.port);
    EXPECT_EQ(s.dwBaudRate, r.baud);
    EXPECT_EQ(s.byteSize, r.byteSize);
    EXPECT_EQ(s.stopBits, r.stopBits);
    EXPECT_EQ(s.parity, r.parity);
  }
}

TEST(SerialString, Format) {
  struct Row {
    SerialSettings settings;
    const char* text;
  } rows[] = {
      {{3, 9600, 8, 0, 0}, "3#09600#8#0#0#"},
      {{1, 57600, 7, 2, 2}, "1#57600#7#2#2#"},
      {{12, 9600, 8, 0, 0}, "<#09600#8#0#0#"},
      {{4, 38400, 7, 1, 2}, "4#38400#7#1#2#"},
      {{207, 19200, 8, 0, 0}, "\xFF#19200#8#0#0#"},
      {{208, 9600, 8, 0, 0}, "0#09600#8#0#0#"}, // beyond the one-character field
      {{0, 9600, 8, 0, 0}, "0#09600#8#0#0#"},
      {{-3, 9600, 8, 0, 0}, "0#09600#8#0#0#"},
  };
  for (const Row& r : rows) {
    char out[16];
    memset(out, '@', sizeof(out));
    FormatSerialString(r.settings, out);
    EXPECT_EQ(std::string(out, 15), std::string(r.text, 14) + '\0') << r.text;
  }
}

TEST(DialogValues, Shown) {
  const uint16_t none = kNoChoice;
  struct Row {
    const DialogChoiceGroup& group;
    int32_t value;
    uint16_t shown;
  } rows[] = {
      {kPortChoices, 1, 6201},     {kPortChoices, 5, 6205},     {kPortChoices, 9, 6209},
      {kPortChoices, 10, 6210},    {kPortChoices, 12, 6210},    {kPortChoices, 0, none},
      {kPortChoices, -1, none},    {kBaudChoices, 9600, 6211},  {kBaudChoices, 19200, 6212},
      {kBaudChoices, 38400, 6213}, {kBaudChoices, 57600, 6214}, {kBaudChoices, 4800, 6211},
      {kDataBitChoices, 7, 6220},  {kDataBitChoices, 8, 6221},  {kDataBitChoices, 5, 6221},
      {kStopBitChoices, 0, 6230},  {kStopBitChoices, 1, 6231},  {kStopBitChoices, 2, 6232},
      {kStopBitChoices, 3, none},  {kParityChoices, 0, 6240},   {kParityChoices, 1, 6241},
      {kParityChoices, 2, 6242},   {kParityChoices, 3, none},   {kWidthChoices, 53, 0},
      {kWidthChoices, 56, 1},      {kWidthChoices, 106, 2},     {kWidthChoices, 112, 3},
      {kWidthChoices, 80, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ShownChoice(r.group, r.value), r.shown) << r.value;
}

TEST(DialogValues, Saved) {
  const uint16_t none = kNoChoice;
  struct Row {
    const DialogChoiceGroup& group;
    uint16_t chosen;
    int32_t stored, entered; // the field's value, the number in the port edit
    int32_t saved;
  } rows[] = {
      {kPortChoices, 6201, 3, 0, 1},       {kPortChoices, 6209, 3, 0, 9},
      {kPortChoices, 6210, 3, 12, 12},     {kPortChoices, 6210, 3, 5, 5},
      {kPortChoices, none, 0, 7, 0},       {kPortChoices, 6211, -2, 7, -2},
      {kBaudChoices, 6211, 4800, 0, 9600}, {kBaudChoices, 6214, 0, 0, 57600},
      {kBaudChoices, none, 4800, 0, 9600}, {kDataBitChoices, 6220, 8, 0, 7},
      {kDataBitChoices, 6221, 7, 0, 8},    {kDataBitChoices, none, 7, 0, 8},
      {kStopBitChoices, 6232, 0, 0, 2},    {kStopBitChoices, none, 3, 0, 3},
      {kParityChoices, 6241, 0, 0, 1},     {kParityChoices, none, 5, 0, 5},
      {kWidthChoices, 0, 112, 0, 53},      {kWidthChoices, 3, 53, 0, 112},
      {kWidthChoices, none, 80, 0, 53},
  };
  for (const Row& r : rows)
    EXPECT_EQ(SavedChoice(r.group, r.chosen, r.stored, r.entered), r.saved)
        << r.chosen << ", stored " << r.stored;
}
} // namespace
