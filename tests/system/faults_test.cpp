// Faults end to end, through the real DLL against simulated printers. Each
// row of a table brings one fault about, lets the host do what it does at
// that moment, and checks the result, the error code and message the host
// then fetches, and whether the port is still held; then the fault is taken
// away and the host's usual way back (KtPrGetPrintError, KtPrInitPrinter,
// KtPrIsPrintReady, KtPrStartPrint) prints the next label dot for dot.
// Around every row the process's handles and every GDI object and global
// block VELDRIN.dll makes are counted: after the recovery only the bitmap an
// incremental job keeps for its open port is left, and closing the printer
// releases that too.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/gdi_hooks.h"
#include "support/ledger_checks.h"
#include "support/png_image.h"
#include "support/process_counts.h"
#include "support/test_files.h"
#include "tests/system/system_fixture.h"

namespace {
using veldrin_test::HostJob;
using veldrin_test::kFirst;
using veldrin_test::kLabelLength;
using veldrin_test::kLabelWidth;

const char kCommError[] = "The RS-232 communication error occurred.";
const char kNotReady[] = "The state of the printer cannot be printed.";
const char kTransmitError[] =
    "The error occurred when the command or data was transmitted to the printer.";
const char kTimeOut[] = "The residual number of sheets data was not able to be received, and "
                        "the print duty became a time-out.";

// What the printer's port looks like to another program right after the
// failure, before the host fetches the error.
enum class PortAfter {
  kHeld,  // still open (by the driver, or by the test's own handle)
  kFree,  // closed
  kBroken // the line is cut, so nobody can tell
};

class Faults : public veldrin_test::SystemTest {
public:
  void TearDown() override {
    if (held_ != INVALID_HANDLE_VALUE)
      CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
    SystemTest::TearDown();
  }

  // The INI file with a short reply time-out, loaded into printer 1's slot.
  void short_reply_timeout() {
    ASSERT_TRUE(host_.write_ini(ini_text("ReplyTimeout=1500\r\n")));
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
  }
  // Printer 1 on a port nothing answers on.
  void missing_port() {
    ASSERT_TRUE(host_.write_ini("[VELDRIN Info]\r\n" + veldrin_test::HostEnvironment::printer_keys(
                                                           kFirst.number, 40, 57600, 56)));
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
  }
  void restore_ini() { ASSERT_TRUE(host_.write_ini(ini_text())); }
  // Another program opens printer 1's port first.
  void hold_port() {
    char name[32];
    snprintf(name, sizeof(name), "\\\\.\\COM%d", kFirst.com);
    held_ = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held_);
  }
  void release_port() {
    CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
  }
  SHORT start_label(int counter = 1) {
    return print(kFirst, label_for(kFirst, counter), job_, true);
  }
  SHORT print_one_label(int counter = 1) {
    return print(kFirst, label_for(kFirst, counter), job_, false);
  }
  // A label starts on a slow line (19200 bits/s: the label takes about 4 s),
  // and `command` reaches the printer while the driver is still sending; the
  // start's result.
  SHORT start_label_during(const char* command) {
    EXPECT_TRUE(sim().ok("rate 19200", kFirst.com));
    SHORT result = 0;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread host([&] {
      result = start_label();
      SetEvent(done);
    });
    // The driver is on this label for seconds at this rate.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(done, 600));
    EXPECT_TRUE(sim().ok(command, kFirst.com));
    host.join();
    CloseHandle(done);
    EXPECT_TRUE(sim().ok("rate fast", kFirst.com));
    return result;
  }
  // A label goes out; the answer to the polls that follow.
  LONG start_and_poll() {
    EXPECT_EQ(0, start_label());
    LONG remaining = -7;
    const LONG result = poll_until_answer(kFirst.number, &remaining, 20000);
    EXPECT_EQ(-7, remaining) << "the count is written only for a count reply";
    return result;
  }

  HANDLE held_ = INVALID_HANDLE_VALUE; // the other program's handle on the port
  HostJob job_{kFirst.typeCode(), kLabelWidth, kLabelLength};
};

// One fault, as the host meets it.
struct LineFault {
  const char* name;
  void (*inject)(Faults&); // brings the fault about
  LONG (*act)(Faults&);    // what the host does then; its result
  LONG result;             // expected result
  DWORD code;              // KtPrGetPrintError afterwards
  const char* message;     // and its text
  PortAfter port;          // the port before the error is fetched
  void (*fix)(Faults&);    // takes the fault away
};

