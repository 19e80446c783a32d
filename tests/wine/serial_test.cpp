// The serial link as the exports use it, seen at the driver's imports: how a
// port is opened and configured, how a buffer goes out in chunks and when the
// write pause is taken, how replies are read and interpreted, and how the
// host follows a job with KtPrIsPrintReady, KtPrStopPrint, KtPrFeedLabel,
// KtPrIsPrintFinished and KtPrWaitPrintFinished.
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
} // namespace

TEST_F(Wine, APortIsOpenedWithTheSlotsSettingsAndNothingElse) {
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

TEST_F(Wine, ALabelGoesOutInChunksOf256AndThenRaisesDtrAndRts) {
  // Rows of 64 bytes (42.4 mm at 12 dots/mm): two rows are 256 characters
  // and the CR; three rows of 43 bytes (28.4 mm) are 258 and the CR; three
  // of 86 bytes (57.0 mm) are 516 and the CR.
  struct Row {
    WORD widthTenthMm;
    int widthDots, rows;
    Values writes; // sizes handed to WriteFile, the stop command first
  } rows[] = {{424, 512, 2, {7, 4, 17, 18, 256, 1, 10}},
              {284, 344, 3, {7, 4, 17, 18, 256, 3, 10}},
              {570, 688, 3, {7, 4, 17, 18, 256, 256, 5, 10}}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.widthTenthMm);
    StartCalls();
    HostJob job(261, r.widthTenthMm, 10);
    EXPECT_EQ(0, print(kTwelve, MakeLabel(r.widthDots, r.rows, 1, 0), job, true));
    EXPECT_EQ(r.writes, Args(kWriteFile, 2));
    EXPECT_EQ((Values{SETDTR, SETRTS}), Args(kEscapeCommFunction, 1));
    std::vector<Hooked> last;
    for (const Call& c : Calls())
      if (c.fn == kWriteFile || c.fn == kEscapeCommFunction)
        last.push_back(c.fn);
    last.erase(last.begin(), last.end() - 3);
    EXPECT_EQ((std::vector<Hooked>{kWriteFile, kEscapeCommFunction, kEscapeCommFunction}), last)
        << "after the print command";
    EXPECT_TRUE(Calls(kSleep).empty()) << "no write went pending";
  }
}

TEST_F(Wine, ThePauseFollowsOnlyAPendingWriteAndIsReadAtEveryReadyCheck) {
  Replace<kWriteFile>(write_pending);
  for (int pause : {7, 9}) {
    ASSERT_TRUE(host_.write_ini(
        ini_text("[System Data]\r\nWaitWriteTime=" + std::to_string(pause) + "\r\n")));
    StartCalls();
    EXPECT_EQ(1u, api().IsPrintReady(0, 0));
    EXPECT_EQ(Values{7}, Args(kWriteFile, 2)) << "the stop command";
    EXPECT_EQ(Values{uintptr_t(pause)}, Args(kSleep, 0));
    EXPECT_EQ(kStop, sim().captured(1)) << "and its bytes arrived";
    reset(kTwelve);
  }
  restore();
  StartCalls();
  EXPECT_EQ(1u, api().IsPrintReady(0, 0));
  EXPECT_TRUE(Calls(kSleep).empty()) << "a write that completes at once is not followed by it";
}

TEST_F(Wine, AShortWriteFailsTheSendAndLeavesThePortOpen) {
  Replace<kWriteFile>([](HANDLE h, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED ov) {
    return Real<kWriteFile>()(h, data, n - 1, written, ov);
  });
  EXPECT_EQ(0u, api().StopPrint(1));
  EXPECT_EQ(60809u, api().GetPrintError(1, nullptr, 0)) << "fetching it closes the port";
  EXPECT_EQ(Values{7}, Args(kWriteFile, 2)) << "no retry";
  EXPECT_EQ(1u, Args(kCloseHandle, 0).size() / 2) << "the port and its event, at the fetch";
}

