// Overlapped transfer on a slot's open port. Every operation waits for its
// own completion on the calling thread with a bounded wait, using the slot's
// event, so callers see blocking calls.
#pragma once

#include <windows.h>
#include <cstdint>

// One overlapped write of `count` bytes. Returns the bytes written, 0 on failure.
DWORD WriteOverlapped(uint8_t slot, const BYTE* data, DWORD count);

// Sends dwSendLen bytes from pSendBuf in chunks of 256, each followed by a wait
// until the transmitter is empty. 0 when all was sent (or there was nothing),
// -1 on failure.
int SendSlotBuffer(uint8_t slot);

// One overlapped read appending to pRecvBuf, never past dwRecvSize. 0 on
// success (possibly with no bytes; dwLastRecvTick refreshed), -1 on failure.
int ReadOverlapped(uint8_t slot, DWORD waitMs);
