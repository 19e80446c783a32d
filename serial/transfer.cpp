// Overlapped write, chunked send and read. An operation still pending when
// its wait ends is cancelled and finished before returning, so its OVERLAPPED
// record and buffer never outlive the call.
#include "serial/transfer.h"

#include "driver/slots.h"
#include "serial/port.h"

namespace {
constexpr DWORD kChunkSize = 256;     // largest piece handed to one write
constexpr DWORD kWriteWaitMs = 10000; // wait for a pending write or comm event

OVERLAPPED overlapped_for(const PrinterSlot& s) {
  OVERLAPPED ov{};
  ov.hEvent = s.hEvent;
  return ov;
}

// Cancels the operation still pending on the handle and waits until it has
// finished. Returns GetOverlappedResult's outcome; *n receives what it moved.
// CancelIo (in every Windows the host runs on; CancelIoEx needs Vista)
// cancels what the calling thread started on the handle: every transfer of a
// slot runs on the host's thread and waits for itself, so that is this one.
BOOL cancel_and_finish(HANDLE h, OVERLAPPED* ov, DWORD* n) {
  CancelIo(h);
  return GetOverlappedResult(h, ov, n, TRUE);
}

bool transfer_ready(const PrinterSlot& s) {
  // Not counted below: every transfer follows an open, which made the event.
  return !IsPortClosed(s.hComm) && s.hEvent != nullptr; // GCOVR_EXCL_BR_LINE
}

// Waits until the transmitter reports empty after a chunk. A DSR change is
// not the end of the chunk: the wait goes on within the same 10 s bound, so a
// chunk is only counted as sent when the transmitter emptied. A break, a line
// error or a wait that runs out fails the send.
bool wait_transmitter_empty(PrinterSlot& s) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD mask = 0;
    OVERLAPPED ov = overlapped_for(s);
    if (!WaitCommEvent(s.hComm, &mask, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING)
        return false;
      const DWORD elapsed = GetTickCount() - start;
      WaitForSingleObject(s.hEvent, elapsed < kWriteWaitMs ? kWriteWaitMs - elapsed : 0);
      DWORD unused = 0;
      BOOL done = GetOverlappedResult(s.hComm, &ov, &unused, FALSE);
      if (!done && GetLastError() == ERROR_IO_INCOMPLETE)
        cancel_and_finish(s.hComm, &ov, &unused);
      ResetEvent(s.hEvent);
      if (!done)
        return false;
    }
    if (mask & EV_TXEMPTY)
      return true;
    if (mask & (EV_BREAK | EV_ERR))
      return false;
    if (GetTickCount() - start >= kWriteWaitMs)
      return false;
  }
}
} // namespace

DWORD WriteOverlapped(uint8_t slot, const BYTE* data, DWORD count) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return 0;             // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  if (!transfer_ready(s) || data == nullptr) // GCOVR_EXCL_BR_LINE: the send checked them
    return 0;                                // GCOVR_EXCL_LINE
  OVERLAPPED ov = overlapped_for(s);
  DWORD written = 0;
  if (WriteFile(s.hComm, data, count, &written, &ov))
    return written;
  if (GetLastError() != ERROR_IO_PENDING)
    return 0;
  WaitForSingleObject(s.hEvent, kWriteWaitMs);
  Sleep(g_dwWaitWriteTime);
  BOOL done = GetOverlappedResult(s.hComm, &ov, &written, FALSE);
  if (!done && GetLastError() == ERROR_IO_INCOMPLETE)
    cancel_and_finish(s.hComm, &ov, &written); // still pending after 10 s: a failure
  ResetEvent(s.hEvent);
  return done ? written : 0;
}

int SendSlotBuffer(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return -1;            // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  DWORD remaining = s.dwSendLen;
  if (remaining == 0)
    return 0;
  if (!transfer_ready(s) || s.pSendBuf == nullptr) // GCOVR_EXCL_BR_LINE: the callers set them
    return -1;                                     // GCOVR_EXCL_LINE
  DWORD position = 0;
  while (remaining > 0) {
    const DWORD chunk = remaining > kChunkSize ? kChunkSize : remaining;
    if (!SetTxEventMask(s.hComm))
      return -1;
    // A chunk written short means the write time-out ran out with the printer
    // not taking data; retrying would block the host 5 s per attempt, so the
    // send fails and never reports bytes as sent that were not.
    if (WriteOverlapped(slot, s.pSendBuf + position, chunk) != chunk)
      return -1;
    if (!wait_transmitter_empty(s))
      return -1;
    position += chunk;
    remaining -= chunk;
  }
  return 0;
}

int ReadOverlapped(uint8_t slot, DWORD waitMs) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return -1;            // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  if (!transfer_ready(s) || s.pRecvBuf == nullptr) // GCOVR_EXCL_BR_LINE: the poll sets them
    return -1;                                     // GCOVR_EXCL_LINE
  // GCOVR_EXCL_BR_START: a poll takes 7 bytes or more whole, so fewer are held.
  const DWORD held = s.dwReceived < s.dwRecvSize ? s.dwReceived : s.dwRecvSize;
  // GCOVR_EXCL_BR_STOP
  OVERLAPPED ov = overlapped_for(s);
  DWORD n = 0;
  if (!ReadFile(s.hComm, s.pRecvBuf + held, s.dwRecvSize - held, &n, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING)
      return -1;
    WaitForSingleObject(s.hEvent, waitMs);
    if (!GetOverlappedResult(s.hComm, &ov, &n, FALSE)) {
      if (GetLastError() != ERROR_IO_INCOMPLETE) {
        ResetEvent(s.hEvent);
        return -1;
      }
      // Wine leaves a read on an empty queue pending even though the read
      // time-outs ask for an immediate return, where Windows completes it at
      // once with no bytes. The wait has ended: cancel it and take what it
      // read (usually nothing) as the immediate read's result.
      n = 0;
      if (!cancel_and_finish(s.hComm, &ov, &n) && GetLastError() != ERROR_OPERATION_ABORTED) {
        ResetEvent(s.hEvent);
        return -1;
      }
    }
    ResetEvent(s.hEvent);
  }
  s.dwLastRecvTick = GetTickCount();
  s.dwReceived = held + n;
  return 0;
}