TEST_F(Wine, ReadyStopAndFeed) {
  struct Row {
    const char* name;
    LONG (*call)(Wine&);
    LONG result;
    std::string sent; // what the printer received
    bool portOpen;    // afterwards
  } rows[] = {
      {"ready on a fresh connection sends the stop and closes",
       [](Wine& t) -> LONG { return t.api().IsPrintReady(0, 0); }, 1, kStop, false},
      {"ready on an open port only looks at DSR",
       [](Wine& t) -> LONG {
         t.api().IsPrintFinished(1, nullptr, 0, 0); // opens the port
         return t.api().IsPrintReady(0, 0);
       },
       1, "", true},
      {"stop", [](Wine& t) -> LONG { return t.api().StopPrint(1); }, 1, kStop, false},
      {"feed", [](Wine& t) -> LONG { return t.api().FeedLabel(1, 5); }, 1, kStop, false},
      {"a reply sent while the port was closed is dropped at the open",
       [](Wine& t) -> LONG {
         t.sim().ok("send 1B 4F 30 30 30 30 0D", 1);
         Sleep(50);
         return t.poll(kTwelve, nullptr, 500);
       },
       2, "", true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    EXPECT_EQ(r.result, r.call(*this));
    EXPECT_EQ(r.sent, sim().captured(1));
    EXPECT_EQ(r.portOpen, !PortFree(1));
  }
}

TEST_F(Wine, RepliesAsTheHostPollsThem) {
  // What the printer sends, as hex; whether printer 1 holds 60806 before; the
  // polls' results (each after polls answering 2); the count they write (-7:
  // none); the error code afterwards.
  std::string garbage;
  for (int i = 0; i < 150; ++i)
    garbage += "5A ";
  struct Row {
    std::string hex;
    bool pendingError;
    std::vector<LONG> answers;
    LONG remaining;
    DWORD code;
  } rows[] = {
      {"1B 4F 30 30 31 32 0D", true, {0}, 12, 0}, {"1B 4F 30 30 30 30 0D", false, {1}, 0, 0},
      {"1B 46 0D", false, {-1}, -7, 60811},       {"61 62 63 64 65 66 67", true, {-1}, -7, 60806},
      {garbage, true, {-1, -1}, -7, 60806},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.hex.substr(0, 30));
    if (r.pendingError) {
      sim().command("dsr off", 1);
      api().IsPrintReady(0, 0);
      sim().command("dsr on", 1);
    }
    EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0)) << "the port open, nothing yet";
    ASSERT_TRUE(sim().ok("send " + r.hex, 1));
    LONG remaining = -7;
    std::vector<LONG> answers;
    for (size_t i = 0; i < r.answers.size(); ++i)
      answers.push_back(poll(kTwelve, &remaining));
    EXPECT_EQ(r.answers, answers);
    EXPECT_EQ(2, api().IsPrintFinished(1, &remaining, 0, 0)) << "the bytes were taken";
    EXPECT_EQ(r.remaining, remaining);
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    api().ClosePrinter(0);
  }
}

TEST_F(Wine, AReplySplitOverReadsIsKeptUntilWhole) {
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0));
  ASSERT_TRUE(sim().ok("send 1B 4F 30", 1));
  Sleep(50);
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0));
  ASSERT_TRUE(sim().ok("send 30 31 32 0D", 1));
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

TEST_F(Wine, WaitGivesUpAfterFiftyPolls) {
  EXPECT_EQ(2, api().IsPrintFinished(1, nullptr, 0, 0)) << "the port open";
  ASSERT_TRUE(sim().ok("send 1B 4F 30 30 30 30 0D", 1));
  EXPECT_EQ(1u, api().WaitPrintFinished(1, 0));
  ASSERT_TRUE(sim().ok("send 1B 56 0D", 1));
  EXPECT_EQ(0u, api().WaitPrintFinished(1, 0));
  EXPECT_EQ(60814u, api().GetPrintError(1, nullptr, 0));
  // Reads that find nothing, as Windows completes them at once.
  Replace<kReadFile>([](HANDLE, LPVOID, DWORD, LPDWORD n, LPOVERLAPPED) { return *n = 0, TRUE; });
  StartCalls();
  EXPECT_EQ(0u, api().WaitPrintFinished(1, 0));
  EXPECT_EQ(50u, Calls(kReadFile).size());
}
