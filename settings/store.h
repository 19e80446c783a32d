// The settings store: each printer's serial parameters and maximum print
// width, kept in the host's INI file and loaded on top of built-in defaults.
#pragma once

#include <windows.h>
#include <cstdint>

// Puts the built-in defaults into the slot (serial parameters, time-outs,
// queue sizes, maximum width, cleared error code) and "0000" into the image
// position fields of its label-format block.
void SetDefaultPrinterSettings(uint8_t slot);

// Applies the defaults, then what the INI file holds for the slot. Always 1.
int LoadPrinterSettings(uint8_t slot);

// Writes the slot's serial settings string and maximum width to the INI file.
void SavePrinterSettings(uint8_t slot);

// The pause after a pending serial write, from the INI file (default 5 ms).
DWORD LoadWaitWriteTime();

// The reply time-out of a running job, from the INI file (default 30 s).
DWORD LoadReplyTimeout();

// The host's INI file path, asked afresh; null when the host gives none.
const char* HostIniPath();
