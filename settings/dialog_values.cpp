// The settings dialog's value tables and their two lookups.
#include "settings/dialog_values.h"

namespace {
constexpr DialogChoice kPorts[] = {
    {6201, 1}, {6202, 2}, {6203, 3}, {6204, 4}, {6205, 5},
    {6206, 6}, {6207, 7}, {6208, 8}, {6209, 9},
};
constexpr DialogChoice kBaudRates[] = {{6211, 9600}, {6212, 19200}, {6213, 38400}, {6214, 57600}};
constexpr DialogChoice kDataBits[] = {{6220, 7}, {6221, 8}};
constexpr DialogChoice kStopBits[] = {{6230, 0}, {6231, 1}, {6232, 2}};
constexpr DialogChoice kParities[] = {{6240, 0}, {6241, 1}, {6242, 2}};
constexpr DialogChoice kWidths[] = {{0, 53}, {1, 56}, {2, 106}, {3, 112}};

template <int N> constexpr int count(const DialogChoice (&)[N]) {
  return N;
}

int32_t highest_value(const DialogChoiceGroup& group) {
  int32_t highest = group.pChoices[0].nValue;
  for (int i = 1; i < group.nChoices; ++i)
    if (group.pChoices[i].nValue > highest)
      highest = group.pChoices[i].nValue;
  return highest;
}
} // namespace

// A port, stop-bits or parity value that no button has (a damaged or hand-made
// INI entry) shows no button checked; saving without a choice then keeps the
// stored value, so confirming the dialog never turns it into port 11, stop
// bits 3 or parity 3, nor into a value the user was not shown.
const DialogChoiceGroup kPortChoices{kPorts, count(kPorts), 6210, -1, kKeepStoredValue};
const DialogChoiceGroup kBaudChoices{kBaudRates, count(kBaudRates), kNoChoice, 0, 9600};
const DialogChoiceGroup kDataBitChoices{kDataBits, count(kDataBits), kNoChoice, 1, 8};
const DialogChoiceGroup kStopBitChoices{kStopBits, count(kStopBits), kNoChoice, -1,
                                        kKeepStoredValue};
const DialogChoiceGroup kParityChoices{kParities, count(kParities), kNoChoice, -1,
                                       kKeepStoredValue};
const DialogChoiceGroup kWidthChoices{kWidths, count(kWidths), kNoChoice, 0, 53};

uint16_t ShownChoice(const DialogChoiceGroup& group, int32_t value) {
  for (int i = 0; i < group.nChoices; ++i)
    if (group.pChoices[i].nValue == value)
      return group.pChoices[i].wId;
  if (group.wAboveId != kNoChoice && value > highest_value(group))
    return group.wAboveId;
  return group.nShownForOther >= 0 ? group.pChoices[group.nShownForOther].wId : kNoChoice;
}

int32_t SavedChoice(const DialogChoiceGroup& group, uint16_t chosenId, int32_t stored,
                    int32_t aboveValue) {
  if (group.wAboveId != kNoChoice && chosenId == group.wAboveId)
    return aboveValue;
  for (int i = 0; i < group.nChoices; ++i)
    if (group.pChoices[i].wId == chosenId)
      return group.pChoices[i].nValue;
  return group.nSavedForNone == kKeepStoredValue ? stored
                                                 : static_cast<int32_t>(group.nSavedForNone);
}
