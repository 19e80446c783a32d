// What opening a COM port gives, and what the port keeps: the kit's own look
// at a port, the way the driver opens it ("\\.\COMn", exclusive), for
// labelhost ports, check and loopback.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What an open of the port gave.
enum class PortState {
  Free,       // it opened and answers as a serial port
  Held,       // ERROR_ACCESS_DENIED: another handle holds it, or this user may not open it
  NotPresent, // ERROR_FILE_NOT_FOUND: Windows has no such port
  NoDevice,   // it opened, but GetCommState fails: nothing serial behind the name
  Failed,     // any other error
};

// n of "COMn" (any case, 1..255), 0 for anything else.
int ComNumber(const char* name);

// One look at a port: opened, read and closed again.
struct PortReading {
  int com = 0; // n of COMn
  PortState state = PortState::Failed;
  DWORD error = 0;        // the failing call's GetLastError()
  DCB dcb{};              // Free: the port's settings as it has them
  DWORD modemStatus = 0;  // Free: GetCommModemStatus after the open
  bool modemRead = false; // Free: GetCommModemStatus succeeded
};

// Opens COMn as the driver does (read and write, not shared), reads its
// settings and modem lines, and closes it; or, with `keep` and a free port,
// leaves it open in *keep for the caller to close.
PortReading ReadPort(int com, HANDLE* keep = nullptr);

// "free", "in use by another program, or access denied (error 5)", ...
std::string PortStateText(const PortReading& r);

// The members the driver keeps from the port: "CTS flow off, DSR flow off, ..."
std::string KeptFlagsText(const DCB& dcb);

// What a free port's modem lines say is behind it: "CTS on, DSR on: something
// powered holds them on (...)" or "CTS off, DSR off: nothing powered ...".
std::string BehindPortText(const PortReading& r);

// "CTS on, DSR on, RLSD off, RI off"
std::string ModemLinesText(DWORD modemStatus);

// One line for each flow control of the port that waits for a line that is
// low (CTS or DSR flow control, DSR sensitivity), with what to do about it.
std::vector<std::string> FlowWarnings(int com, const DCB& dcb, DWORD modemStatus);

// What to look at when the driver could not open the port (error 60800).
std::string PortHint(const PortReading& r);
