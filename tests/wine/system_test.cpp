// The whole system under faults and bad input, the way the host meets them:
// each line or printer fault gives its code and leaves nothing behind, and the
// host's usual way back prints the next label dot for dot; printer numbers
// outside their range and null pointers at every export do no harm; and
// eight printers print side by side, polled in turn.
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// Printer 1 on COM40, where nothing answers.
void missing_port(Wine& t) {
  t.host_.write_ini("[VELDRIN Info]\r\n" + PrinterKeys(1, 40));
  t.api().InitPrinter(1, 0);
}

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
  HostJob job(261, 200, 100);
  job.info.bIncremental = 1;
  auto start = [&](Wine& t) -> LONG { return t.print(kTwelve, label(kTwelve), job, true); };
  auto follow = [&](Wine& t) -> LONG { return t.print(kTwelve, label(kTwelve), job, false); };
  auto ready = [](Wine& t) -> LONG { return t.api().IsPrintReady(0, 0); };
  auto started_then = [&](const char* command) {
    return [&, command](Wine& t) {
      ASSERT_EQ(0, start(t));
      ASSERT_EQ(1, t.poll(kTwelve));
      ASSERT_TRUE(t.sim().ok(command, 1));
    };
  };
  HANDLE other = INVALID_HANDLE_VALUE;
  auto hold_port = [&](Wine&) {
    other = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
  };
  struct Row {
    const char* name;
    std::function<void(Wine&)> fault;
    std::function<LONG(Wine&)> act;
    LONG result;
    DWORD code;
  } rows[] = {
      {"the line cut in a label", [](Wine& t) { t.sim().command("close after 500", 1); }, start, -1,
       60809},
      {"the line cut in the stop command", [](Wine& t) { t.sim().command("close after 3", 1); },
       start, -1, 60809},
      {"the line cut between labels", started_then("close"), ready, 0, 60806},
      {"DSR off between labels", started_then("dsr off"), ready, 0, 60806},
      {"a line error in a send", [](Wine&) { events_in_send(EV_ERR); }, start, -1, 60809},
      {"a break in a send", [](Wine&) { events_in_send(EV_BREAK); }, start, -1, 60809},
      {"a DSR change in a send: it goes on", [](Wine&) { events_in_send(EV_DSR); }, start, 0, 0},
      {"a printer error", [](Wine& t) { t.sim().command("error F", 1); },
       [&](Wine& t) -> LONG { return start(t) + t.poll(kTwelve); }, -1, 60811},
      {"a printer that stops answering",
       [](Wine& t) {
         t.host_.write_ini(t.ini_text("ReplyTimeout=300\r\n"));
         t.api().InitPrinter(1, 0);
         t.sim().command("silent on", 1);
       },
       [&](Wine& t) -> LONG { return start(t) + t.poll(kTwelve); }, -1, 60816},
      {"the line cut while the host polls",
       [](Wine& t) {
         t.host_.write_ini(t.ini_text("ReplyTimeout=300\r\n"));
         t.api().InitPrinter(1, 0);
         t.sim().command("pace 2000", 1);
       },
       [&](Wine& t) -> LONG {
         const LONG started = start(t);
         t.sim().command("close", 1);
         return started + t.poll(kTwelve, nullptr, 3000);
       },
       -1, 60816},
      {"no port: ready", missing_port, ready, 0, 60800},
      {"no port: start", missing_port, start, -1, 60800},
      {"no port: a following label", missing_port, follow, -1, 60800},
      {"no port: a poll finds nothing to follow", missing_port,
       [](Wine& t) -> LONG { return t.api().IsPrintFinished(1, nullptr, 0, 0); }, 1, 0},
      {"the port held by another program: ready", hold_port, ready, 0, 60800},
      {"the port held by another program: start", hold_port, start, -1, 60800},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    StartCalls();
    r.fault(*this);
    EXPECT_EQ(r.result, r.act(*this));
    restore();
    DWORD code = 0;
    const std::string text = error_text(kTwelve, &code);
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.code ? kMessages.at(r.code) : "", text);
    CloseHandle(other);
    other = INVALID_HANDLE_VALUE;
    // The host's way back: the printer closed, the line again, the settings,
    // ready, a new label.
    api().ClosePrinter(0);
    for (const char* again : {"reopen", "dsr on", "error off", "silent off", "pace 5"})
      sim().command(again, 1);
    reset(kTwelve);
    host_.write_ini(ini_text());
    ASSERT_EQ(0, api().InitPrinter(1, 0));
    EXPECT_EQ(1u, api().IsPrintReady(0, 0));
    EXPECT_EQ(0, start(*this));
    EXPECT_EQ(1, poll(kTwelve));
    EXPECT_EQ("", printed(kTwelve, 1, label(kTwelve)));
    EXPECT_EQ(1u, api().ClosePrinter(0));
    EXPECT_EQ(Leftovers{}, Left()) << "nothing left once the printer is closed";
  }
}

