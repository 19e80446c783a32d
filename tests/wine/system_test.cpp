// The whole system under faults and bad input as the host meets them: each fault gives its code,
// leaves nothing behind, and the next label prints; numbers out of range and null pointers at every
// export do no harm; eight printers print side by side.
#include <algorithm>

#include "tests/wine/fixture.h"

using namespace veldrin_test;

TEST_F(System, EveryFaultGivesItsCodeAndTheNextLabelPrints) {
  enum Act { kReady, kStart, kFollow, kPoll, kStartCutPoll };
  struct Row {
    const char* name;
    Act act; // what the host then does: ready, a label by start or follow-up, a
             // poll until an answer, or a label whose line is cut before the poll
    LONG result;
    DWORD code;
    // The fault.
    const char* sim = "";        // a simulator command for printer 1
    bool labelFirst = false;     // a label printed to its end before it
    DWORD eventsInSend = 0;      // reported in place of the transmitter's end, in the 5th chunk
    bool labelPrints = false;    // the label sent through it prints whole
    bool noPort = false;         // printer 1 on a port nothing answers on
    bool held = false;           // another program holds the port
    void (*failing)() = nullptr; // a call of the port's open or first send fails
    bool replyTimeout = false;   // a reply time-out of 300 ms
  } rows[] = {
      // clang-format off
      {.name = "the line cut mid-label", .act = kStart, .result = -1, .code = 60809,
       .sim = "close after 500"},
      {.name = "the line cut in the stop command", .act = kStart, .result = -1, .code = 60809,
       .sim = "close after 3"},
      {.name = "the line cut after a label", .act = kReady, .result = 0, .code = 60806,
       .sim = "close", .labelFirst = true},
      {.name = "DSR off after a label", .act = kReady, .result = 0, .code = 60806, .sim = "dsr off",
       .labelFirst = true},
      {.name = "a line error mid-label", .act = kStart, .result = -1, .code = 60809,
       .eventsInSend = EV_ERR},
      {.name = "a break mid-label", .act = kStart, .result = -1, .code = 60809,
       .eventsInSend = EV_BREAK},
      {.name = "a DSR change mid-label: the send goes on", .act = kStart, .result = 0, .code = 0,
       .eventsInSend = EV_DSR, .labelPrints = true},
      {.name = "the line cut while printing", .act = kStartCutPoll, .result = -1, .code = 60816,
       .sim = "pace 2000", .replyTimeout = true},
      {.name = "no port: ready", .act = kReady, .result = 0, .code = 60800, .noPort = true},
      {.name = "no port: start", .act = kStart, .result = -1, .code = 60800, .noPort = true},
      {.name = "no port: follow", .act = kFollow, .result = -1, .code = 60800, .noPort = true},
      {.name = "no port: a poll finds nothing to follow", .act = kPoll, .result = 1, .code = 0,
       .noPort = true},
      {.name = "a port held: ready", .act = kReady, .result = 0, .code = 60800, .held = true},
      {.name = "a port held: start", .act = kStart, .result = -1, .code = 60800, .held = true},
      {.name = "GetCommState fails", .act = kReady, .result = 0, .code = 60800,
       .failing = Fails<kGetCommState>},
      {.name = "SetCommState fails", .act = kReady, .result = 0, .code = 60800,
       .failing = Fails<kSetCommState>},
      {.name = "SetCommTimeouts fails", .act = kStart, .result = -1, .code = 60800,
       .failing = Fails<kSetCommTimeouts>},
      {.name = "SetupComm fails", .act = kReady, .result = 0, .code = 60800,
       .failing = Fails<kSetupComm>},
      {.name = "SetCommMask fails: the stop command is not sent", .act = kReady, .result = 0,
       .code = 60809, .failing = Fails<kSetCommMask>},
      // clang-format on
  };
  HostJob job(261, 200, 100);
  job.info.bIncremental = 1;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    StartCalls();
    if (r.labelFirst) {
      ASSERT_EQ(0, print(kTwelve, label(kTwelve), job, true));
      ASSERT_EQ(1, poll(kTwelve));
    }
    if (*r.sim)
      sim().command(r.sim, 1);
    if (r.failing)
      r.failing();
    if (r.eventsInSend)
      Replace<kWaitCommEvent>(
          [events = r.eventsInSend, i = 0](HANDLE h, LPDWORD mask, LPOVERLAPPED o) mutable {
            if (++i != 5)
              return Real<kWaitCommEvent>()(h, mask, o);
            *mask = events;
            return TRUE;
          });
    if (r.noPort || r.replyTimeout) {
      host_.write_ini(r.noPort ? "[VELDRIN Info]\r\n" + PrinterKeys(1, 40)
                               : ini_text("ReplyTimeout=300\r\n"));
      api().InitPrinter(1, 0);
    }
    HANDLE other = r.held ? CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr)
                          : INVALID_HANDLE_VALUE;
    const Picture sent = label(kTwelve, 2);
    const LONG result = r.act == kReady  ? LONG(api().IsPrintReady(0, 0))
                        : r.act == kPoll ? poll(kTwelve, nullptr, 3000)
                                         : print(kTwelve, sent, job, r.act != kFollow);
    if (r.act == kStartCutPoll) {
      sim().command("close", 1);
      EXPECT_EQ(r.result, poll(kTwelve, nullptr, 3000));
    } else {
      EXPECT_EQ(r.result, result);
    }
    restore();
    if (r.labelPrints) {
      EXPECT_EQ(1, poll(kTwelve));
      EXPECT_EQ("", printed(kTwelve, 1, sent));
    }
    char text[256] = "";
    EXPECT_EQ(r.code, api().GetPrintError(1, text, sizeof text));
    EXPECT_EQ(r.code ? kMessages.at(r.code) : "", text);
    CloseHandle(other);
    // The host's way back: the printer closed, the line again, the settings, ready, a new label.
    api().ClosePrinter(0);
    sim().command("reopen", 1);
    reset(kTwelve);
    host_.write_ini(ini_text());
    ASSERT_EQ(0, api().InitPrinter(1, 0));
    EXPECT_EQ(1u, api().IsPrintReady(0, 0));
    EXPECT_EQ(0, print(kTwelve, label(kTwelve), job, true));
    EXPECT_EQ(1, poll(kTwelve));
    EXPECT_EQ("", printed(kTwelve, 1, label(kTwelve)));
    EXPECT_EQ(1u, api().ClosePrinter(0));
    EXPECT_EQ(Leftovers{}, Left()) << "nothing left once the printer is closed";
  }
}

