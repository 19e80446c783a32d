// The host's side of the Wine tests: the released VELDRIN.dll with its imports
// watched, eight simulated printers, a private INI file and the host's steps
// around a label. Every test starts with healthy printers, every slot loaded
// again with no label format and an empty call log (docs/testing.md).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "labelhost/driver_api.h"
#include "support/hooks.h"
#include "support/host.h"
#include "support/labels.h"
#include "tlxsim/client/tlxsim_client.h"

namespace veldrin_test {

// One printer of the tests: printer n on COMn, with the head as wide as its
// INI maximum print width, and where a 20.0 mm label lands on that head.
struct Printer {
  DWORD number; // printer number 1..8 (the slot is number - 1)
  int dots;     // dots per millimetre: 12 or 8
  int headMm;   // VDMAXnn and the simulated head's width
  int offset20; // centring offset in dots of a label 200 tenths of a mm wide
  int com() const { return static_cast<int>(number); }
  DWORD slot() const { return number - 1; }
  WORD type() const { return dots == 12 ? 261 : 264; }
};
inline constexpr Printer kPrinters[8] = {
    {1, 12, 56, 216}, {2, 8, 112, 368}, {3, 12, 106, 516}, {4, 8, 56, 144},
    {5, 12, 53, 198}, {6, 8, 106, 344}, {7, 12, 112, 552}, {8, 8, 53, 132},
};
inline constexpr const Printer& kTwelve = kPrinters[0]; // printer 1
inline constexpr const Printer& kEight = kPrinters[1];  // printer 2

// Command bytes in the tests' one notation: '^' for ESC, '|' for CR.
inline const std::string kStop = "^Z1|^S|";
inline const std::string kClear = "^Z1|";
std::string Printable(std::string bytes); // bytes as the notation
std::string Hex(const void* bytes, size_t n);

// Makes call `nth` of `fn` from now on fail: it does nothing, sets ERROR_GEN_FAILURE and
// returns 0 (FALSE, null); the others go through. A row says `.failing = Fails<kSetupComm>`.
template <Hooked fn, int nth = 1> void Fails() {
  Replace<fn>([n = 0](auto... a) mutable {
    if (++n == nth)
      return SetLastError(ERROR_GEN_FAILURE), decltype(Real<fn>()(a...))();
    return Real<fn>()(a...);
  });
}
// Makes every WriteFile of bytes that start with `prefix` (the notation) fail.
void FailWrite(const std::string& prefix);

// Runs the archive's release\bringup\labelhost.exe with `args` (directly: a
// shell costs a second more where Wine runs emulated) while this program holds
// COM `holdCom` (0: none); its exit status, its output after a newline in *output.
int RunLabelhost(const std::string& args, std::string* output, int holdCom = 0);
// The lines of `text` that start with `key`, each without it and cut at the
// first of `stop`, joined by " | ".
std::string LinesOf(const std::string& text, const std::string& key, const char* stop = "\r\n");

// The driver's string table by id: messages, model names, dialog texts.
extern const std::map<UINT, std::string> kMessages;

class Wine : public ::testing::Test {
public:
  void SetUp() override;
  void TearDown() override;

  static const DriverApi& api();
  static TlxSim& sim();
  static std::string ini_text(const std::string& more = ""); // all eight printers

  // A label of 20 x 10 mm for the printer's model, with a counter.
  static Picture label(const Printer& p, int counter = 1);
  // The label through KtPrStartPrint (start) or KtPrPrintOneLabel; the result.
  SHORT print(const Printer& p, const Picture& label, HostJob& job, bool start, int bpp = 24);
  // A wait's bound: `ms`, or half a second once the test has failed.
  static DWORD bounded(DWORD ms);
  // Polls until an answer other than 2 (no complete reply yet) or the time runs out.
  LONG poll(const Printer& p, LONG* remaining = nullptr, DWORD timeoutMs = 5000);
  // "" when the printer's label n is `label` at its centring offset.
  std::string printed(const Printer& p, int n, const Picture& label);
  // What the printer received since its reset, in the notation.
  std::string received(const Printer& p);
  // Drops the replacements a test made; the pause before a comparison is
  // still logged and not waited for.
  void restore();
  // Makes the printer healthy again, waits until it has nothing left to
  // print, then resets its counters.
  void reset(const Printer& p);

  HostFiles host_;
};

// The areas of the driver, a test suite each, so that a failing test says which part it is about.
struct Exports : Wine {};  // capabilities, control requests, strings, init and close
struct Serial : Wine {};   // opening ports, sends, the write pause
struct Replies : Wine {};  // readiness, stop, polls and the printer's replies
struct PrintJob : Wine {}; // labels complete and incremental, file mode, failures
struct Settings : Wine {}; // the INI file and the print position file
struct Dialog : Wine {};   // the settings dialog, the host-dialog callback, the resource
struct System : Wine {};   // faults and the way back, bad numbers, eight printers
struct Kit : Wine {};      // the release files and labelhost check

} // namespace veldrin_test
