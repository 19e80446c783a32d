// The settings through the exports: the INI file as KtPrInitPrinter loads it,
// and the print position file as control request 17 reads it.
#include "support/position_file.h"
#include "tests/wine/fixture.h"

using namespace veldrin_test;

TEST_F(Settings, TheIniFileAsPrinterOneLoadsIt) {
  struct Row {
    const char* ini;            // the INI file's text; null: no file
    int com;                    // where printer 1's labels go
    const char* line;           // the line settings that port was given
    int offset;                 // where a 20 mm label lands
    const char* path = nullptr; // the name the host gives the INI file, null its own
  } rows[] = {
      {nullptr, 3, "baud=9600 data=8 parity=none stop=1", 198},
      {"VD00=7#19200#7#2#1\r\nVDMAX00=112", 7, "baud=19200 data=7 parity=odd stop=2", 552},
      {"VDMAX00=106\r\nVD01=5#38400#8#0#0#", 3, "baud=9600 data=8 parity=none stop=1", 516},
      {.ini = "VD00=7#19200#7#2#1", .com = 3, .line = "baud=9600", .offset = 198, .path = ""},
  };
  sim().command("dsr off", 1);
  EXPECT_EQ(0u, api().IsPrintReady(0, 0));
  EXPECT_EQ(0, api().InitPrinter(1, 0));
  EXPECT_EQ(0u, api().GetPrintError(1, nullptr, 0)) << "the load clears the error";
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.ini ? r.ini : "no file") + (r.path ? " empty path" : ""));
    reset(kPrinters[r.com - 1]);
    DeleteFileA(host_.ini_path().c_str());
    if (r.ini != nullptr) {
      ASSERT_TRUE(host_.write_ini(std::string("[VELDRIN Info]\r\n") + r.ini + "\r\n"));
    }
    if (r.path)
      Replace<kHVTGetIniFileName>([path = r.path] { return path; });
    EXPECT_EQ(0, api().InitPrinter(1, 0));
    HostJob job(261, 200, 100);
    ASSERT_EQ(0, print(kTwelve, label(kTwelve), job, true));
    EXPECT_NE(std::string::npos, sim().command("settings", r.com).find(r.line));
    EXPECT_EQ(1, poll(kTwelve));
    EXPECT_EQ("", PrintedDifference(sim(), r.com, 1, label(kTwelve), r.offset, bounded(10000)));
    api().ClosePrinter(0);
    restore();
  }
}

TEST_F(Settings, RequestSeventeenLooksUpThePrintPosition) {
  const std::string good = PositionFile(kPositionFields, 100,
                                        {{"Label A", "Other", "1", "99", "9"},
                                         {"LABEL a", "Soap", "1", "7", "3"},
                                         {"Label A", "Soap", "2", "1000", "4"},
                                         {"Label A", "Soap", "8", "55", "6"}});
  std::string more = good;
  Put32(more, 76, 5);
  struct Row {
    const char* name;
    std::string file;            // the position file; "": none
    const char* iniMore = "";    // more INI lines
    std::vector<DWORD> requests; // the printers request 17 names, in turn
    const char* sent;            // the conditions each printer's next label carries
    std::vector<DWORD> printers = {1};
    LONG result = 1;        // of each request
    bool noBuffer = false;  // the host gives no temporary buffer
    bool noIniPath = false; // nor the INI file's name
  } rows[] = {
      // clang-format off
      {"a record for printer 1", good, "", {1}, "^K007|^A31"},
      {"the start position cut to three digits", good, "", {2}, "^K100|^A41", {2}},
      {"another printer's request leaves this one's alone", good, "", {1, 2}, "^K007|^A31"},
      {"no record for printer 3", good, "", {3}, "^K012|^A51", {3}},
      {"no file", "", "", {1}, "^K012|^A51"},
      {"the file the INI file names", good, "[VD_PrintAdjust]\r\nVD_DBPrintPos=Other.adj\r\n", {1},
       "^K007|^A31"},
      {"no temporary buffer", good, "", {1}, "^K012|^A51", {1}, 1, true},
      {"more records than the file holds", more, "", {1}, "^K012|^A51"},
      {"printer 0 refused: no block written", good, "", {0}, "^K012|^A51", {1, 8}, 0},
      {.name = "no INI file: the file of the usual name", .file = good, .requests = {1},
       .sent = "^K007|^A31", .noIniPath = true},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string file = host_.dir() + (*r.iniMore ? "\\Other.adj" : "\\VD_PosAdjust.adj");
    ASSERT_TRUE(host_.write_ini(ini_text(r.iniMore)));
    if (!r.file.empty()) {
      ASSERT_TRUE(write_file(file, r.file));
    }
    if (r.noBuffer)
      Replace<kGetTmpBufFnPV>([](DWORD) { return nullptr; });
    if (r.noIniPath)
      Replace<kHVTGetIniFileName>([]() -> const char* { return nullptr; });
    StartCalls();
    LabelFormatParams params{};
    strcpy(params.szProduct, "Soap");
    strcpy(params.szFormat, "Label A");
    LONG size = sizeof params;
    for (DWORD printer : r.requests)
      EXPECT_EQ(r.result, api().IoControl(printer, 17, &params, &size));
    restore();
    for (DWORD printer : r.printers) {
      const Printer& p = kPrinters[printer - 1];
      reset(p);
      HostJob job(p.type(), 200, 100);
      ASSERT_EQ(0, print(p, label(p), job, true));
      const std::string sent = received(p);
      EXPECT_EQ(r.sent, sent.substr(sent.find("^K"), 10)) << "printer " << printer;
      api().ClosePrinter(p.slot());
    }
    EXPECT_EQ(Leftovers({0, 0, 0, 0, 0, 0, 0}), Left()) << "the buffer freed";
    if (!r.file.empty()) {
      EXPECT_EQ(r.file, read_file(file)) << "never written";
      EXPECT_EQ(std::vector<uintptr_t>(r.result ? r.requests.size() : 0, 0),
                Args(kLoadDbsInfoFnHF, 2))
          << "opened for reading";
      EXPECT_TRUE(DeleteFileA(file.c_str())) << "and closed";
    }
  }
  LabelFormatParams params{};
  LONG size = 515;
  EXPECT_EQ(0, api().IoControl(1, 17, &params, &size)) << "a record too small is refused";
}
