// Port setup and teardown. Every failure after CreateFileA closes the new
// handle, so no half-configured port stays open.
#include "serial/port.h"

#include <cstdio>

#include "driver/slots.h"

namespace {
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kTxEventMask = EV_TXEMPTY | EV_DSR | EV_BREAK | EV_ERR;

void drop_kept_bitmap(PrinterSlot& s) {
  if (s.hBitmap != nullptr) {
    DeleteObject(s.hBitmap);
    s.hBitmap = nullptr;
  }
}

HANDLE fail_open(HANDLE h) {
  CloseHandle(h);
  return INVALID_HANDLE_VALUE;
}
} // namespace

HANDLE OpenCommPort(uint8_t slot) {
  if (slot >= kSlotCount)        // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return INVALID_HANDLE_VALUE; // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  // The first label after any open has no predecessor to compare with.
  drop_kept_bitmap(s);

  char name[20];
  snprintf(name, sizeof(name), "\\\\.\\COM%d", static_cast<int>(s.nComPort));
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return INVALID_HANDLE_VALUE;

  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  if (!GetCommState(h, &dcb))
    return fail_open(h);
  // Only these members carry the printer's settings; flow control, the
  // DTR/RTS control modes and the special characters stay as the port had them.
  dcb.BaudRate = s.dcb.BaudRate;
  dcb.XonLim = s.dcb.XonLim;
  dcb.XoffLim = s.dcb.XoffLim;
  dcb.ByteSize = s.dcb.ByteSize;
  dcb.Parity = s.dcb.Parity;
  dcb.StopBits = s.dcb.StopBits;
  dcb.EofChar = s.dcb.EofChar;

  COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = s.timeouts.ReadIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = s.timeouts.ReadTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = s.timeouts.ReadTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = s.timeouts.WriteTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = s.timeouts.WriteTotalTimeoutConstant;

  if (!SetCommState(h, &dcb) || !SetCommTimeouts(h, &timeouts))
    return fail_open(h);
  if (!SetupComm(h, s.dwInQueue, s.dwOutQueue))
    return fail_open(h);
  PurgeComm(h, kPurgeAll);

  if (s.hEvent != nullptr) // GCOVR_EXCL_BR_LINE: each close closes the event too
    ResetEvent(s.hEvent);  // GCOVR_EXCL_LINE
  else
    s.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return h;
}

void CloseCommPort(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  drop_kept_bitmap(s);
  if (!IsPortClosed(s.hComm)) {
    PurgeComm(s.hComm, kPurgeAll);
    CloseHandle(s.hComm);
  }
  s.hComm = INVALID_HANDLE_VALUE;
  if (s.hEvent != nullptr) {
    CloseHandle(s.hEvent);
    s.hEvent = nullptr;
  }
}

int SetTxEventMask(HANDLE hComm) {
  return SetCommMask(hComm, kTxEventMask) ? 1 : 0;
}

int RaiseModemLines(HANDLE hComm) {
  if (!EscapeCommFunction(hComm, SETDTR))
    return 0;
  return EscapeCommFunction(hComm, SETRTS) ? 1 : 0;
}
