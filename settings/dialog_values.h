// The settings dialog's value tables: which radio button or combo box item
// shows a stored serial setting or width, and which stored value each one
// gives back when the user confirms. Pure data and lookups, no <windows.h>.
#pragma once

#include <cstdint>

// One control of a group and the stored value it stands for.
struct DialogChoice {
  uint16_t wId;   // radio button id, or combo box item index
  int32_t nValue; // stored value
};

// No control chosen or shown (combo box item 0 is a real choice, so not 0).
inline constexpr uint16_t kNoChoice = 0xFFFF;

// A stored value that none of a group's controls was chosen for keeps the
// field as it was (see DialogChoiceGroup::nSavedForNone).
inline constexpr int64_t kKeepStoredValue = -1;

// One radio group (or the width combo box) and its rules.
struct DialogChoiceGroup {
  const DialogChoice* pChoices; // in id order, which is also the order of testing on saving
  int nChoices;                 // entries in pChoices
  uint16_t wAboveId;            // control shown for values above every choice (its value comes
                                // from an edit); kNoChoice: none
  int nShownForOther;           // index shown for a value no choice has; -1: none shown
  int64_t nSavedForNone;        // value saved when nothing is chosen, or kKeepStoredValue
};

// COM1..COM9, and "COM" with the port number edit for ports above 9.
extern const DialogChoiceGroup kPortChoices;
// 9600..57600 baud; any other stored rate shows 9600.
extern const DialogChoiceGroup kBaudChoices;
// 7 and 8 data bits; anything but 7 shows and saves as 8.
extern const DialogChoiceGroup kDataBitChoices;
// One, one and a half, two stop bits (codes 0, 1, 2).
extern const DialogChoiceGroup kStopBitChoices;
// No, odd, even parity (codes 0, 1, 2).
extern const DialogChoiceGroup kParityChoices;
// Maximum print widths in mm by combo box item index; any other shows 53.
extern const DialogChoiceGroup kWidthChoices;

// The control that shows `value`: a choice's id, wAboveId for a value above
// every choice, the id at nShownForOther, or kNoChoice when none is shown.
uint16_t ShownChoice(const DialogChoiceGroup& group, int32_t value);

// The value to store when control `chosenId` is the chosen one (kNoChoice:
// none).
// `stored` is the field's present value; `aboveValue` the number entered for
// wAboveId. A chosen id outside the group counts as none.
int32_t SavedChoice(const DialogChoiceGroup& group, uint16_t chosenId, int32_t stored,
                    int32_t aboveValue);
