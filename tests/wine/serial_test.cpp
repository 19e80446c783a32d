// The serial link seen at the driver's imports: the open, chunks, the write pause, failed sends;
// and the host following a job (ready, stop, feed, finished, wait) through the printer's replies.
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;
using Values = std::vector<uintptr_t>;

// Arguments from..to of the first call of fn.
Values first(Hooked fn, int from, int to) {
  const std::vector<Call> calls = Calls(fn);
  return calls.empty() ? Values{} : Values(calls[0].arg + from, calls[0].arg + to);
}

// A WriteFile that completes at once but reports itself pending, as a slow
// line does; the driver then waits for its event and takes its result.
BOOL WINAPI write_pending(HANDLE h, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED ov) {
  if (!Real<kWriteFile>()(h, data, n, written, ov))
    return FALSE;
  SetLastError(ERROR_IO_PENDING);
  return FALSE;
}

// An operation that stays pending: a read of the port, which gets nothing
// while the printer is silent. In place of a write or a comm-event wait, with
// the driver's wait ending at once, it makes the driver cancel what it waited for.
BOOL pending_read(HANDLE h, LPOVERLAPPED ov) {
  static char nothing[16];
  return ReadFile(h, nothing, sizeof nothing, nullptr, ov);
}

// A cancel that fails: the cancelled read ends, but its result is an error.
void cancel_fails() {
  Replace<kGetOverlappedResult>([](HANDLE h, LPOVERLAPPED ov, LPDWORD n, BOOL wait) {
    const BOOL done = Real<kGetOverlappedResult>()(h, ov, n, wait);
    return wait ? (SetLastError(ERROR_GEN_FAILURE), FALSE) : done;
  });
}
} // namespace

TEST_F(Serial, APortIsOpenedWithTheSlotsSettingsAndNothingElse) {
  // Printer 2's line: 19200 baud, 7 data bits, two stop bits, even parity.
  ASSERT_TRUE(host_.write_ini("[VELDRIN Info]\r\n" + PrinterKeys(2, 2, 19200, 112, 7, 2, 2)));
  ASSERT_EQ(0, api().InitPrinter(2, 0));
  // The port as another program left it: flow control, DTR off, other characters.
  DCB before{};
  before.DCBlength = sizeof before;
  before.BaudRate = 300;
  before.fBinary = before.fOutxCtsFlow = before.fOutX = 1;
  before.fDtrControl = DTR_CONTROL_DISABLE;
  before.fRtsControl = RTS_CONTROL_HANDSHAKE;
  before.XonChar = 0x21;
  before.XoffChar = 0x22;
  before.ErrorChar = 0x23;
  before.EvtChar = 0x24;
  Replace<kGetCommState>([&](HANDLE, LPDCB dcb) { return *dcb = before, TRUE; });
  DCB applied{};
  COMMTIMEOUTS t{};
  std::string name;
  Keep<kCreateFileA, 0>(&name);
  Keep<kSetCommState, 1>(&applied);
  Keep<kSetCommTimeouts, 1>(&t);
  EXPECT_EQ(1u, api().IsPrintReady(1, 0));

  DCB expected = before;
  expected.BaudRate = 19200;
  expected.ByteSize = 7;
  expected.StopBits = TWOSTOPBITS;
  expected.Parity = EVENPARITY;
  expected.XonLim = expected.XoffLim = 256;
  expected.EofChar = 0x1A;
  EXPECT_EQ(Hex(&expected, sizeof expected), Hex(&applied, sizeof applied))
      << "seven members, the rest kept";
  EXPECT_EQ((std::vector<DWORD>{MAXDWORD, 0, 0, 0, 5000}),
            (std::vector<DWORD>{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                t.WriteTotalTimeoutConstant}));
  EXPECT_EQ("\\\\.\\COM2", name);
  EXPECT_EQ((Values{GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, 0}),
            first(kCreateFileA, 1, 7));
  EXPECT_EQ((Values{1024, 512}), first(kSetupComm, 1, 3));
  EXPECT_EQ((Values{15, 15}), Args(kPurgeComm, 1)) << "at the open and at the close";
  EXPECT_EQ((Values{0, TRUE, FALSE, 0}), first(kCreateEventA, 0, 4));
  EXPECT_EQ(Leftovers{}, Left()) << "the stop command closed the port again";
}

