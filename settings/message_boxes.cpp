// The driver's own message boxes. Texts come from the string table through the
// host library into fixed buffers; the loader cuts a longer text to fit, so
// the long message 60808 shows its first 127 characters.
#include "settings/message_boxes.h"

#include "driver/errors.h"
#include "driver/slots.h"

#include <shlwapi.h>

namespace {
constexpr int kTitleChars = 200;   // title, and the range format before it
constexpr int kMessageChars = 128; // error message, parameter name
constexpr int kRangeChars = 256;   // the filled range message

void show_alert(HWND hOwner, const char* message, const char* title) {
  MessageBeep(MB_ICONHAND);
  MessageBoxA(hOwner, message, title, MB_OK | MB_ICONEXCLAMATION);
}
} // namespace

void ShowSlotError(HWND hOwner, uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  char title[kTitleChars];
  char message[kMessageChars];
  LoadDriverString(kStrAlertTitle, title, sizeof(title));
  LoadDriverString(g_slots[slot].nErrorCode, message, sizeof(message));
  // Cleared before the box: the code has been reported once it is shown.
  g_slots[slot].nErrorCode = kErrNone;
  show_alert(hOwner != nullptr ? hOwner : GetFocus(), message, title);
}

void ShowRangeError(unsigned nNameId, int nLow, int nHigh) {
  char name[kMessageChars];
  char format[kTitleChars];
  char message[kRangeChars];
  LoadDriverString(nNameId, name, sizeof(name));
  LoadDriverString(kStrRangeFormat, format, sizeof(format));
  // wsprintf with the buffer's size: the driver's own format and names fit
  // with room to spare, and a longer text from another string table is cut
  // rather than written past the buffer.
  wnsprintfA(message, sizeof(message), format, name, nLow, nHigh);
  LoadDriverString(kStrAlertTitle, format, sizeof(format));
  show_alert(GetFocus(), message, format);
}
