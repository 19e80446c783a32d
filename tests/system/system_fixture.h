// The host side of the fault and bad-input programs: three simulated printers
// on their own ports (printer 1 = slot 0 and printer 8 = slot 7 at 12 dots/mm,
// printer 2 = slot 1 at 8 dots/mm), a private INI file naming them, and the
// steps the host takes around a label: ready, start, poll to the end, fetch
// the error. A test leaves the printers as it found them: SetUp puts every
// simulated printer back to a healthy state and loads the three slots again.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/host_environment.h"
#include "support/host_job.h"
#include "support/tlxsim_client.h"
#include "tests/driver/driver_dll.h"
#include "support/label_maker.h"

namespace veldrin_test {

// One printer of the system tests.
struct SystemPrinter {
  DWORD number;   // printer number the host uses
  int com;        // COM port of its simulated printer
  int dotsPerMm;  // 12 or 8
  int maxWidthMm; // VDMAXnn in the INI file
  WORD typeCode() const { return dotsPerMm == 12 ? 261 : 264; }
  DWORD slot() const { return number - 1; }
};

inline constexpr SystemPrinter kFirst{1, 9, 12, 56};
inline constexpr SystemPrinter kSecond{2, 10, 8, 112};
inline constexpr SystemPrinter kLast{8, 11, 12, 106};
inline constexpr SystemPrinter kPrinters[] = {kFirst, kSecond, kLast};

// The label every test prints: 20 x 10 mm, so it goes over the line quickly.
inline constexpr WORD kLabelWidth = 200;  // 0.1 mm
inline constexpr WORD kLabelLength = 100; // 0.1 mm

// Public, so that the steps of a table (plain functions) can use it.
// Some first uses in a process open handles that stay for the process's
// life: the first debug line (OutputDebugStringA keeps the "DBWinMutex" and
// its object directory open), the first profile read (Wine keeps the
// IniFileMapping registry key), GoogleTest's first SCOPED_TRACE on a thread
// (a watcher holds a handle to the thread), the first label converted and
// the first picture read through WIC. This does each once, so that counting
// handles afterwards sees only what an operation leaves behind: the driver
// writes a debug line and converts a label in file mode (no port), and a
// snapshot of the printer on `com` is read as a PNG.
void WarmUpProcess(TlxSim& sim, int com);

class SystemTest : public ::testing::Test {
public:
  static void SetUpTestSuite() { StartSimulator({}); }
  static void TearDownTestSuite();
  // Starts the simulator with the three printers and `more` on further ports.
  static void StartSimulator(const std::vector<SimPrinter>& more);
  void SetUp() override;
  void TearDown() override;

  static const DriverApi& api() { return Driver(); }
  static TlxSim& sim() { return *sim_; }

  // The INI text of the three printers (and `more` lines in the same section).
  static std::string ini_text(const std::string& more = "");

  // True when the driver (or anyone) holds the printer's port: the test
  // cannot open it and read its settings.
  static bool port_held(int com);

  // The test label of a printer, with a counter.
  static TestLabel label_for(const SystemPrinter& p, int counter);

  // Polls until the answer is something other than "no complete reply yet"
  // (or the time runs out, giving 2).
  LONG poll_until_answer(DWORD printer, LONG* remaining, DWORD timeoutMs = 10000);
  // Polls until the job is finished; false on an error or time-out.
  bool finish(DWORD printer);
  // Prints one label (KtPrStartPrint or KtPrPrintOneLabel); the print export's result.
  SHORT print(const SystemPrinter& p, const TestLabel& label, HostJob& job, bool start);
  // The printed label `number` of printer p holds `label` at its centring offset.
  void expect_printed(const SystemPrinter& p, int number, const TestLabel& label);
  // The printed label `number` of the printer on `com` holds `label` at `offset` dots.
  void expect_printed_at(int com, int number, const TestLabel& label, int offset);
  // The error code of a printer and its message.
  std::string error_text(DWORD printer, DWORD* code);
  // Every byte the simulated printer received since its last reset.
  std::string captured(int com);
  // Waits until the printer has no label left to print, then restarts its counters.
  void reset_printer(int com);

  HostEnvironment host_;
  static TlxSim* sim_;
  static std::vector<int> coms_; // every simulated port, the three printers' first
};

} // namespace veldrin_test