namespace {
// What an export is given where a printer number or slot index belongs.
struct Given {
  Wine& t;
  DWORD n;
  HostJob job{261, 200, 100};
  HBITMAP label = LabelBitmap(Wine::label(kTwelve));
  LabelFormatParams params{};
  PrinterRef ref{{}, BYTE(n)};
  CondDialogInfo info{1, {}, &ref};
  char text[8] = "unread"; // the host's message buffer
  const DriverApi& api = Wine::api();
  ~Given() { DeleteObject(label); }
};
} // namespace

TEST_F(System, NumbersOutOfRangeAtEveryExport) {
  // Each export with every value outside its range (printer numbers 0, 9 and
  // 265, whose low byte is 9; slot indexes 8 and 255). Before each call
  // printer 1 holds 60806 with its port open, and the INI file has moved it to
  // COM3, so a call that loads slot 0 again shows in the port it opens next.
  struct Row {
    const char* name;
    LONG (*call)(Given&);
    std::vector<DWORD> values;
    LONG result;
    bool firstSlot = false;      // it works on slot 0 (else on no slot at all)
    std::string sent = "";       // what printer 1 then received
    bool reloads = false;        // slot 0's settings loaded again
    const char* text = "unread"; // left in the host's message buffer
  } rows[] = {
      // clang-format off
      {.name = "KtPrInitPrinter", .call = [](Given& g) { return g.api.InitPrinter(g.n, 0); },
       .values = {0, 9, 265}, .result = -1},
      {.name = "KtPrGetPrintError",
       .call = [](Given& g) { return LONG(g.api.GetPrintError(g.n, g.text, sizeof g.text)); },
       .values = {0, 9}, .result = 0, .text = ""},
      {.name = "KtPrIoControl 16",
       .call = [](Given& g) { return g.api.IoControl(g.n, 16, &g.params, nullptr); },
       .values = {0, 9}, .result = 0},
      {.name = "KtPrIoControl 17",
       .call = [](Given& g) { return g.api.IoControl(g.n, 17, &g.params, nullptr); },
       .values = {0, 9}, .result = 0},
      {.name = "KtPrIsPrintReady",
       .call = [](Given& g) { return LONG(g.api.IsPrintReady(g.n, 0)); },
       .values = {8, 255}, .result = 0},
      {.name = "KtPrClosePrinter", .call = [](Given& g) { return LONG(g.api.ClosePrinter(g.n)); },
       .values = {8, 255}, .result = 1},
      {.name = "KtPrStopPrint", .call = [](Given& g) { return LONG(g.api.StopPrint(g.n)); },
       .values = {0, 9, 265}, .result = 1, .firstSlot = true, .sent = kStop},
      {.name = "KtPrFeedLabel", .call = [](Given& g) { return LONG(g.api.FeedLabel(g.n, 0)); },
       .values = {0, 9}, .result = 1, .firstSlot = true, .sent = kStop},
      {.name = "KtPrIsPrintFinished", .call = [](Given& g) {
         g.t.sim().send("^O0000|", 1);
         return g.t.poll({g.n}, nullptr, 1000);
       }, .values = {0, 9}, .result = 1, .firstSlot = true},
      {.name = "KtPrWaitPrintFinished", .call = [](Given& g) {
         g.t.sim().send("^O0000|", 1);
         return LONG(g.api.WaitPrintFinished(g.n, 0));
       }, .values = {0, 9}, .result = 1, .firstSlot = true},
      {.name = "KtPrPrintOneLabel",
       .call = [](Given& g) { return LONG(g.api.PrintOneLabel(g.n, 1, g.label, &g.job.info)); },
       .values = {0, 9}, .result = 0, .firstSlot = true, .sent = kClear},
      {.name = "KtPrStartPrint",
       .call = [](Given& g) { return LONG(g.api.StartPrint(g.n, 1, g.label, &g.job.info)); },
       .values = {0, 9}, .result = 0, .firstSlot = true, .sent = kStop + kClear},
      {.name = "KtPrRePrintOneLabel",
       .call = [](Given& g) { return LONG(g.api.RePrintOneLabel(g.n, 1, g.label, &g.job.info)); },
       .values = {0}, .result = 0, .firstSlot = true, .sent = kStop + kClear},
      {.name = "KtPrCondDlgCB", .call = [](Given& g) {
         return LONG(g.api.CondDlgCB(nullptr, WM_COMMAND, 20714, 0, &g.info));
       }, .values = {0, 9, 265}, .result = 0, .firstSlot = true, .reloads = true},
      // clang-format on
  };
  for (const Row& r : rows) {
    for (DWORD n : r.values) {
      SCOPED_TRACE(testing::Message() << r.name << "(" << n << ")");
      host_.write_ini(ini_text());
      for (const Printer& p : kPrinters) {
        reset(p);
        api().InitPrinter(p.number, 0);
        api().IoControl(p.number, 16, reinterpret_cast<void*>(UINT_PTR(0x100 + p.number)), nullptr);
      }
      sim().command("dsr off", 1);
      ASSERT_EQ(0u, api().IsPrintReady(0, 0));
      sim().command("dsr on", 1);
      host_.write_ini("[VELDRIN Info]\r\n" + PrinterKeys(1, 3));

      Given given{*this, n};
      EXPECT_EQ(r.result, r.call(given));
      EXPECT_STREQ(r.text, given.text);
      EXPECT_EQ(r.firstSlot ? 0u : 60806u, api().GetPrintError(1, nullptr, 0));
      const std::string sent = received(kTwelve);
      EXPECT_EQ(r.sent, r.sent.empty() ? sent : sent.substr(0, r.sent.size()));
      for (const Printer& p : kPrinters) {
        EXPECT_EQ(LONG(0x100 + p.number), api().IoControl(p.number, 15, nullptr, nullptr));
        if (p.number > 1) {
          EXPECT_EQ("", received(p)) << "printer " << p.number;
        }
      }
      api().ClosePrinter(0);
      EXPECT_EQ(1u, api().IsPrintReady(0, 0));
      EXPECT_EQ(kStop, r.reloads ? received(kPrinters[2]) : received(kTwelve).substr(sent.size()));
    }
  }
}

