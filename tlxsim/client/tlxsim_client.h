// Starting and steering the printer simulator (tlxsim) from a Windows program
// under Wine: the Wine tests, the print benchmark and the soak run. It lives
// beside the simulator because it speaks the simulator's control channel. One
// TlxSim runs one simulator process (%TLXSIM%, started through Z:\bin\sh)
// serving one or more printers, each linked to a COM port of the Wine prefix.
// Commands go over its control channel (docs/tlxsim.md); its label PNGs, logs
// and captured bytes land in a temporary folder.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tlxsim/client/files.h"

namespace tlxsim {

// One simulated printer.
struct SimPrinter {
  int com = 3;               // COM port it answers on
  int model = 12;            // dots per millimetre: 12 or 8
  int head_mm = 0;           // print head width; 0: the model's default
  std::string baud = "fast"; // line drain rate: "fast", "line" or bits/s
  int pace_ms = 5;           // time to print one label
  std::string options;       // more port options, ",key=value..." (docs/tlxsim.md)
};

class TlxSim {
public:
  TlxSim() = default;
  ~TlxSim() { stop(); }
  TlxSim(const TlxSim&) = delete;
  TlxSim& operator=(const TlxSim&) = delete;

  // Starts the simulator (every printer capturing what it receives) and
  // waits until it is ready. False, with the reason in *error, if not.
  bool start(const std::vector<SimPrinter>& printers, std::string* error);
  void stop();
  bool running() const { return sock_ != ~UINT_PTR(0); }

  // One control command for the printer on COM `com`; the reply line.
  std::string command(const std::string& line, int com);
  bool ok(const std::string& line, int com) { return command(line, com).rfind("ok", 0) == 0; }
  long long number(const std::string& query, int com); // "labels", "received", ...; -1
  // The printer sends these bytes to the host now ('^' for ESC, '|' for CR).
  bool send(const std::string& bytes, int com);

  // The printer's label `n` (from 1) as a PNG path, and every byte it received
  // since the last "reset".
  std::string label_path(int n, int com) const;
  std::string captured(int com) const;

private:
  bool send_line(const std::string& line);
  bool read_line(std::string* line);

  UINT_PTR sock_ = ~UINT_PTR(0); // control connection (a SOCKET)
  TempDir* dir_ = nullptr;       // the simulator's folder
  std::string pending_;          // bytes received past the last line
};

// Whether this program can open COM `com` and use it: false while someone
// holds it (or when nothing is behind it).
bool PortFree(int com);

// Polls `condition` every 10 ms until it holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

} // namespace tlxsim