TEST_F(Wine, NumbersOutOfRangeAtEveryExport) {
  // Each export with every value outside its range (printer numbers 0, 9 and
  // 265, whose low byte is 9; slot indexes 8 and 255). Before each call
  // printer 1 holds 60806 with its port open, and the INI file has moved it to
  // COM3, so a call that loads slot 0 again shows in the port it opens next.
  HostJob job(261, 200, 100);
  auto print_with = [&](auto fn) {
    return [&, fn](Wine& t, DWORD n) -> LONG {
      HBITMAP b = LabelBitmap(t.label(kTwelve));
      const LONG r = (t.api().*fn)(n, 1, b, &job.info);
      DeleteObject(b);
      return r;
    };
  };
  struct Row {
    const char* name;
    std::vector<DWORD> values;
    std::function<LONG(Wine&, DWORD)> call;
    LONG result;
    bool firstSlot;   // it works on slot 0 (else on no slot at all)
    std::string sent; // what printer 1 then received
    bool reloads;     // slot 0's settings loaded again
  } rows[] = {
      {"KtPrInitPrinter",
       {0, 9, 265},
       [](Wine& t, DWORD n) { return t.api().InitPrinter(n, 0); },
       -1,
       false,
       "",
       false},
      {"KtPrGetPrintError",
       {0, 9},
       [](Wine& t, DWORD n) -> LONG { return t.api().GetPrintError(n, nullptr, 0); },
       0,
       false,
       "",
       false},
      {"KtPrIoControl 16",
       {0, 9},
       [](Wine& t, DWORD n) {
         return t.api().IoControl(n, 16, reinterpret_cast<void*>(77), nullptr);
       },
       0,
       false,
       "",
       false},
      {"KtPrIoControl 17",
       {0, 9},
       [](Wine& t, DWORD n) {
         LabelFormatParams params{};
         return t.api().IoControl(n, 17, &params, nullptr);
       },
       0,
       false,
       "",
       false},
      {"KtPrIsPrintReady",
       {8, 255},
       [](Wine& t, DWORD n) -> LONG { return t.api().IsPrintReady(n, 0); },
       0,
       false,
       "",
       false},
      {"KtPrClosePrinter",
       {8, 255},
       [](Wine& t, DWORD n) -> LONG { return t.api().ClosePrinter(n); },
       1,
       false,
       "",
       false},
      {"KtPrStopPrint",
       {0, 9, 265},
       [](Wine& t, DWORD n) -> LONG { return t.api().StopPrint(n); },
       1,
       true,
       kStop,
       false},
      {"KtPrFeedLabel",
       {0, 9},
       [](Wine& t, DWORD n) -> LONG { return t.api().FeedLabel(n, 0); },
       1,
       true,
       kStop,
       false},
      {"KtPrIsPrintFinished",
       {0, 9},
       [](Wine& t, DWORD n) {
         t.sim().command("send 1B 4F 30 30 30 30 0D", 1);
         LONG r = 2;
         for (int i = 0; i < 50 && r == 2; ++i)
           r = t.api().IsPrintFinished(n, nullptr, 0, 0);
         return r;
       },
       1,
       true,
       "",
       false},
      {"KtPrWaitPrintFinished",
       {0, 9},
       [](Wine& t, DWORD n) -> LONG {
         t.sim().command("send 1B 4F 30 30 30 30 0D", 1);
         return t.api().WaitPrintFinished(n, 0);
       },
       1,
       true,
       "",
       false},
      {"KtPrPrintOneLabel", {0, 9}, print_with(&DriverApi::PrintOneLabel), 0, true, kClear, false},
      {"KtPrStartPrint",
       {0, 9},
       print_with(&DriverApi::StartPrint),
       0,
       true,
       kStop + kClear,
       false},
      {"KtPrRePrintOneLabel",
       {0},
       print_with(&DriverApi::RePrintOneLabel),
       0,
       true,
       kStop + kClear,
       false},
      {"KtPrCondDlgCB",
       {0, 9, 265},
       [](Wine& t, DWORD n) -> LONG {
         PrinterRef ref{};
         ref.nPrinterNo = BYTE(n);
         CondDialogInfo info{1, {}, &ref};
         return t.api().CondDlgCB(nullptr, WM_COMMAND, 20714, 0, &info);
       },
       0,
       true,
       "",
       true},
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

      EXPECT_EQ(r.result, r.call(*this, n));
      EXPECT_EQ(r.firstSlot ? 0u : 60806u, api().GetPrintError(1, nullptr, 0));
      const std::string sent = sim().captured(1);
      EXPECT_EQ(r.sent, r.sent.empty() ? sent : sent.substr(0, r.sent.size()));
      for (const Printer& p : kPrinters) {
        EXPECT_EQ(LONG(0x100 + p.number), api().IoControl(p.number, 15, nullptr, nullptr));
        if (p.number > 1)
          EXPECT_EQ("", sim().captured(p.com())) << "printer " << p.number;
      }
      api().ClosePrinter(0);
      EXPECT_EQ(1u, api().IsPrintReady(0, 0));
      EXPECT_EQ(kStop, r.reloads ? sim().captured(3) : sim().captured(1).substr(sent.size()));
    }
  }
}