TEST_F(Serial, ALabelGoesOutInChunksOf256AndThenRaisesDtrAndRts) {
  // Rows of 64 bytes (42.4 mm at 12 dots/mm): two rows are 256 characters
  // and the CR; three rows of 43 bytes (28.4 mm) are 258 and the CR; three
  // of 86 bytes (57.0 mm) are 516 and the CR. A failed 1-byte write ends the send at once.
  struct Row {
    WORD widthTenthMm;
    int widthDots, rows;
    Values writes;          // sizes handed to WriteFile, the stop command first
    const char* fails = ""; // these bytes' write fails; the transmitter then empties at once
  } rows[] = {{424, 512, 2, {7, 4, 17, 18, 256, 1, 10}},
              {284, 344, 3, {7, 4, 17, 18, 256, 3, 10}},
              {570, 688, 3, {7, 4, 17, 18, 256, 256, 5, 10}},
              {424, 512, 2, {7, 4, 17, 18, 256, 1}, "|"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.widthTenthMm << " " << r.fails);
    StartCalls();
    HostJob job(261, r.widthTenthMm, 10);
    if (*r.fails) {
      FailWrite(r.fails);
      Replace<kWaitCommEvent>([](HANDLE, LPDWORD m, LPOVERLAPPED) { return *m = EV_TXEMPTY, 1; });
    }
    EXPECT_EQ(*r.fails ? -1 : 0, print(kTwelve, MakeLabel(r.widthDots, r.rows, 1, 0), job, true));
    restore();
    EXPECT_EQ(r.writes, Args(kWriteFile, 2));
    EXPECT_EQ(r.writes.size() - (*r.fails ? 1 : 0), Calls(kWaitCommEvent).size());
    EXPECT_EQ(*r.fails ? 60809u : 0u, api().GetPrintError(1, nullptr, 0));
    EXPECT_EQ(*r.fails ? Values() : Values({SETDTR, SETRTS}), Args(kEscapeCommFunction, 1));
    std::vector<Hooked> last;
    for (const Call& c : Calls())
      if (c.fn == kWriteFile || c.fn == kEscapeCommFunction)
        last.push_back(c.fn);
    last.erase(last.begin(), last.end() - 3);
    const Hooked after = *r.fails ? kWriteFile : kEscapeCommFunction; // the print command's
    EXPECT_EQ((std::vector<Hooked>{kWriteFile, after, after}), last) << "after the last write";
    EXPECT_TRUE(Calls(kSleep).empty()) << "no write went pending";
  }
}

TEST_F(Serial, ThePauseFollowsOnlyAPendingWriteAndIsReadAtEveryReadyCheck) {
  struct Row {
    const char* waitWriteTime; // the INI key's value; "" none
    bool pending;              // the stop command's write goes pending
    Values pauses;             // the Sleep calls
  } rows[] = {
      {.waitWriteTime = "9", .pending = true, .pauses = {9}},
      {.waitWriteTime = "", .pending = true, .pauses = {5}},
      {.waitWriteTime = "60000", .pending = true, .pauses = {10000}}, // capped
      {.waitWriteTime = "9", .pending = false, .pauses = {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.waitWriteTime) + (r.pending ? " pending" : ""));
    const std::string key = *r.waitWriteTime ? "WaitWriteTime=" + std::string(r.waitWriteTime) : "";
    ASSERT_TRUE(host_.write_ini(ini_text("[System Data]\r\n" + key + "\r\n")));
    if (r.pending)
      Replace<kWriteFile>(write_pending);
    Replace<kSleep>([](DWORD) {}); // the capped pause is noted, not waited for
    StartCalls();
    EXPECT_EQ(1u, api().IsPrintReady(0, 0));
    EXPECT_EQ(Values{7}, Args(kWriteFile, 2)) << "the stop command";
    EXPECT_EQ(r.pauses, Args(kSleep, 0));
    EXPECT_EQ(kStop, received(kTwelve)) << "and its bytes arrived";
    restore();
    reset(kTwelve);
  }
}

