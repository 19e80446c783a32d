// The two message boxes of the settings dialog and of KtPrPrinterSetup: a
// slot's error message, and a value out of its range. Both beep first and use
// the driver's alert title with an OK button and the exclamation icon.
#pragma once

#include <windows.h>
#include <cstdint>

// Shows the text of the slot's nErrorCode (owner: hOwner, or the window with
// the focus when hOwner is null) and clears the code. The message is read
// into a 128-character buffer, so a longer text is shown cut.
void ShowSlotError(HWND hOwner, uint8_t slot);

// Shows the range message (string 60601) for the parameter whose name is
// string nNameId, with the bounds nLow and nHigh, owned by the window with the
// focus.
void ShowRangeError(unsigned nNameId, int nLow, int nHigh);