TEST_F(Wine, NullPointersAndBadValuesFromTheHost) {
  auto print = [](Wine& t, std::function<void(HostJob&)> change, bool start = false,
                  LONG quantity = 1) -> LONG {
    HostJob job(261, 200, 100);
    job.add_extra("EXTRA");
    change(job);
    HBITMAP b = LabelBitmap(t.label(kTwelve));
    const LONG r = start
                       ? t.api().StartPrint(1, quantity, b, job.info.pFormat ? &job.info : nullptr)
                       : t.api().PrintOneLabel(1, quantity, b, &job.info);
    DeleteObject(b);
    return r;
  };
  HANDLE brush = CreateSolidBrush(0);
  HBITMAP deleted = CreateBitmap(8, 8, 1, 1, nullptr);
  DeleteObject(deleted);
  struct Row {
    const char* name;
    std::function<LONG(Wine&)> call;
    LONG result;
    DWORD code;
    std::string sent; // what printer 1 received
  } rows[] = {
      {"no job record",
       [&](Wine& t) {
         return print(
             t, [](HostJob& j) { j.info.pFormat = nullptr; }, true);
       },
       -1, 60805, kStop},
      {"no label format",
       [&](Wine& t) { return print(t, [](HostJob& j) { j.info.pFormat = nullptr; }); }, -1, 60805,
       ""},
      {"no conditions",
       [&](Wine& t) { return print(t, [](HostJob& j) { j.info.pCondition = nullptr; }); }, -1,
       60805, ""},
      {"no print data",
       [&](Wine& t) { return print(t, [](HostJob& j) { j.info.pPrintData = nullptr; }); }, -1,
       60805, ""},
      {"a negative quantity",
       [&](Wine& t) {
         return print(
             t, [](HostJob&) {}, false, -1);
       },
       -1, 60805, ""},
      {"a label handle that is a brush",
       [&](Wine& t) -> LONG {
         HostJob job(261, 200, 100);
         return t.api().PrintOneLabel(1, 1, HBITMAP(brush), &job.info);
       },
       -1, 60804, ""},
      {"a label handle already deleted",
       [&](Wine& t) -> LONG {
         HostJob job(261, 200, 100);
         return t.api().PrintOneLabel(1, 1, deleted, &job.info);
       },
       -1, 60804, ""},
      {"no extra records",
       [&](Wine& t) {
         return print(t,
                      [](HostJob& j) { j.info.bIncremental = 1, j.info.pExtraRecords = nullptr; });
       },
       0, 0, kClear},
      {"no extra record count",
       [&](Wine& t) {
         return print(t, [](HostJob& j) { j.info.bIncremental = 1, j.info.pExtraCount = nullptr; });
       },
       0, 0, kClear},
      {"no remaining count",
       [](Wine& t) {
         t.api().IsPrintFinished(1, nullptr, 0, 0);
         t.sim().command("send 1B 4F 30 30 30 33 0D", 1);
         return t.poll(kTwelve, nullptr);
       },
       0, 0, ""},
      {"no callback record",
       [](Wine& t) -> LONG { return t.api().CondDlgCB(nullptr, WM_INITDIALOG, 0, 0, nullptr); }, 0,
       0, ""},
      {"no print data record", [](Wine& t) -> LONG { return t.api().GetPrintData(1, nullptr); }, 1,
       0, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    EXPECT_EQ(r.result, r.call(*this));
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    const std::string sent = sim().captured(1);
    EXPECT_EQ(r.sent, r.sent.empty() ? sent : sent.substr(0, r.sent.size()));
    if (r.result == 0 && r.sent == kClear)
      EXPECT_EQ(std::string::npos, sent.find("EXTRA")) << "no extra record";
    api().ClosePrinter(0);
  }
  DeleteObject(brush);
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
