// Opening, configuring and closing a slot's serial port, and the two line
// operations the transfer and the print job use.
#pragma once

#include <windows.h>
#include <cstdint>

// Opens "\\.\COMn" for the slot, exclusive and overlapped, applies the slot's
// serial parameters, time-outs and queue sizes, purges it and makes the
// slot's event ready. Returns the handle, or INVALID_HANDLE_VALUE; the caller
// stores the result in hComm. Drops the slot's kept label bitmap first.
HANDLE OpenCommPort(uint8_t slot);

// Drops the kept bitmap, purges and closes the port (hComm becomes
// INVALID_HANDLE_VALUE) and closes the event (hEvent becomes 0).
void CloseCommPort(uint8_t slot);

// Arms the comm events that end a chunk's wait: transmitter empty, DSR
// change, break and line error. 1 on success, 0 on failure.
int SetTxEventMask(HANDLE hComm);

// Raises DTR, then RTS. 1 on success, 0 when either fails.
int RaiseModemLines(HANDLE hComm);
