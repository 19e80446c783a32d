// The whole system under faults and bad input, the way the host meets them:
// each line or printer fault gives its code and leaves nothing behind, and the
// host's usual way back prints the next label dot for dot; printer numbers
// outside their range and null pointers at every export do no harm; and
// eight printers print side by side, polled in turn.
#include <sstream>

#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// The line reports `events` in place of the transmitter's end after the
// driver's fifth chunk (a raster piece of the label): a fault in the middle
// of a send, at a known place.
void events_in_send(DWORD events) {
  Replace<kWaitCommEvent>([events, i = 0](HANDLE h, LPDWORD mask, LPOVERLAPPED o) mutable {
    if (++i != 5)
      return Real<kWaitCommEvent>()(h, mask, o);
    *mask = events;
    return TRUE;
  });
}
} // namespace

TEST_F(Wine, EveryFaultGivesItsCodeAndTheNextLabelPrints) {
  // The fault, as steps: "sim <command>" for printer 1, "label" (a label
  // printed to its end), "events <mask>" (in the next send), "timeout" (a
  // reply time-out of 300 ms), "nowhere" (printer 1 on a port nothing answers
  // on), "held" (another program holds the port), "fail <call>" (a step of
  // the port's open fails: the port is closed again). Then what the host does:
  // "start" (KtPrStartPrint), "follow" (KtPrPrintOneLabel), "ready", "poll"
  // (until an answer), "cut" (the line cut before the poll).
  struct Row {
    const char* fault;
    const char* act;
    LONG result;
    DWORD code;
  } rows[] = {
      {"sim close after 500", "start", -1, 60809},
      {"sim close after 3", "start", -1, 60809},
      {"label; sim close", "ready", 0, 60806},
      {"label; sim dsr off", "ready", 0, 60806},
      {"events 128", "start", -1, 60809}, // EV_ERR
      {"events 64", "start", -1, 60809},  // EV_BREAK
      {"events 16", "start", 0, 0},       // EV_DSR: the send goes on
      {"sim error F", "start poll", -1, 60811},
      {"timeout; sim silent on", "start poll", -1, 60816},
      {"timeout; sim pace 2000", "start cut poll", -1, 60816},
      {"nowhere", "ready", 0, 60800},
      {"nowhere", "start", -1, 60800},
      {"nowhere", "follow", -1, 60800},
      {"nowhere", "poll", 1, 0},
      {"held", "ready", 0, 60800},
      {"held", "start", -1, 60800},
      {"fail GetCommState", "ready", 0, 60800},
      {"fail SetCommState", "ready", 0, 60800},
      {"fail SetCommTimeouts", "start", -1, 60800},
      {"fail SetupComm", "ready", 0, 60800},
  };
  HostJob job(261, 200, 100);
  job.info.bIncremental = 1;
  HANDLE other = INVALID_HANDLE_VALUE;
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.fault << " / " << r.act);
    StartCalls();
    std::istringstream fault(r.fault);
    for (std::string step; std::getline(fault >> std::ws, step, ';');) {
      if (step.rfind("sim ", 0) == 0)
        sim().command(step.substr(4), 1);
      if (step == "label") {
        ASSERT_EQ(0, print(kTwelve, label(kTwelve), job, true));
        ASSERT_EQ(1, poll(kTwelve));
      }
      if (step.rfind("fail ", 0) == 0)
        Fail(step.substr(5));
      if (step.rfind("events ", 0) == 0)
        events_in_send(atoi(step.c_str() + 7));
      if (step == "timeout" || step == "nowhere") {
        host_.write_ini(step == "timeout" ? ini_text("ReplyTimeout=300\r\n")
                                          : "[VELDRIN Info]\r\n" + PrinterKeys(1, 40));
        api().InitPrinter(1, 0);
      }
      if (step == "held")
        other = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    }
    LONG result = 0;
    std::istringstream act(r.act);
    for (std::string step; act >> step;) {
      if (step == "start" || step == "follow")
        result += print(kTwelve, label(kTwelve), job, step == "start");
      if (step == "ready")
        result += api().IsPrintReady(0, 0);
      if (step == "cut")
        sim().command("close", 1);
      if (step == "poll")
        result += poll(kTwelve, nullptr, 3000);
    }
    EXPECT_EQ(r.result, result);
    restore();
    char text[256] = "";
    EXPECT_EQ(r.code, api().GetPrintError(1, text, sizeof text));
    EXPECT_EQ(r.code ? kMessages.at(r.code) : "", text);
    CloseHandle(other);
    other = INVALID_HANDLE_VALUE;
    // The host's way back: the printer closed, the line again, the settings,
    // ready, a new label.
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
// One export called with `n` where a printer number or slot index belongs.
LONG call_export(Wine& t, const std::string& name, DWORD n) {
  const DriverApi& api = t.api();
  HostJob job(261, 200, 100);
  LabelFormatParams params{};
  PrinterRef ref{{}, BYTE(n)};
  CondDialogInfo info{1, {}, &ref};
  if (name == "KtPrIsPrintFinished" || name == "KtPrWaitPrintFinished")
    t.sim().command("send 1B 4F 30 30 30 30 0D", 1);
  auto finished = [&] {
    LONG r = 2;
    for (int i = 0; i < 50 && r == 2; ++i)
      r = api.IsPrintFinished(n, nullptr, 0, 0);
    return r;
  };
  HBITMAP b = LabelBitmap(t.label(kTwelve));
  const LONG r = name == "KtPrInitPrinter"         ? api.InitPrinter(n, 0)
                 : name == "KtPrGetPrintError"     ? api.GetPrintError(n, nullptr, 0)
                 : name == "KtPrIoControl 16"      ? api.IoControl(n, 16, &params, nullptr)
                 : name == "KtPrIoControl 17"      ? api.IoControl(n, 17, &params, nullptr)
                 : name == "KtPrIsPrintReady"      ? api.IsPrintReady(n, 0)
                 : name == "KtPrClosePrinter"      ? api.ClosePrinter(n)
                 : name == "KtPrStopPrint"         ? api.StopPrint(n)
                 : name == "KtPrFeedLabel"         ? api.FeedLabel(n, 0)
                 : name == "KtPrIsPrintFinished"   ? finished()
                 : name == "KtPrWaitPrintFinished" ? api.WaitPrintFinished(n, 0)
                 : name == "KtPrPrintOneLabel"     ? api.PrintOneLabel(n, 1, b, &job.info)
                 : name == "KtPrStartPrint"        ? api.StartPrint(n, 1, b, &job.info)
                 : name == "KtPrRePrintOneLabel"
                     ? api.RePrintOneLabel(n, 1, b, &job.info)
                     : api.CondDlgCB(nullptr, WM_COMMAND, 20714, 0, &info);
  DeleteObject(b);
  return r;
}
} // namespace

