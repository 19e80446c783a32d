// Starting and steering the printer simulator (tlxsim) from a Windows test program under Wine.
//
// A TlxSim runs one simulator process (the Unix program named by %TLXSIM%, started through
// Z:\bin\sh) serving one or more printers, each on a COM port: the simulator links the prefix's
// comN (serial-ports/comN where tools/wine-run pins the ports, else dosdevices/comN) to its
// pseudo-terminal, so \\.\COMn opens the printer.
// Commands go over the simulator's control channel (docs/tlxsim.md lists them); the printers'
// label PNGs and logs land in a temporary folder that is removed at stop(). The simulator exits
// by itself when the test program goes away.
//
//   veldrin_test::TlxSim sim;
//   ASSERT_TRUE(sim.start({.com = 5, .pace_ms = 10}, &error)) << error;
//   ... print through \\.\COM5 ...
//   ASSERT_TRUE(sim.wait_labels(2, 5000));
//   veldrin_test::Pixels label;
//   ASSERT_TRUE(veldrin_test::read_png(sim.label_path(1), &label));
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace veldrin_test {

// One simulated printer.
struct SimPrinter {
  int com = 3;               // COM port number it answers on (1..256)
  int model = 12;            // dots per millimetre: 12 or 8
  int head_mm = 0;           // print head width; 0 = the model's default (106 or 112 mm)
  std::string baud = "fast"; // line drain rate: "fast", "line" (as the port is set) or bits/s
  int pace_ms = 0;           // time to print one label (replies come one per label at this pace)
  std::string options;       // more port options, "key=value,key=value" (docs/tlxsim.md)
};

class TlxSim {
public:
  TlxSim() = default;
  ~TlxSim() { stop(); }
  TlxSim(const TlxSim&) = delete;
  TlxSim& operator=(const TlxSim&) = delete;

  // Starts the simulator and waits until its printers are ready (at most 30 s). False, with the
  // reason in *error, if it could not be started.
  bool start(const std::vector<SimPrinter>& printers, std::string* error = nullptr);
  bool start(const SimPrinter& printer, std::string* error = nullptr) {
    return start(std::vector<SimPrinter>{printer}, error);
  }
  // Makes the simulator quit, waits until its COM links are gone, removes its folder. Idempotent.
  void stop();
  bool running() const { return sock_ != INVALID_SOCKET_VALUE; }

  // One control command for the printer on COM `com` (0: the first printer); the reply line,
  // "ok ..." or "err ...". A broken channel gives "err channel: ...".
  std::string command(const std::string& line, int com = 0);
  bool ok(const std::string& line, int com = 0) { return command(line, com).rfind("ok", 0) == 0; }
  // The number a query answers ("labels", "received", "pending"), or -1.
  long long number(const std::string& query, int com = 0);
  // One key of the `status` or `settings` reply ("dsr", "dtr", "baud", "parity", ...); "" if
  // absent.
  std::string status(const std::string& key, int com = 0);
  std::string settings(const std::string& key, int com = 0);
  // Log lines from index `from` on (see docs/tlxsim.md for their form).
  std::vector<std::string> log(size_t from = 0, int com = 0);

  // Waits (polling every 10 ms) until at least `n` labels were printed.
  bool wait_labels(long long n, DWORD timeout_ms, int com = 0);
  // Waits until a log line from index `from` on starts with `prefix`; its index, or -1.
  long long wait_log(const std::string& prefix, DWORD timeout_ms, int com = 0, size_t from = 0);

  // Windows paths of the simulator's folder, of a printer's output folder (label PNGs and
  // tlxsim.log) and of its label `number` (label-0001.png, ...).
  const std::string& work_dir() const { return work_dir_; }
  std::string out_dir(int com = 0) const;
  std::string label_path(int number, int com = 0) const;

private:
  static constexpr UINT_PTR INVALID_SOCKET_VALUE = ~UINT_PTR(0);

  bool fail(std::string* error, const std::string& message);
  std::string prefix_for(int com) const;
  bool send_line(const std::string& line);
  bool read_line(std::string* line);

  UINT_PTR sock_ = INVALID_SOCKET_VALUE; // control connection (a SOCKET)
  std::string work_dir_;                 // Windows path of the simulator's folder
  std::vector<int> coms_;                // COM numbers of the printers, in order
  std::string pid_;                      // Unix process id of the simulator
  std::string pending_;                  // bytes received past the last line
};

// Whether nobody holds COM `com`: this program can open it and read its line
// settings (a pinned port with nothing behind it opens, but cannot be used).
bool ComPortIsFree(int com);

// Polls `condition` every 10 ms until it holds or `timeout_ms` passes.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms);

} // namespace veldrin_test
