// The settings dialog's value tables: which control shows a stored value and
// which value a chosen control stores, for every value the dialog's
// description names, values no control has, and the free port number.
#include <gtest/gtest.h>

#include "settings/dialog_values.h"

namespace {
struct ShownCase {
  const char* group;
  const DialogChoiceGroup* table;
  int32_t value;
  uint16_t shown;
};

const ShownCase kShown[] = {
    {"port", &kPortChoices, 1, 6201},          {"port", &kPortChoices, 5, 6205},
    {"port", &kPortChoices, 9, 6209},          {"port", &kPortChoices, 10, 6210},
    {"port", &kPortChoices, 207, 6210},        {"port", &kPortChoices, 0, kNoChoice},
    {"port", &kPortChoices, -3, kNoChoice},    {"baud", &kBaudChoices, 9600, 6211},
    {"baud", &kBaudChoices, 19200, 6212},      {"baud", &kBaudChoices, 38400, 6213},
    {"baud", &kBaudChoices, 57600, 6214},      {"baud", &kBaudChoices, 4800, 6211},
    {"baud", &kBaudChoices, 115200, 6211},     {"bits", &kDataBitChoices, 7, 6220},
    {"bits", &kDataBitChoices, 8, 6221},       {"bits", &kDataBitChoices, 5, 6221},
    {"stop", &kStopBitChoices, 0, 6230},       {"stop", &kStopBitChoices, 1, 6231},
    {"stop", &kStopBitChoices, 2, 6232},       {"stop", &kStopBitChoices, 3, kNoChoice},
    {"parity", &kParityChoices, 0, 6240},      {"parity", &kParityChoices, 2, 6242},
    {"parity", &kParityChoices, 3, kNoChoice}, {"width", &kWidthChoices, 53, 0},
    {"width", &kWidthChoices, 56, 1},          {"width", &kWidthChoices, 106, 2},
    {"width", &kWidthChoices, 112, 3},         {"width", &kWidthChoices, 80, 0},
    {"width", &kWidthChoices, 0, 0},
};

struct SavedCase {
  const char* group;
  const DialogChoiceGroup* table;
  uint16_t chosen;
  int32_t stored;
  int32_t above;
  int32_t saved;
};

const SavedCase kSaved[] = {
    {"port", &kPortChoices, 6201, 3, 0, 1},
    {"port", &kPortChoices, 6209, 3, 0, 9},
    {"port", &kPortChoices, 6210, 3, 12, 12},
    {"port", &kPortChoices, 6210, 3, 5, 5},
    {"port none keeps", &kPortChoices, kNoChoice, 0, 0, 0},
    {"port none keeps", &kPortChoices, kNoChoice, -2, 0, -2},
    {"baud", &kBaudChoices, 6214, 9600, 0, 57600},
    {"baud none", &kBaudChoices, kNoChoice, 4800, 0, 9600},
    {"bits", &kDataBitChoices, 6220, 8, 0, 7},
    {"bits", &kDataBitChoices, 6221, 7, 0, 8},
    {"bits none", &kDataBitChoices, kNoChoice, 7, 0, 8},
    {"stop", &kStopBitChoices, 6232, 0, 0, 2},
    {"stop none keeps", &kStopBitChoices, kNoChoice, 3, 0, 3},
    {"parity", &kParityChoices, 6241, 0, 0, 1},
    {"parity none keeps", &kParityChoices, kNoChoice, 3, 0, 3},
    {"width", &kWidthChoices, 3, 53, 0, 112},
    {"width", &kWidthChoices, 0, 112, 0, 53},
    {"width none", &kWidthChoices, kNoChoice, 80, 0, 53},
    {"an id of another group is none", &kBaudChoices, 6230, 4800, 0, 9600},
    {"an id of another group is none", &kStopBitChoices, 6211, 1, 0, 1},
};
} // namespace

TEST(DialogValues, ShownChoice) {
  for (const ShownCase& c : kShown) {
    SCOPED_TRACE(testing::Message() << c.group << " " << c.value);
    EXPECT_EQ(c.shown, ShownChoice(*c.table, c.value));
  }
}

TEST(DialogValues, SavedChoice) {
  for (const SavedCase& c : kSaved) {
    SCOPED_TRACE(testing::Message() << c.group << " " << c.chosen);
    EXPECT_EQ(c.saved, SavedChoice(*c.table, c.chosen, c.stored, c.above));
  }
}

TEST(DialogValues, NeverPort11StopBits3OrParity3FromNoChoice) {
  for (int32_t stored : {1, 3, 9}) {
    EXPECT_EQ(stored, SavedChoice(kPortChoices, kNoChoice, stored, 0));
    EXPECT_NE(11, SavedChoice(kPortChoices, kNoChoice, stored, 0));
  }
  for (int32_t stored : {0, 1, 2}) {
    EXPECT_EQ(stored, SavedChoice(kStopBitChoices, kNoChoice, stored, 0));
    EXPECT_EQ(stored, SavedChoice(kParityChoices, kNoChoice, stored, 0));
  }
}
