// A printer's keys in the host's INI file as labelhost reads them: with the
// driver's own serial-string parser over the driver's defaults, so what it
// shows is what the driver loads from the same file. The driver itself
// reports no settings through its exports.
#pragma once

#include <windows.h>

#include <string>

#include "settings/serial_string.h"

struct PrinterIni {
  std::string iniPath;   // the file the host library names; "" when none
  SerialSettings serial; // the driver's defaults where the file has no usable string
  bool serialFromIni;    // the serial string came from the file
  UINT maxWidthMm;       // VDMAXnn, or the driver's default
};

PrinterIni ReadPrinterIni(DWORD printer);

// "COM1, 57600 baud, 8 data bits, 1 stop bit, parity none"
std::string LineSettingsText(const SerialSettings& s);
// "COM1,57600,8,N,1", as labelhost init --serial takes it
std::string ModeText(const SerialSettings& s);
// "COM1 57600 8-N-1", short enough for a label
std::string LineSettingsShort(const SerialSettings& s);