TEST_F(System, EightPrintersSideBySide) {
  // Each printer's own line settings, and two or three copies on some.
  std::string ini = "[VELDRIN Info]\r\n";
  const int baud[8] = {57600, 19200, 38400, 9600, 19200, 57600, 9600, 38400};
  for (const Printer& p : kPrinters)
    ini += PrinterKeys(p.number, p.com(), baud[p.slot()], p.headMm, p.number % 2 ? 8 : 7,
                       p.number % 3 ? 0 : 2, p.number % 3);
  ASSERT_TRUE(host_.write_ini(ini));
  const char* parity[3] = {"none", "odd", "even"};
  std::vector<HostJob*> jobs;
  for (const Printer& p : kPrinters) {
    ASSERT_EQ(0, api().InitPrinter(p.number, 0));
    jobs.push_back(new HostJob(p.type(), 200, 100));
    jobs.back()->info.bIncremental = 1;
  }
  for (int round = 1; round <= 2; ++round) {
    for (const Printer& p : kPrinters) {
      HBITMAP b = LabelBitmap(label(p, round));
      const LONG copies = p.number == 2 ? 2 : p.number == 4 ? 3 : 1;
      EXPECT_EQ(0, round == 1 ? api().StartPrint(p.number, copies, b, &jobs[p.slot()]->info)
                              : api().PrintOneLabel(p.number, copies, b, &jobs[p.slot()]->info));
      DeleteObject(b);
    }
    // Polled in turn, one poll each, until every printer has finished.
    std::vector<LONG> state(8, 2);
    for (DWORD start = GetTickCount(); GetTickCount() - start < bounded(10000);) {
      for (const Printer& p : kPrinters)
        if (state[p.slot()] != 1)
          state[p.slot()] = api().IsPrintFinished(p.number, nullptr, 0, 0);
      if (std::count(state.begin(), state.end(), 1) == 8)
        break;
    }
    EXPECT_EQ(std::vector<LONG>(8, 1), state);
  }
  for (const Printer& p : kPrinters) {
    SCOPED_TRACE(p.number);
    const int copies = p.number == 2 ? 2 : p.number == 4 ? 3 : 1;
    for (int n = 1; n <= 2 * copies; ++n)
      EXPECT_EQ("", printed(p, n, label(p, n <= copies ? 1 : 2)));
    EXPECT_NE(std::string::npos,
              sim()
                  .command("settings", p.com())
                  .find("baud=" + std::to_string(baud[p.slot()]) +
                        " data=" + (p.number % 2 ? "8" : "7") + " parity=" + parity[p.number % 3] +
                        " stop=" + (p.number % 3 ? "1" : "2")));
    delete jobs[p.slot()];
    api().ClosePrinter(p.slot());
  }
  EXPECT_EQ(Leftovers{}, Left());
}