TEST_F(Wine, NumbersOutOfRangeAtEveryExport) {
  // Each export with every value outside its range (printer numbers 0, 9 and
  // 265, whose low byte is 9; slot indexes 8 and 255). Before each call
  // printer 1 holds 60806 with its port open, and the INI file has moved it to
  // COM3, so a call that loads slot 0 again shows in the port it opens next.
  struct Row {
    const char* name;
    std::vector<DWORD> values;
    LONG result;
    bool firstSlot;   // it works on slot 0 (else on no slot at all)
    std::string sent; // what printer 1 then received
    bool reloads;     // slot 0's settings loaded again
  } rows[] = {
      {"KtPrInitPrinter", {0, 9, 265}, -1, false, "", false},
      {"KtPrGetPrintError", {0, 9}, 0, false, "", false},
      {"KtPrIoControl 16", {0, 9}, 0, false, "", false},
      {"KtPrIoControl 17", {0, 9}, 0, false, "", false},
      {"KtPrIsPrintReady", {8, 255}, 0, false, "", false},
      {"KtPrClosePrinter", {8, 255}, 1, false, "", false},
      {"KtPrStopPrint", {0, 9, 265}, 1, true, kStop, false},
      {"KtPrFeedLabel", {0, 9}, 1, true, kStop, false},
      {"KtPrIsPrintFinished", {0, 9}, 1, true, "", false},
      {"KtPrWaitPrintFinished", {0, 9}, 1, true, "", false},
      {"KtPrPrintOneLabel", {0, 9}, 0, true, kClear, false},
      {"KtPrStartPrint", {0, 9}, 0, true, kStop + kClear, false},
      {"KtPrRePrintOneLabel", {0}, 0, true, kStop + kClear, false},
      {"KtPrCondDlgCB", {0, 9, 265}, 0, true, "", true},
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

      EXPECT_EQ(r.result, call_export(*this, r.name, n));
      EXPECT_EQ(r.firstSlot ? 0u : 60806u, api().GetPrintError(1, nullptr, 0));
      const std::string sent = sim().captured(1);
      EXPECT_EQ(r.sent, r.sent.empty() ? sent : sent.substr(0, r.sent.size()));
      for (const Printer& p : kPrinters) {
        EXPECT_EQ(LONG(0x100 + p.number), api().IoControl(p.number, 15, nullptr, nullptr));
        if (p.number > 1) {
          EXPECT_EQ("", sim().captured(p.com())) << "printer " << p.number;
        }
      }
      api().ClosePrinter(0);
      EXPECT_EQ(1u, api().IsPrintReady(0, 0));
      EXPECT_EQ(kStop, r.reloads ? sim().captured(3) : sim().captured(1).substr(sent.size()));
    }
  }
}

TEST_F(Wine, EightPrintersSideBySide) {
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
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
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