TEST_F(Serial, ASendFailsWhenAWriteComesShortOrAWaitRunsOut) {
  // Each wait of 10 s ends at once here; what the driver waited for is then
  // still pending and must be cancelled before the call returns. DSR changes
  // keep the transmitter's wait going within its 10 s, by the driver's clock.
  struct Row {
    const char* name;
    bool shortWrite = false, writeWaitRunsOut = false;
    const char* events = ""; // each transmitter wait: 'D' a DSR change, 'P' it stays pending
    DWORD tick = 0;          // the clock moves on this much at each reading; 0: the real one
    size_t cancels = 0;
    DWORD waited = 10000; // the wait before the cancel
  } rows[] = {
      {.name = "a write one byte short", .shortWrite = true},
      {.name = "the write's wait runs out", .writeWaitRunsOut = true, .cancels = 1},
      {.name = "the transmitter's wait runs out", .events = "P", .cancels = 1},
      {.name = "DSR changes until 10 s have passed", .events = "DD", .tick = 5000},
      {.name = "DSR, then no time left", .events = "DP", .tick = 6000, .cancels = 1, .waited = 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.shortWrite)
      Replace<kWriteFile>([](HANDLE h, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED ov) {
        return Real<kWriteFile>()(h, data, n - 1, written, ov);
      });
    if (r.writeWaitRunsOut)
      Replace<kWriteFile>(
          [](HANDLE h, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED ov) { return pending_read(h, ov); });
    if (*r.events)
      Replace<kWaitCommEvent>([e = r.events](HANDLE h, LPDWORD mask, LPOVERLAPPED ov) mutable {
        return *e && *e++ == 'D' ? (*mask = EV_DSR, TRUE) : pending_read(h, ov);
      });
    if (r.tick)
      Replace<kGetTickCount>([t = GetTickCount(), d = r.tick]() mutable { return t += d; });
    Replace<kWaitForSingleObject>([](HANDLE h, DWORD ms) {
      return ms >= 1000 ? DWORD(WAIT_TIMEOUT) : Real<kWaitForSingleObject>()(h, ms);
    });
    StartCalls();
    EXPECT_EQ(0u, api().StopPrint(1));
    restore();
    EXPECT_EQ(Values{7}, Args(kWriteFile, 2)) << "no retry";
    EXPECT_EQ(r.cancels, Calls(kCancelIo).size());
    if (r.cancels) {
      EXPECT_NEAR(r.waited, double(Calls(kWaitForSingleObject).front().arg[1]), 1000);
    }
    EXPECT_EQ(60809u, api().GetPrintError(1, nullptr, 0)) << "fetching it closes the port";
    EXPECT_EQ(Leftovers{}, Left()) << "the port and its event, closed at the fetch";
    EXPECT_EQ(1u, api().StopPrint(1)) << "the port works again";
    reset(kTwelve);
  }
}

TEST_F(Replies, ReadyStopAndFeed) {
  struct Row {
    const char* name;
    LONG (*call)(Wine&);
    LONG result = 1;
    std::string sent = kStop; // what the printer received
    bool portOpen = false;    // afterwards
  } rows[] = {
      // clang-format off
      {.name = "ready on a fresh connection sends the stop and closes",
       .call = [](Wine& t) -> LONG { return t.api().IsPrintReady(0, 0); }},
      {.name = "ready on an open port only looks at DSR", .call = [](Wine& t) -> LONG {
         t.api().IsPrintFinished(1, nullptr, 0, 0); // opens the port
         return t.api().IsPrintReady(0, 0);
       }, .sent = "", .portOpen = true},
      {.name = "stop", .call = [](Wine& t) -> LONG { return t.api().StopPrint(1); }},
      {.name = "a reply sent while the port was closed is dropped at the open", .call = [](Wine& t) {
         t.sim().send("^O0000|", 1);
         Sleep(50);
         return t.poll(kTwelve, nullptr, 500);
       }, .result = 2, .sent = "", .portOpen = true},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    EXPECT_EQ(r.result, r.call(*this));
    EXPECT_EQ(r.sent, received(kTwelve));
    EXPECT_EQ(r.portOpen, !PortFree(1));
  }
}

