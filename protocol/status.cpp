// Readiness, stop, and job monitoring exports.
//
// Reply time-out: a printer that stops answering in the middle of a job must
// not leave the host polling for ever. Each slot keeps a watch, armed when a
// job's last command has been sent and restarted whenever bytes arrive; a
// poll that finds no complete reply once the watch has run longer than the
// time-out (INI "VELDRIN Info" / "ReplyTimeout", ms, default 30 s, 0 = none)
// fails with 60816. The watch ends with the job's final reply (no labels
// left, or an error) and with the stop command. Reads that come back empty
// do not count as an answer: with the port's read time-outs they return at
// once whether or not the printer is alive.
#include "protocol/status.h"

#include <cstring>

#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/slots.h"
#include "host/zovav.h"
#include "protocol/builders.h"
#include "protocol/reply.h"
#include "serial/port.h"
#include "serial/transfer.h"
#include "settings/store.h"

namespace {
constexpr DWORD kStatusReadWaitMs = 300; // wait for one status read
constexpr int kMaxWaitPolls = 50;        // polls of KtPrWaitPrintFinished
constexpr DWORD kStopBufferSize = 1024;

struct ReplyWatch {
  bool bArmed;       // a job is waiting for its final reply
  DWORD dwSinceTick; // job end, or the last time bytes arrived
};
ReplyWatch g_replyWatch[kSlotCount];

// Opens the slot's port when none is open; false when it cannot be opened.
bool ensure_port_open(uint8_t slot) {
  PrinterSlot& s = g_slots[slot];
  if (!IsPortClosed(s.hComm))
    return true;
  s.hComm = OpenCommPort(slot);
  return !IsPortClosed(s.hComm);
}

// The result of a poll that found no complete reply: 2 (keep polling), or -1
// with 60816 when the printer has been silent past the time-out.
LONG no_reply_yet(uint8_t slot) {
  ReplyWatch& w = g_replyWatch[slot];
  if (!w.bArmed)
    return 2;
  const DWORD limit = LoadReplyTimeout();
  if (limit == 0 || GetTickCount() - w.dwSinceTick < limit)
    return 2;
  w.bArmed = false;
  g_slots[slot].nErrorCode = kErrReplyTimeout;
  g_slots[slot].dwReceived = 0;
  return -1;
}
} // namespace

void ArmReplyWatch(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  g_replyWatch[slot].bArmed = true;
  g_replyWatch[slot].dwSinceTick = GetTickCount();
}

int ParsePrinterReply(uint8_t slot) {
  // Not counted below: the poll has checked the slot and set the buffer.
  if (slot >= kSlotCount || g_slots[slot].pRecvBuf == nullptr) // GCOVR_EXCL_BR_LINE
    return -1;                                                 // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  const DWORD received = s.dwReceived < kRecvBufferSize ? s.dwReceived : kRecvBufferSize;
  uint32_t code = s.nErrorCode;
  const ReplyScan scan = ScanReply(s.pRecvBuf, received, s.achRemaining, &code);
  if (scan == kReplyIncomplete)
    return -2;
  if (scan == kReplyUnusable)
    return -1;
  // The received bytes as text, up to their first zero byte.
  char text[kRecvBufferSize + 1] = {};
  memcpy(text, s.pRecvBuf, received);
  OutputDebugStringEx("Received Data:----%s\r\n", text);
  s.nErrorCode = code;
  return code == kErrNone ? 0 : -1;
}

DWORD WINAPI KtPrIsPrintReady(DWORD slotIndex, DWORD) {
  uint8_t slot;
  if (!SlotFromIndex(slotIndex, &slot))
    return 0;
  PrinterSlot& s = g_slots[slot];
  s.nErrorCode = kErrNone;
  g_dwWaitWriteTime = LoadWaitWriteTime();
  const bool openedHere = IsPortClosed(s.hComm);
  if (!ensure_port_open(slot)) {
    s.nErrorCode = kErrCommOpen;
    return 0;
  }
  // A failing call leaves the status at 0, which reads as every line off.
  DWORD status = 0;
  GetCommModemStatus(s.hComm, &status);
  if (status & MS_DSR_ON) {
    if (!openedHere)
      return 1;
    // A fresh connection: the printer gets the stop command, and the port is
    // closed again by it.
    return KtPrStopPrint(slot + 1u) != 0 ? 1 : 0;
  }
  s.nErrorCode = kErrNotReady;
  return 0;
}

DWORD WINAPI KtPrStopPrint(DWORD printerNumber) {
  const uint8_t slot = SlotOrFirst(printerNumber);
  PrinterSlot& s = g_slots[slot];
  BYTE buffer[kStopBufferSize] = {};
  s.pSendBuf = buffer;
  s.nErrorCode = kErrNone;
  DWORD result = 0;
  if (!ensure_port_open(slot)) {
    s.nErrorCode = kErrCommOpen;
  } else if (!BuildStopCommand(slot)) { // GCOVR_EXCL_BR_LINE: it has the buffer
    s.nErrorCode = kErrStopFailed;      // GCOVR_EXCL_LINE
  } else if (SendSlotBuffer(slot) != 0) {
    s.nErrorCode = kErrTransmit;
  } else {
    g_replyWatch[slot].bArmed = false; // nothing more to wait for
    CloseCommPort(slot);
    result = 1;
  }
  s.pSendBuf = nullptr; // the buffer ends with this call
  return result;
}

DWORD WINAPI KtPrFeedLabel(DWORD printerNumber, DWORD) {
  return KtPrStopPrint(printerNumber);
}

LONG WINAPI KtPrIsPrintFinished(DWORD printerNumber, LONG* pRemaining, DWORD, DWORD) {
  const uint8_t slot = SlotOrFirst(printerNumber);
  PrinterSlot& s = g_slots[slot];
  s.pRecvBuf = g_recvBuffers[slot];
  s.dwRecvSize = kRecvBufferSize;
  if (!ensure_port_open(slot))
    return 1; // reported as finished; there is nothing to follow

  const DWORD before = s.dwReceived;
  if (ReadOverlapped(slot, kStatusReadWaitMs) != 0)
    return no_reply_yet(slot);
  if (s.dwReceived != before)
    g_replyWatch[slot].dwSinceTick = GetTickCount();
  if (s.dwReceived < 3)
    return no_reply_yet(slot);
  const int reply = ParsePrinterReply(slot);
  if (reply == -2)
    return no_reply_yet(slot);
  s.dwReceived = 0;
  if (reply != 0) {
    g_replyWatch[slot].bArmed = false;
    return -1;
  }
  const LONG remaining = RemainingCountValue(s.achRemaining);
  if (pRemaining != nullptr)
    *pRemaining = remaining;
  if (remaining == 0)
    g_replyWatch[slot].bArmed = false;
  return remaining == 0 ? 1 : 0;
}

DWORD WINAPI KtPrWaitPrintFinished(DWORD printerNumber, DWORD passedOn) {
  for (int polls = 0; polls < kMaxWaitPolls; ++polls) {
    LONG remaining = 0;
    const LONG result = KtPrIsPrintFinished(printerNumber, &remaining, passedOn, 0);
    if (result == 1)
      return 1;
    if (result == -1)
      return 0;
  }
  return 0;
}
