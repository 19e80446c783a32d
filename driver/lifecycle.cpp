// A printer's frame as the host drives it: load its settings before the first
// job, close its port at the end, and fetch the last failure with its text.
#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/slots.h"
#include "host/zovav.h"
#include "serial/port.h"
#include "settings/store.h"

LONG WINAPI KtPrInitPrinter(DWORD printerNumber, DWORD) {
  uint8_t slot;
  if (!SlotFromPrinterNumber(printerNumber, &slot))
    return -1; // no slot to load; nothing is touched
  // Cleared before the load, so a successful initialisation leaves no stale error.
  g_slots[slot].nErrorCode = kErrNone;
  if (LoadPrinterSettings(slot)) // GCOVR_EXCL_BR_LINE: the load always succeeds
    return 0;
  g_slots[slot].nErrorCode = kErrInitFailed; // GCOVR_EXCL_LINE
  return -1;                                 // GCOVR_EXCL_LINE
}

DWORD WINAPI KtPrClosePrinter(DWORD slotIndex) {
  uint8_t slot;
  if (!SlotFromIndex(slotIndex, &slot))
    return 1; // no such slot, so no port to close
  CloseCommPort(slot);
  OutputDebugStringEx("ClosePrinter-CloseCom");
  return 1;
}

DWORD WINAPI KtPrGetPrintError(DWORD printerNumber, char* pszBuf, DWORD nBufChars) {
  const int bufChars = nBufChars > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(nBufChars);
  uint8_t slot;
  if (!SlotFromPrinterNumber(printerNumber, &slot)) {
    if (pszBuf != nullptr && bufChars > 0)
      pszBuf[0] = '\0';
    return kErrNone;
  }
  const DWORD code = g_slots[slot].nErrorCode;
  if (pszBuf != nullptr && bufChars > 0)
    LoadDriverString(code, pszBuf, bufChars);
  OutputDebugStringEx("GetPrintError--%d", static_cast<int>(code));
  if (code != kErrNone) {
    CloseCommPort(slot);
    OutputDebugStringEx("GetPrintError-CloseCom");
  }
  return code;
}
