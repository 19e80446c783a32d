// The INI serial settings string and the settings dialog's value tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/dialog_values.h"
#include "settings/serial_string.h"

namespace {
// The string and the settings it stands for: '=' both ways, '<' read only, '>' written only, 'x'
// not read (fewer than 13 characters; the settings are left as they were).
TEST(SerialString, ReadAndWritten) {
  struct Row {
    const char* text;
    char way;
    SerialSettings settings;
  } rows[] = {{"3#09600#8#0#0#", '=', {3, 9600, 8, 0, 0}},
              {"3#09600#8#0#0", '<', {3, 9600, 8, 0, 0}},
              {"3#09600#8#0#", 'x', {0, 0, 0, 0, 0}},
              {"<#09600#8#0#0#", '=', {12, 9600, 8, 0, 0}},
              {"1#57600#7#2#2#", '=', {1, 57600, 7, 2, 2}},
              {"4#38400#7#1#2#", '=', {4, 38400, 7, 1, 2}},
              {"3x0960078x0x0x", '<', {3, 9600, 8, 0, 0}},
              {"A#19200#8#0#0#", '<', {17, 19200, 8, 0, 0}},
              {"/#1x200#9#5#6#", '<', {-1, 1, 9, 5, 6}},
              {"\xFF#19200#8#0#0#", '=', {207, 19200, 8, 0, 0}},
              {"0#09600#8#0#0#", '>', {208, 9600, 8, 0, 0}},
              {"0#09600#8#0#0#", '=', {0, 9600, 8, 0, 0}},
              {"0#09600#8#0#0#", '>', {-3, 9600, 8, 0, 0}}};
  auto values = [](const SerialSettings& s) {
    return std::vector<int64_t>{s.nComPort, s.dwBaudRate, s.byteSize, s.stopBits, s.parity};
  };
  for (const Row& r : rows) {
    SerialSettings read{0, 0, 0, 0, 0};
    if (r.way != '>') {
      EXPECT_EQ(ParseSerialString(r.text, strlen(r.text), &read), r.way != 'x') << r.text;
      EXPECT_EQ(values(read), values(r.settings)) << r.text;
    }
    char written[16];
    memset(written, '@', sizeof(written));
    FormatSerialString(r.settings, written);
    const bool writes = r.way == '=' || r.way == '>';
    EXPECT_TRUE(!writes || std::string(written, 16) == std::string(r.text, 14) + '\0' + '@')
        << r.text << " written as " << std::string(written, 14);
  }
}

// Per group: the control shown for a stored value, and the value saved for a chosen control
// (given the field's stored value and the number in the port edit).
TEST(DialogValues, ShownAndSaved) {
  const uint16_t none = kNoChoice;
  const std::pair<const DialogChoiceGroup*, std::vector<std::pair<int32_t, uint16_t>>> shown[] = {
      {&kPortChoices,
       {{1, 6201}, {5, 6205}, {9, 6209}, {10, 6210}, {12, 6210}, {0, none}, {-1, none}}},
      {&kBaudChoices, {{9600, 6211}, {19200, 6212}, {38400, 6213}, {57600, 6214}, {4800, 6211}}},
      {&kDataBitChoices, {{7, 6220}, {8, 6221}, {5, 6221}}},
      {&kStopBitChoices, {{0, 6230}, {1, 6231}, {2, 6232}, {3, none}}},
      {&kParityChoices, {{0, 6240}, {1, 6241}, {2, 6242}, {3, none}}},
      {&kWidthChoices, {{53, 0}, {56, 1}, {106, 2}, {112, 3}, {80, 0}}}};
  for (const auto& [group, rows] : shown)
    for (const auto& [value, control] : rows)
      EXPECT_EQ(ShownChoice(*group, value), control) << value;
  struct Saved {
    const DialogChoiceGroup& group;
    uint16_t chosen;
    int32_t stored, entered, saved;
  } saved[] = {{kPortChoices, 6201, 3, 0, 1},       {kPortChoices, 6209, 3, 0, 9},
               {kPortChoices, 6210, 3, 12, 12},     {kPortChoices, 6210, 3, 5, 5},
               {kPortChoices, none, 0, 7, 0},       {kPortChoices, 6211, -2, 7, -2},
               {kBaudChoices, 6211, 4800, 0, 9600}, {kBaudChoices, 6214, 0, 0, 57600},
               {kBaudChoices, none, 4800, 0, 9600}, {kDataBitChoices, 6220, 8, 0, 7},
               {kDataBitChoices, 6221, 7, 0, 8},    {kDataBitChoices, none, 7, 0, 8},
               {kStopBitChoices, 6232, 0, 0, 2},    {kStopBitChoices, none, 3, 0, 3},
               {kParityChoices, 6241, 0, 0, 1},     {kParityChoices, none, 5, 0, 5},
               {kWidthChoices, 0, 112, 0, 53},      {kWidthChoices, 3, 53, 0, 112},
               {kWidthChoices, none, 80, 0, 53}};
  for (const Saved& r : saved)
    EXPECT_EQ(SavedChoice(r.group, r.chosen, r.stored, r.entered), r.saved)
        << r.chosen << ", stored " << r.stored;
}
} // namespace