void no_fault(Faults&) {}

void error_letter(Faults& t, const char* letter) {
  ASSERT_TRUE(t.sim().ok(std::string("error ") + letter, kFirst.com));
}

const LineFault kLineFaults[] = {
    {"line cut in the middle of a label",
     [](Faults& t) { ASSERT_TRUE(t.sim().ok("close after 500", kFirst.com)); },
     [](Faults& t) -> LONG { return t.start_label(); }, -1, 60809, kTransmitError,
     PortAfter::kBroken, [](Faults& t) { ASSERT_TRUE(t.sim().ok("reopen", kFirst.com)); }},
    {"line cut at the stop command",
     [](Faults& t) { ASSERT_TRUE(t.sim().ok("close after 3", kFirst.com)); },
     [](Faults& t) -> LONG { return t.start_label(); }, -1, 60809, kTransmitError,
     PortAfter::kBroken, [](Faults& t) { ASSERT_TRUE(t.sim().ok("reopen", kFirst.com)); }},
    {"line cut between labels",
     [](Faults& t) {
       ASSERT_EQ(0, t.start_label());
       ASSERT_TRUE(t.finish(kFirst.number));
       ASSERT_TRUE(t.sim().ok("close", kFirst.com));
     },
     [](Faults& t) -> LONG { return t.api().IsPrintReady(kFirst.slot(), 0); }, 0, 60806, kNotReady,
     PortAfter::kBroken, [](Faults& t) { ASSERT_TRUE(t.sim().ok("reopen", kFirst.com)); }},
    {"a framing error on the line while a label is sent", no_fault,
     [](Faults& t) -> LONG { return t.start_label_during("fault frame"); }, -1, 60809,
     kTransmitError, PortAfter::kHeld, no_fault},
    {"a break on the line while a label is sent", no_fault,
     [](Faults& t) -> LONG { return t.start_label_during("fault break"); }, -1, 60809,
     kTransmitError, PortAfter::kHeld, no_fault},
    {"DSR drops while a label is sent: the send goes on", no_fault,
     [](Faults& t) -> LONG {
       t.reset_printer(kFirst.com);
       const LONG result = t.start_label_during("dsr off");
       EXPECT_TRUE(t.sim().ok("dsr on", kFirst.com));
       EXPECT_TRUE(t.finish(kFirst.number));
       t.expect_printed(kFirst, 1, t.label_for(kFirst, 1));
       return result;
     },
     0, 0, "", PortAfter::kHeld, no_fault},
    {"line cut while the host polls",
     [](Faults& t) {
       t.short_reply_timeout();
       ASSERT_TRUE(t.sim().ok("pace 1500", kFirst.com));
     },
     [](Faults& t) -> LONG {
       EXPECT_EQ(0, t.start_label());
       EXPECT_TRUE(t.sim().ok("close", kFirst.com));
       LONG remaining = -7;
       // The reads fail from now on: "no reply yet", until the time-out.
       EXPECT_EQ(2, t.api().IsPrintFinished(kFirst.number, &remaining, 0, 0));
       return t.poll_until_answer(kFirst.number, &remaining, 20000);
     },
     -1, 60816, kTimeOut, PortAfter::kBroken,
     [](Faults& t) {
       ASSERT_TRUE(t.sim().ok("reopen", kFirst.com));
       ASSERT_TRUE(t.sim().ok("pace 5", kFirst.com));
       t.restore_ini();
     }},
    {"DSR drops between labels",
     [](Faults& t) {
       ASSERT_EQ(1u, t.api().IsPrintReady(kFirst.slot(), 0));
       ASSERT_EQ(0, t.start_label());
       ASSERT_TRUE(t.finish(kFirst.number));
       ASSERT_TRUE(t.sim().ok("dsr off", kFirst.com));
     },
     [](Faults& t) -> LONG { return t.api().IsPrintReady(kFirst.slot(), 0); }, 0, 60806, kNotReady,
     PortAfter::kHeld, [](Faults& t) { ASSERT_TRUE(t.sim().ok("dsr on", kFirst.com)); }},
    {"error reply E", [](Faults& t) { error_letter(t, "E"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60810,
     "The error of the set occurred.", PortAfter::kHeld, no_fault},
    {"error reply F", [](Faults& t) { error_letter(t, "F"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60811,
     "The ribbon was used completely. Please give changing to me.", PortAfter::kHeld, no_fault},
    {"error reply T", [](Faults& t) { error_letter(t, "T"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60812,
     "The error of parity occurred.", PortAfter::kHeld, no_fault},
    {"error reply G", [](Faults& t) { error_letter(t, "G"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60813, "Fleming's error occurred.",
     PortAfter::kHeld, no_fault},
    {"error reply V", [](Faults& t) { error_letter(t, "V"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60814,
     "The error of overrunning occurred.", PortAfter::kHeld, no_fault},
    {"error reply with an unknown letter", [](Faults& t) { error_letter(t, "Q"); },
     [](Faults& t) -> LONG { return t.start_and_poll(); }, -1, 60815,
     "An uncertain command was received. ", PortAfter::kHeld, no_fault},
    {"printer stops answering",
     [](Faults& t) {
       t.short_reply_timeout();
       ASSERT_TRUE(t.sim().ok("silent on", kFirst.com));
     },
     [](Faults& t) -> LONG {
       const DWORD start = GetTickCount();
       const LONG result = t.start_and_poll();
       EXPECT_GE(GetTickCount() - start + 50, 1500u) << "not before the time-out";
       return result;
     },
     -1, 60816, kTimeOut, PortAfter::kHeld,
     [](Faults& t) {
       ASSERT_TRUE(t.sim().ok("silent off", kFirst.com));
       t.restore_ini();
     }},
    {"port missing when the host asks if it is ready", [](Faults& t) { t.missing_port(); },
     [](Faults& t) -> LONG { return t.api().IsPrintReady(kFirst.slot(), 0); }, 0, 60800, kCommError,
     PortAfter::kFree, [](Faults& t) { t.restore_ini(); }},
    {"port missing when a label starts", [](Faults& t) { t.missing_port(); },
     [](Faults& t) -> LONG { return t.start_label(); }, -1, 60800, kCommError, PortAfter::kFree,
     [](Faults& t) { t.restore_ini(); }},
    {"port missing when a label follows", [](Faults& t) { t.missing_port(); },
     [](Faults& t) -> LONG { return t.print_one_label(); }, -1, 60800, kCommError, PortAfter::kFree,
     [](Faults& t) { t.restore_ini(); }},
    {"port missing while the host polls", [](Faults& t) { t.missing_port(); },
     [](Faults& t) -> LONG {
       LONG remaining = -7;
       const LONG result = t.api().IsPrintFinished(kFirst.number, &remaining, 0, 0);
       EXPECT_EQ(-7, remaining);
       return result;
     },
     1, 0, "", PortAfter::kFree, [](Faults& t) { t.restore_ini(); }},
    {"port held by another program when the host asks if it is ready",
     [](Faults& t) { t.hold_port(); },
     [](Faults& t) -> LONG { return t.api().IsPrintReady(kFirst.slot(), 0); }, 0, 60800, kCommError,
     PortAfter::kHeld, [](Faults& t) { t.release_port(); }},
    {"port held by another program when a label starts", [](Faults& t) { t.hold_port(); },
     [](Faults& t) -> LONG { return t.start_label(); }, -1, 60800, kCommError, PortAfter::kHeld,
     [](Faults& t) { t.release_port(); }},
    {"port held by another program when a label follows", [](Faults& t) { t.hold_port(); },
     [](Faults& t) -> LONG { return t.print_one_label(); }, -1, 60800, kCommError, PortAfter::kHeld,
     [](Faults& t) { t.release_port(); }},
};

// Handles and driver-made objects across one stretch of work.
struct LeakWatch {
  size_t handles = 0;
  void start() {
    handles = veldrin_test::CountOpenHandles();
    StartRecording();
  }
};

} // namespace

TEST_F(Faults, EveryFaultGivesItsCodeAndTheNextLabelPrints) {
  ASSERT_TRUE(InstallHooksIn(api().hModule));
  job_.info.bIncremental = 1;
  veldrin_test::WarmUpProcess(sim(), kFirst.com);

  const size_t tableHandles = veldrin_test::CountOpenHandles();
  for (const LineFault& f : kLineFaults) {
    SCOPED_TRACE(f.name);
    const DWORD rowStart = GetTickCount();
    LeakWatch watch;
    watch.start();

    f.inject(*this);
    if (HasFatalFailure())
      return;
    EXPECT_EQ(f.result, f.act(*this));
    if (f.port != PortAfter::kBroken) {
      EXPECT_EQ(f.port == PortAfter::kHeld, port_held(kFirst.com)) << "the port before the fetch";
    }
    DWORD code = 0;
    EXPECT_EQ(f.message, error_text(kFirst.number, &code));
    EXPECT_EQ(f.code, code);
    f.fix(*this);
    if (HasFatalFailure())
      return;
    EXPECT_EQ(f.code == 0 && f.port == PortAfter::kHeld, port_held(kFirst.com))
        << "fetching an error closes the port";
    EXPECT_EQ(f.code, api().GetPrintError(kFirst.number, nullptr, 0)) << "the code stays";

    // The host's way back: the settings again, ready, the next label.
    reset_printer(kFirst.com);
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
    EXPECT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
    EXPECT_EQ(0, start_label(2));
    EXPECT_TRUE(finish(kFirst.number));
    EXPECT_EQ(0u, api().GetPrintError(kFirst.number, nullptr, 0));

    // Only the kept bitmap of the incremental job, while its port is open.
    const CallLedger open = PeekRecording();
    EXPECT_EQ(1u, open.liveBitmaps.size()) << "the kept bitmap";
    EXPECT_TRUE(port_held(kFirst.com));
    EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
    ExpectNothingLeft(StopRecording());
    const size_t handles = veldrin_test::CountOpenHandles();
    EXPECT_LE(handles, watch.handles) << "handles left behind";

    expect_printed(kFirst, 1, label_for(kFirst, 2));
    EXPECT_EQ(1, sim().number("labels", kFirst.com));
    printf("[ row      ] %s: %lu ms\n", f.name, GetTickCount() - rowStart);
  }
  const size_t handles = veldrin_test::CountOpenHandles();
  EXPECT_LE(handles, tableHandles) << "handles left behind by the whole table";
}

namespace {
// Bytes the printer sends while a job waits for its reply, before the
// printer's own reply (which comes 1.5 s after the print order).
struct BadReply {
  const char* name;
  const char* hex; // what arrives first
  LONG answer;     // the first poll result other than "no reply yet"
  LONG remaining;  // the count written by that poll (-7: not written)
  DWORD code;      // KtPrGetPrintError after it
  const char* message;
  bool waitsForReply; // the first answer needs the printer's own reply too
  int unusable;       // at least this many answers of -1 for the garbage, when the job goes on
};

const BadReply kBadReplies[] = {
    {"seven bytes of garbage", "61 62 63 64 65 66 67", -1, -7, 0, "", false, 1},
    {"150 bytes of garbage, more than a receive buffer holds",
     "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A "
     "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A "
     "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A "
     "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A "
     "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A",
     -1, -7, 0, "", false, 2},
    {"half a frame, completed by the printer's reply", "1B 4F 30", 1, 0, 0, "", true, 0},
    {"a zero byte and an ESC, then the printer's reply", "FF 00 1B", 1, 0, 0, "", true, 0},
    {"a count with a sign", "1B 4F 2D 30 30 35 0D", 0, -5, 0, "", false, 0},
    {"a count of letters reads as nothing left", "1B 4F 41 42 43 44 0D", 1, 0, 0, "", false, 0},
    {"an error frame inside garbage", "61 62 1B 46 0D", -1, -7, 60811,
     "The ribbon was used completely. Please give changing to me.", false, 0},
    {"a count, then an error frame", "1B 4F 30 30 30 31 0D 1B 45 0D", -1, -7, 60810,
     "The error of the set occurred.", false, 0},
};
} // namespace

TEST_F(Faults, BadRepliesDuringAJob) {
  job_.info.bIncremental = 1;
  for (const BadReply& r : kBadReplies) {
    SCOPED_TRACE(r.name);
    reset_printer(kFirst.com);
    ASSERT_TRUE(sim().ok("pace 1500", kFirst.com));
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
    ASSERT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
    ASSERT_EQ(0, start_label(3));
    ASSERT_TRUE(sim().ok(std::string("send ") + r.hex, kFirst.com));
    LONG remaining = -7;
    EXPECT_EQ(r.answer, poll_until_answer(kFirst.number, &remaining));
    EXPECT_EQ(r.remaining, remaining);
    EXPECT_EQ(r.waitsForReply ? 1 : 0, sim().number("labels", kFirst.com))
        << "answered before or after the printer's own reply";
    DWORD code = 0;
    EXPECT_EQ(r.message, error_text(kFirst.number, &code));
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.code == 0, port_held(kFirst.com)) << "only a fetched error closes the port";
    if (r.code == 0 && r.answer != 1) {
      // The job goes on: the rest of the garbage is refused piece by piece
      // (a receive buffer holds 100 bytes), and the printer's own reply ends it.
      int unusable = r.answer == -1 ? 1 : 0;
      LONG result = 2;
      for (const DWORD start = GetTickCount(); result != 1 && GetTickCount() - start < 10000;) {
        result = api().IsPrintFinished(kFirst.number, &remaining, 0, 0);
        unusable += result == -1;
      }
      EXPECT_EQ(1, result);
      EXPECT_EQ(0, remaining);
      EXPECT_GE(unusable, r.unusable);
      EXPECT_LE(unusable, 150 / 7) << "each refusal takes at least 7 bytes";
      EXPECT_EQ(1, sim().number("labels", kFirst.com));
      EXPECT_EQ(0u, api().GetPrintError(kFirst.number, nullptr, 0));
    }
    ASSERT_TRUE(sim().ok("pace 5", kFirst.com));
    // And the next label prints whatever came before.
    reset_printer(kFirst.com);
    EXPECT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
    EXPECT_EQ(0, start_label(4));
    EXPECT_TRUE(finish(kFirst.number));
    expect_printed(kFirst, 1, label_for(kFirst, 4));
    EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
  }
}

TEST_F(Faults, TwoPrintersConfiguredOnOnePort) {
  // Printer 2 is set up on printer 1's port by mistake.
  ASSERT_TRUE(host_.write_ini(
      "[VELDRIN Info]\r\n" +
      veldrin_test::HostEnvironment::printer_keys(kFirst.number, kFirst.com, 57600, 56) +
      veldrin_test::HostEnvironment::printer_keys(veldrin_test::kSecond.number, kFirst.com, 57600,
                                                  56)));
  ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
  ASSERT_EQ(0, api().InitPrinter(veldrin_test::kSecond.number, 0));
  const DWORD second = veldrin_test::kSecond.number;

  // Printer 1 prints and holds the port while its job runs.
  job_.info.bIncremental = 1;
  ASSERT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
  ASSERT_TRUE(sim().ok("pace 1000", kFirst.com));
  ASSERT_EQ(0, start_label(1));

  // Printer 2 cannot have the port: each way in reports the communication error.
  EXPECT_EQ(0u, api().IsPrintReady(second - 1, 0));
  DWORD code = 0;
  EXPECT_EQ(kCommError, error_text(second, &code));
  EXPECT_EQ(60800u, code);
  HostJob job2(kFirst.typeCode(), kLabelWidth, kLabelLength);
  HBITMAP bitmap = LabelBitmap(label_for(kFirst, 2));
  EXPECT_EQ(-1, api().StartPrint(second, 1, bitmap, &job2.info));
  EXPECT_EQ(60800u, api().GetPrintError(second, nullptr, 0));
  LONG remaining = -7;
  EXPECT_EQ(1, api().IsPrintFinished(second, &remaining, 0, 0)) << "nothing to follow";
  EXPECT_EQ(-7, remaining);

  // Printer 1's job is untouched by all this.
  EXPECT_TRUE(finish(kFirst.number));
  EXPECT_EQ(0u, api().GetPrintError(kFirst.number, nullptr, 0));
  expect_printed(kFirst, 1, label_for(kFirst, 1));
  EXPECT_EQ(0, print_one_label(3)) << "and its next label follows on the open port";
  EXPECT_TRUE(finish(kFirst.number));
  expect_printed(kFirst, 2, label_for(kFirst, 3));

  // Once printer 1 lets go of the port, printer 2 prints on it.
  ASSERT_TRUE(sim().ok("pace 5", kFirst.com));
  EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
  EXPECT_EQ(1u, api().IsPrintReady(second - 1, 0));
  EXPECT_EQ(0, api().StartPrint(second, 1, bitmap, &job2.info));
  DeleteObject(bitmap);
  EXPECT_TRUE(finish(second));
  expect_printed(kFirst, 3, label_for(kFirst, 2));
  EXPECT_EQ(1u, api().ClosePrinter(second - 1));
}
