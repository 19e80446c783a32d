// The kit's look at its inputs before it trusts them: the INI file the host
// library names (as given, as Windows resolves it, there and readable) and
// each key the driver reads for a printer, with its raw text. The driver
// reads the serial string by position and takes whatever it finds; the kit
// checks every position and says which one is wrong and what a right string
// for the intended settings looks like.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/serial_string.h"

// The INI file as the host library names it.
struct IniFile {
  std::string given;    // the name as the host library gives it; "" none
  std::string resolved; // the file Windows reads for it
  DWORD error = 0;      // 0: there and readable; else why not (2, 3, 5, ...)
  std::string state;    // "there, readable", "not there (error 2)", ...
  std::string problem;  // "" when labelhost can read it, else what is wrong
};
IniFile CheckIniFile(const char* given);

// One key of the INI file: its section and name, its raw text, and what is
// wrong with it ("" nothing).
struct IniKey {
  std::string section, name;
  bool present = false;
  std::string text;     // as GetPrivateProfileString gives it
  std::string fallback; // what the driver uses without it
  std::string problem;  // "" when it is well formed
};

// The keys the driver reads for `printer` (1..8): VDnn, VDMAXnn,
// ReplyTimeout, WaitWriteTime, VD_DBPrintPos, each checked.
std::vector<IniKey> ReadIniKeys(const std::string& ini, DWORD printer);

// "" when `text` is a serial string the driver reads as meant, else the first
// thing wrong with it, by character (1 = the first).
std::string SerialStringProblem(const std::string& text);

// The settings a malformed string most likely meant: the driver's order
// "1#9600#8#0#0" with any field width, or a mode-style "COM1,57600,8,N,1"
// (port, baud, data bits, parity letter, stop bits). False when it cannot
// be made out as settings a port takes.
bool IntendedSerialSettings(const std::string& text, SerialSettings* out);