TEST_F(Replies, RepliesAsTheHostPollsThem) {
  // Each step: a printer sends bytes, then the host polls it until an answer
  // (at most 0.3 s when 2 is expected) and reads the count it wrote (-7:
  // none). Then printer 1's and printer 2's error codes.
  struct Step {
    const Printer& p;
    std::string sends; // the notation; "" nothing
    LONG answer;
    LONG remaining = -7;
  };
  struct Row {
    const char* name;
    bool pendingError = false; // printer 1 holds 60806 before
    std::vector<Step> steps;   // {printer, sends, answer, remaining}
    DWORD codes[2] = {0, 0};
  } rows[] = {
      // clang-format off
      {.name = "labels left", .pendingError = true, .steps = {{kTwelve, "^O0012|", 0, 12}}},
      {.name = "none left", .steps = {{kTwelve, "^O0000|", 1, 0}}},
      {.name = "an error reply", .steps = {{kTwelve, "^F|", -1}}, .codes = {60811, 0}},
      {.name = "seven bytes without a frame", .pendingError = true,
       .steps = {{kTwelve, "abcdefg", -1}}, .codes = {60806, 0}},
      {.name = "bytes past the 100 held", .pendingError = true,
       .steps = {{kTwelve, std::string(150, 'Z'), -1}, {kTwelve, "", -1}}, .codes = {60806, 0}},
      {.name = "each printer its own buffer",
       .steps = {{kTwelve, "^O0", 2}, {kEight, "^F|", -1}, {kTwelve, "012|", 0, 12}},
       .codes = {0, 60811}},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.pendingError) {
      sim().command("dsr off", 1);
      api().IsPrintReady(0, 0);
      sim().command("dsr on", 1);
    }
    for (const Printer& p : {kTwelve, kEight})
      EXPECT_EQ(2, api().IsPrintFinished(p.number, nullptr, 0, 0)) << "the port open, nothing yet";
    for (const Step& s : r.steps) {
      ASSERT_TRUE(s.sends.empty() || sim().send(s.sends, s.p.com()));
      LONG remaining = -7;
      EXPECT_EQ(s.answer, poll(s.p, &remaining, s.answer == 2 ? 300 : 5000));
      EXPECT_EQ(s.remaining, remaining);
    }
    EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0)) << "the bytes were taken";
    EXPECT_EQ(r.codes[0], api().GetPrintError(1, nullptr, 0));
    EXPECT_EQ(r.codes[1], api().GetPrintError(2, nullptr, 0));
    api().ClosePrinter(0);
    api().ClosePrinter(1);
  }
}

TEST_F(Replies, APrinterSilentPastTheReplyTimeOut) {
  // The INI's ReplyTimeout after a label's last command: the clock the driver
  // reads jumps ahead by `elapsed` ms, the printer never answers.
  struct Row {
    const char* ini;
    DWORD elapsed;
    LONG answer;
    DWORD code;
  } rows[] = {
      {.ini = "", .elapsed = 29000, .answer = 2},
      {.ini = "", .elapsed = 30000, .answer = -1, .code = 60816},
      {.ini = "ReplyTimeout=0\r\n", .elapsed = 0x7FFFFFFF, .answer = 2},
      {.ini = "ReplyTimeout=300\r\n", .elapsed = 300, .answer = -1, .code = 60816},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.ini << r.elapsed);
    ASSERT_TRUE(host_.write_ini(ini_text(r.ini)));
    sim().command("silent on", 1);
    HostJob job(261, 200, 100);
    ASSERT_EQ(0, print(kTwelve, label(kTwelve), job, true));
    Replace<kGetTickCount>([r] { return Real<kGetTickCount>()() + r.elapsed; });
    EXPECT_EQ(r.answer, api().IsPrintFinished(1, nullptr, 0, 0));
    restore();
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    reset(kTwelve);
  }
}

TEST_F(Replies, AReplySplitOverReadsIsKeptUntilWhole) {
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0));
  ASSERT_TRUE(sim().send("^O0", 1));
  Sleep(50);
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0));
  for (void (*readFails)() : {Fails<kReadFile>, cancel_fails}) { // at once, or in its cancel
    readFails();
    EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0)) << "what is held is kept";
    restore();
  }
  ASSERT_TRUE(sim().send("012|", 1));
  LONG remaining = -7;
  EXPECT_EQ(0, poll(kTwelve, &remaining));
  EXPECT_EQ(12, remaining);
  EXPECT_EQ(std::vector<std::string>{"Received Data:----\x1BO0012\r"}, host_.debug_lines());
  // Each read appends behind what is held, never past the 100 bytes.
  const std::vector<Call> reads = Calls(kReadFile);
  ASSERT_GE(reads.size(), 3u);
  EXPECT_EQ((Values{reads[0].arg[1] + 3, 97}), (Values{reads[2].arg[1], reads[2].arg[2]}));
  EXPECT_EQ(100u, reads[0].arg[2]);
}

TEST_F(Replies, WaitGivesUpAfterFiftyPolls) {
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0)) << "the port open";
  ASSERT_TRUE(sim().send("^O0000|", 1));
  EXPECT_EQ(1u, api().WaitPrintFinished(1, 0));
  ASSERT_TRUE(sim().send("^V|", 1));
  EXPECT_EQ(0u, api().WaitPrintFinished(1, 0));
  EXPECT_EQ(60814u, api().GetPrintError(1, nullptr, 0));
  // Reads that find nothing, as Windows completes them at once.
  Replace<kReadFile>([](HANDLE, LPVOID, DWORD, LPDWORD n, LPOVERLAPPED) { return *n = 0, TRUE; });
  StartCalls();
  EXPECT_EQ(0u, api().WaitPrintFinished(1, 0));
  EXPECT_EQ(50u, Calls(kReadFile).size());
}
