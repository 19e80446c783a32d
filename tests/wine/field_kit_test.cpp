// The kit's commands as an installer or a developer runs them, each run a labelhost process against
// the simulated printers: ports, loopback (the simulator's loopback mode for the jumper), check, a
// printer's steps, the print position file and the pictures.
#include <algorithm>

#include "labelhost/label_image.h"
#include "resources/version_git.h"
#include "support/position_file.h"
#include "tests/wine/fixture.h"

using namespace veldrin_test;

namespace {
// One labelhost process in the host's folder: simulator commands for printer 3 (COM3) first, a port
// this program holds meanwhile; its exit status and, for each key, its lines that start with it
// (LinesOf): whole, or their beginning where the text ends in "..."; steps by their names.
struct Run {
  std::string args;
  std::vector<const char*> sim = {};
  int hold = 0;
  int status = 0;
  std::map<std::string, std::string> lines = {};
};

void Expect(Wine& test, const std::vector<Run>& runs) {
  char was[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, was);
  SetCurrentDirectoryA(test.host_.dir().c_str());
  for (const Run& r : runs) {
    SCOPED_TRACE(r.args);
    for (const char* command : r.sim)
      EXPECT_TRUE(Wine::sim().ok(command, 3));
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out, r.hold)) << out;
    for (const auto& [key, text] : r.lines) {
      const size_t n = text.ends_with("...") ? text.size() - 3 : std::string::npos;
      const std::string got = LinesOf(out, key, key == "step: " ? ":" : "\r\n");
      EXPECT_EQ(text.substr(0, n), got.substr(0, n)) << key;
    }
    test.reset(kPrinters[2]);
  }
  SetCurrentDirectoryA(was);
}

// COM70, while this program runs: a DOS device name that outlives its device,
// as a USB adapter's may (its target's folder is gone).
const struct GoneDevice {
  GoneDevice() { DefineDosDeviceA(0, "COM70", "C:\\gone\\serial"); }
  ~GoneDevice() { DefineDosDeviceA(DDD_REMOVE_DEFINITION, "COM70", nullptr); }
} g_gone;

// Leaves COMn's flow control as another program may: DTR and RTS on, CTS flow control on or off.
void set_port_flow(int com, bool ctsFlow) {
  const std::string name = "\\\\.\\COM" + std::to_string(com);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(GetCommState(h, &dcb));
  dcb.fOutxCtsFlow = ctsFlow;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  EXPECT_TRUE(SetCommState(h, &dcb));
  CloseHandle(h);
}

INT_PTR CALLBACK quiet_dialog(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}
} // namespace

TEST_F(Kit, PortsSaysWhatOpeningEachPortGives) {
  const std::string powered = "free; CTS on, DSR on: something powered holds them on (a printer "
                              "switched on, or a loopback jumper)  [SERIALCOMM \\Device\\Serial";
  // clang-format off
  Expect(*this, {
      {.args = "ports", .hold = 2,
       .lines = {{"port: COM2: ", "in use by another program, or access denied (error 5)  [SERIALCOMM "
                     "\\Device\\Serial1, DOS device \\Device\\Serial1]"},
                 {"port: COM3: ", powered + "2, DOS device \\Device\\Serial2]"},
                 {"port: COM20: ", "opens, but no serial port answers behind it (GetCommState: error "
                     "1)  [SERIALCOMM \\Device\\Serial19, DOS device \\Device\\Serial19]"},
                 {"port: COM70: ", "cannot be opened (error 3: a folder of the path is not there)  "
                     "[DOS device \\??\\C:\\gone\\serial]"},
                 {"port: COM200: ", ""}}},
      {.args = "ports COM200 com1", .status = 1,
       .lines = {{"port: COM", "1: " + powered + "0, DOS device \\Device\\Serial0] | 200: not present "
                     "(error 2)  [not named by Windows]"}}},
      // Nothing powered behind the port: its printer's lines are off.
      {.args = "ports COM3", .sim = {"cts off", "dsr off"},
       .lines = {{"port: COM", "3: free; CTS off, DSR off: nothing powered behind it (nothing attached, a "
                     "printer switched off, or a cable without these wires)  [SERIALCOMM "
                     "\\Device\\Serial2, DOS device \\Device\\Serial2]"}}},
  });
  // clang-format on
}

TEST_F(Kit, LoopbackSaysWhichLinesAndBytesCameBack) {
  const std::string back = "TX -> RX: 256 of 256 bytes sent, 256 came back, all as sent";
  const std::string none = "TX -> RX: 256 of 256 bytes sent, 0 came back";
  const std::string off = "RTS -> CTS: does not follow (RTS off: CTS off; RTS on: CTS off) | DTR "
                          "-> DSR: does not follow (DTR off: DSR off; DTR on: DSR off)";
  // clang-format off
  Expect(*this, {
      {.args = "loopback com3 --baud 115200", .sim = {"loopback on"},
       .lines = {{"loopback: ", "COM3 at 115200 baud..."}, {"data: ", back}, {"result: ", "all came back..."},
                 {"line: ", "RTS -> CTS: follows (RTS off: CTS off; RTS on: CTS on) | DTR -> DSR: follows "
                     "(DTR off: DSR off; DTR on: DSR on)"}}},
      // The printer itself: nothing comes back, its lines stay on.
      {.args = "loopback COM3", .status = 1, .lines = {{"data: ", none},
                 {"line: ", "RTS -> CTS: does not follow (RTS off: CTS on; RTS on: CTS on) | DTR -> DSR: "
                     "does not follow (DTR off: DSR on; DTR on: DSR on)"},
                 {"result: ", "FAILED: a live device, not a jumper: CTS and DSR stay on whatever RTS and "
                     "DTR do"}}},
      // Nothing attached: no byte back, no line ever on.
      {.args = "loopback COM3", .sim = {"cts off", "dsr off"}, .status = 1,
       .lines = {{"data: ", none}, {"line: ", off},
                 {"result: ", "FAILED: nothing attached: no byte came back and CTS and DSR never came on"}}},
      // A jumper on TX-RX only, the printer's lines off.
      {.args = "loopback COM3", .sim = {"loopback data", "cts off", "dsr off"}, .status = 1,
       .lines = {{"data: ", back}, {"line: ", off}, {"result: ", "FAILED: RTS -> CTS, DTR -> DSR"}}},
      {.args = "loopback COM3", .sim = {"loopback on"}, .hold = 3, .status = 1,
       .lines = {{"loopback: ", "COM3 at 9600 baud..."}, {"data: ", ""},
                 {"result: ", "FAILED: COM3 in use by another program, or access denied (error 5)"}}},
      {.args = "loopback", .status = 2, .lines = {{"labelhost loopback: ", "COMn: the port to test is..."}}},
  });
  // clang-format on
}

TEST_F(Kit, TheCheckTakesTheHostsStepsAndNamesWhatFailed) {
  ASSERT_TRUE(host_.write_ini(ini_text("ReplyTimeout=1000\r\n")));
  // Printer 1 has a stored position for the check's label format.
  ASSERT_TRUE(
      write_file(host_.dir() + "\\VD_PosAdjust.adj",
                 PositionFile(kPositionFields, 100, {{"VELDRIN CHECK", "", "1", "12", "4"}})));
  const std::string ready = "INI file | KtPrGetPrintData | label fit | KtPrInitPrinter | "
                            "KtPrIoControl 17 | KtPrIsPrintReady";
  const std::string all = ready + " | KtPrStartPrint | KtPrIsPrintFinished";
  std::string version = read_file(VELDRIN_VERSION_FILE);
  version.erase(version.find_last_not_of(" \r\n") + 1);
  // What labelhost reads for printer n: the INI file's keys, its settings and its record.
  auto reads = [&](int n, int mm, const std::string& record) {
    const std::string p = std::to_string(n), key = "=" + p + "#57600#8#0#0# | [VELDRIN Info] ";
    return "ini file " + host_.ini_path() + ": there, readable | [VELDRIN Info] VD0" +
           std::to_string(n - 1) + key + "VDMAX0" + std::to_string(n - 1) + "=" +
           std::to_string(mm) +
           " | [VELDRIN Info] ReplyTimeout=1000 | [System Data] WaitWriteTime: "
           "not in the file (the driver's default: 5 ms) | [VD_PrintAdjust] VD_DBPrintPos: not in "
           "the file (the driver's default: VD_PosAdjust.adj) | printer " +
           p + ": COM" + p +
           ", 57600 baud, 8 data bits, 1 stop bit, parity none, maximum print width " +
           std::to_string(mm) + " mm | position file: " + record;
  };
  // A free port: the flags the driver keeps, the modem lines after the open.
  auto port = [](const std::string& com, const char* cts, const char* lines) {
    return com + ": free | " + com + " keeps (the driver sets only the line settings): CTS flow " +
           cts + ", DSR flow off, DSR sensitivity off, DTR control enable, RTS control enable, " +
           "XON/XOFF out off, in off | " + com + " lines after the open: " + lines;
  };
  const char* on = "CTS on, DSR on, RLSD off, RI off";
  const char* nothing = "none: nothing came from the printer";
  for (int com : {1, 2, 3})
    set_port_flow(com, false);
  // clang-format off
  Expect(*this, {
      // Both models in one process: the test label (50 x 30 mm: 360 rows of 75
      // bytes at two characters each and 40 bytes of commands at 12 dots/mm,
      // 240 rows of 50 bytes and 39 at 8) and what it must show.
      {.args = "check --printer 1 --model 12 --save-label 1.bmp + check --printer 2 --model 8 "
               "--save-label 2.bmp",
       .lines = {{"step: ", all + " | " + all}, {"warning: ", ""}, {"error: ", ""},
                 {"version: ", "VELDRIN " + version + " (TLX-Pro label printer driver, file " + version +
                     "), build " + std::to_string(VELDRIN_BUILD_NUMBER) + ", commit " VELDRIN_COMMIT "..."},
                 {"labelhost reads: ", reads(1, 56, "format \"VELDRIN CHECK\" product \"\": start 12 mm, "
                     "density 4") + " | " + reads(2, 112, "no record for format \"VELDRIN CHECK\" product \"\" "
                     "(no position file, or none for this printer): the check's own start 0 mm, density 5")},
                 {"driver reports: ", "KtPrGetPrintData: type 261, 12 dots/mm, the model's maximum print width "
                     "106 mm, printer 1 | KtPrIoControl 13: type 261, printer 1 | its label to a file after "
                     "KtPrIoControl 17: start 12 mm, density 4, 36 dots from the head's left edge (centred in "
                     "56 mm) | KtPrGetPrintData: type 264, 8 dots/mm, the model's maximum print width 112 mm..."},
                 {"port: ", port("COM1", "off", on) + " | " + port("COM2", "off", on)},
                 {"send: ", "the test label is 54040 bytes: about 9.4 s at 57600 baud (10 bits a byte, COM1 "
                     "57600 8-N-1) | the test label is 24039 bytes: about 4.2 s at 57600 baud (10 bits a "
                     "byte, COM2 57600 8-N-1)"},
                 {"label: squares of 1", "5 mm mean the printer is the 8 dots/mm model..."},
                 {"label: squares of 6", ".7 mm, or a blank strip, mean the printer is the 12 dots/mm..."}}},
      // A port named in the INI file with nothing behind it, one that is not
      // there, one another program holds.
      {.args = "init 4 --serial COM20,57600,8,N,1 + check --printer 4 --model 8", .status = 1,
       .lines = {{"step: ", ready}, {"error: ", "60800 " + kMessages.at(60800)}, {"reply: ", nothing},
                 {"port: ", "COM20: opens, but no serial port answers behind it (GetCommState: error 1)"},
                 {"hint: ", "cable and port: COM20 opens, but no serial port answers behind it..."}}},
      {.args = "init 4 --serial COM200,57600,8,N,1 + check --printer 4 --model 8", .status = 1,
       .lines = {{"step: ", ready}, {"port: ", "COM200: not present (error 2)"}, {"reply: ", nothing},
                 {"hint: ", "cable and port: COM200 is not on this PC..."}}},
      {.args = "check --printer 3", .hold = 3, .status = 1,
       .lines = {{"step: ", ready}, {"error: ", "60800 " + kMessages.at(60800)},
                 {"port: ", "COM3: in use by another program, or access denied (error 5)"},
                 {"hint: ", "cable and port: COM3 is in use by another program..."}}},
      // The printer off, silent, out of ribbon, at other line settings.
      {.args = "check --printer 3", .sim = {"dsr off"}, .status = 1,
       .lines = {{"step: ", ready}, {"error: ", "60806 " + kMessages.at(60806)}, {"reply: ", nothing},
                 {"port: COM3 lines after the open: ", "CTS on, DSR off, RLSD off, RI off"},
                 {"hint: ", "printer power and DSR..."}}},
      {.args = "check --printer 3", .sim = {"silent on"}, .status = 1,
       .lines = {{"step: ", all}, {"result: ", "FAILED at KtPrIsPrintFinished"}, {"reply: ", nothing},
                 {"error: ", "60816 " + kMessages.at(60816)}, {"hint: ", "the printer did not..."}}},
      {.args = "check --printer 3", .sim = {"error F always"}, .status = 1,
       .lines = {{"step: ", all}, {"error: ", "60811 " + kMessages.at(60811)}, {"hint: ", "the printer's own..."},
                 {"reply: ", "ESC F CR: the printer reports its ribbon used up"}}},
      {.args = "check --printer 3", .sim = {"line 9600-8-none-1"}, .status = 1,
       .lines = {{"step: ", all}, {"error: ", "60812 " + kMessages.at(60812)}, {"hint: ", "line settings..."},
                 {"reply: ", "ESC T CR: the printer received bytes with a parity error"}}},
  });
  // clang-format on
  // Each label has one-dot lines every 10 mm, and printed dot for dot, centred on its head.
  for (const auto& [p, columns] :
       {std::pair{kTwelve, "0 120 240 360 480 599 "}, std::pair{kEight, "0 80 160 240 320 399 "}}) {
    Picture label;
    ASSERT_TRUE(ReadPicture(host_.dir() + "\\" + std::to_string(p.number) + ".bmp", &label));
    EXPECT_EQ(30 * p.dots, label.height);
    std::string full;
    for (int x = 0; x < label.width; ++x) {
      int black = 0;
      for (int y = 0; y < label.height; ++y)
        black += label.is_black(x, y);
      full += black == label.height ? std::to_string(x) + " " : "";
    }
    EXPECT_EQ(columns, full);
    EXPECT_EQ("", PrintedDifference(sim(), p.com(), 1, label, p.number == 1 ? 36 : 248));
  }
  // Wine does not hold a pseudo-terminal's output back for CTS: the label goes
  // out here, where on Windows it would not.
  set_port_flow(3, true);
  Expect(*this, {{.args = "check --printer 3",
                  .sim = {"cts off"},
                  .lines = {{"port: ", port("COM3", "on", "CTS off, DSR on, RLSD off, RI off")},
                            {"warning: ", "COM3 sends only while CTS is on (CTS flow control, kept "
                                          "by the driver) and CTS is off..."}}}});
  set_port_flow(3, false);
}

TEST_F(Kit, ThePrinterCommandsTakeTheHostsStepsOneAtATime) {
  ASSERT_TRUE(host_.write_ini(ini_text("ReplyTimeout=2500\r\n")));
  // clang-format off
  Expect(*this, {
      // What the driver tells the host; a printer's steps in one process, the
      // settings loaded first; a job of two labels followed; a wait with no
      // job to follow, which ends after ReplyTimeout.
      {.args = "info + error 3 + ready 3 + stop 3 + print --printer 3 --quantity 2 --no-wait + wait 3 + wait 3",
       .sim = {"pace 1000"}, .status = 1,
       .lines = {{"  print data for type ", "261 (result 1): dots/10mm 120, 50, 200, max width 1060 (0.1 mm), "
                     "2000, 0, 0, printer 1, 0 | 264 (result 1): dots/10mm 80, 50, 200, max width 1120 (0.1 "
                     "mm), 2000, 0, 0, printer 1, 0"},
                 {"label ", "1: KtPrStartPrint sent (..."},
                 {"KtPrInitPrinter(", "3) = 0 (the host's first step, not yet taken in this process)"},
                 {"printer 3: ", "no error | ready | stop command sent | 1 label still to print | finished "
                     "| no reply for 2500 ms (ReplyTimeout): no job running, one that ended before the wait "
                     "began, or a printer that does not answer"}}},
      {.args = "print --printer 3 --file l.prn", .lines = {{"label ", "1: KtPrPrintOneLabel sent (..."}}},
      {.args = "print --printer 3", .sim = {"error F always"}, .status = 1,
       .lines = {{"printer 3: ", "the job failed | error 60811: " + kMessages.at(60811)}}},
      {.args = "ready 3", .sim = {"dsr off"}, .status = 1,
       .lines = {{"printer 3: ", "not ready | error 60806: " + kMessages.at(60806)}}},
      {.args = "stop 3", .hold = 3, .status = 1,
       .lines = {{"printer 3: ", "stop failed | error 60800: " + kMessages.at(60800)}}},
      // A second check in the process, which follows the job for --wait
      // seconds only, with its own label format and a label it cannot save.
      {.args = "check --printer 3 + check --printer 3 --format F1 --product P1 --wait 1 --save-label "
               "C:\\gone\\l.bmp", .sim = {"pace 2000"}, .status = 1,
       .lines = {{"labelhost reads: position file: no record for format \"F1\"", " product \"P1\"..."},
                 {"labelhost check: ", "cannot write C:\\gone\\l.bmp"},
                 {"step: KtPrIsPrintFinished: no", " end of the job within 1 s..."}}},
  });
  // clang-format on
}

TEST_F(Kit, PosdbMakesListsAndWritesThePositionFileAsTheDriverReadsIt) {
  std::vector<FileField> odd = kPositionFields;
  odd.push_back({"Note", 8, 96}); // past the record's 100 bytes
  ASSERT_TRUE(write_file(host_.dir() + "\\odd.adj",
                         PositionFile(odd, 100, {{"A\"B\\C", "\xC4\x01", "1", "12", "4"}})));
  ASSERT_TRUE(write_file(host_.dir() + "\\bad.adj", PositionFile(kPositionFields, 100, {}, -1, 5)));
  // clang-format off
  Expect(*this, {
      // A new file; a record added, found without regard to case and updated
      // in place, one for printer 2; the INI file as it was for what follows.
      {.args = "posdb create p.adj Lot:8 + posdb list p.adj + posdb set p.adj --format \"Label A\" "
               "--product P1 --printer 1 --start 12 --density 4 + posdb set p.adj --format \"LABEL a\" "
               "--product P1 --printer 1 --start 15 --density 6 + posdb set p.adj --format \"Label A\" "
               "--printer 2 --start 3 --density 9 + posdb list p.adj + posdb get p.adj --format "
               "\"label a\" --product P1 --printer 1 + init 3 + posdb get p.adj --format \"Label A\" "
               "--product P1 --printer 2",
       .status = 1,
       .lines = {{"created ", "p.adj: 6 fields, records of 152 bytes"},
                 {"stored: ", "format \"Label A\" product \"P1\" printer 1: start 12 density 4 | format "
                     "\"LABEL a\" product \"P1\" printer 1: start 15 density 6 | format \"Label A\" product "
                     "\"\" printer 2: start 3 density 9"},
                 {"p.adj: ", "0 records of 152 bytes, 6 fields, stored length 6208, file length 6208 | 2 "
                     "records of 152 bytes, 6 fields, stored length 6512, file length 6512"},
                 {"fields: ", "Format 64@0 Product 64@64 MacNo 4@128 StartPos 8@132 Contrast 4@140 Lot 8@144 "
                     "| Format..."},
                 {"record ", "1: Format=\"Label A\" Product=\"P1\" MacNo=\"1\" StartPos=\"15\" Contrast=\"6\" "
                     "Lot=\"\" | 2: Format=\"Label A\" Product=\"\" MacNo=\"2\" StartPos=\"3\" Contrast=\"9\" "
                     "Lot=\"\""},
                 {"found: ", "format \"label a\" product \"P1\" printer 1: start 15 density 6"},
                 {"printer 3: ", "COM3, 57600 baud..."},
                 {"not found: ", "format \"Label A\" product \"P1\" printer 2"}}},
      {.args = "posdb create p.adj", .status = 1, .lines = {{"labelhost: ", "cannot create p.adj (error 80)"}}},
      // Texts shown escaped, a field past the record; no file to store into.
      {.args = "posdb list odd.adj + posdb set gone.adj --format F --printer 1 --start 1 --density 1",
       .status = 1,
       .lines = {{"record ", R"(1: Format="A\"B\\C" Product="\xC4\x01" MacNo="1" StartPos="12" Contrast="4" )"
                     "Note=<outside the record>"},
                 {"not stored: ", "no file, a damaged file, or one the host cannot open for writing"}}},
      {.args = "posdb list bad.adj", .status = 1,
       .lines = {{"damaged: ", "the counts, sizes or lengths do not fit the file"}}},
      {.args = "posdb create q.adj Lot:0", .status = 2,
       .lines = {{"labelhost: ", "bad field Lot:0 (NAME or NAME:WIDTH, width 1..65536)"}}},
  });
  // clang-format on
  // The bytes: the header's length, record size, count and field count, each
  // field's width, offset and name, the two records, all else zero (where
  // the helper writes its filler bytes 0x5C and 0x77).
  // clang-format off
  std::string want = PositionFile({{"Format", 64, 0}, {"Product", 64, 64}, {"MacNo", 4, 128},
      {"StartPos", 8, 132}, {"Contrast", 4, 140}, {"Lot", 8, 144}}, 152,
      {{"Label A", "P1", "1", "15", "6"}, {"Label A", "", "2", "3", "9"}});
  // clang-format on
  std::replace(want.begin(), want.begin() + 2272 + 6 * 656, '\x5C', '\0');
  std::replace(want.begin(), want.begin() + 2272 + 6 * 656, '\x77', '\0');
  EXPECT_EQ(want, read_file(host_.dir() + "\\p.adj"));
}

TEST_F(Kit, TheDialogsAndDiffWriteAndReadPictures) {
  // 64 x 64 labels, white but for the dots given.
  for (const auto& [name, dots] : std::map<std::string, std::vector<int>>{
           {"a.bmp", {}}, {"b.bmp", {20, 20, 44, 44}}, {"c.bmp", {31, 48, 47, 60}}}) {
    Picture label{64, 64, std::vector<uint8_t>(64 * 64)};
    for (size_t i = 0; i < dots.size(); i += 2)
      label.black[dots[i + 1] * 64 + dots[i]] = 1;
    HBITMAP bitmap = LabelBitmap(label);
    EXPECT_TRUE(SaveLabelBitmap(bitmap, (host_.dir() + "\\" + name).c_str()));
    DeleteObject(bitmap);
  }
  // clang-format off
  Expect(*this, {
      // The driver's dialog pictured; its changes to the host's dialog, none when that is inactive.
      {.args = "setup 3 --screenshot setup.png + conddlg 3 --report + conddlg 3 --inactive --report",
       .lines = {{"picture of ", "\"Printer setting\" saved in setup.png"}, {"setup printer 3: ", "result 1"},
                 {"control 22: ", "enabled hidden \"Detail\" | enabled shown \"Detail\""},
                 {"control 20701: ", "disabled shown \"200\" | enabled shown \"17\""},
                 {"control 20714: ", "enabled shown \"Printer\" | enabled shown \"Printer\""}}},
      {.args = "setup 3 --screenshot C:\\gone\\s.png", .status = 1,
       .lines = {{"labelhost: ", "cannot write C:\\gone\\s.png"}}},
      {.args = "setup 3 --no-format --screenshot none.png", .status = 1,
       .lines = {{"message box: ", kMessages.at(60807)}, {"setup printer 3: ", "result 0"}}},
      // The changed regions of b and of c after a (two dots apart, two dots
      // merged); PNG images: the same twice, two of different sizes.
      {.args = "diff a.bmp b.bmp + diff a.bmp c.bmp + diff setup.png setup.png + diff setup.png a.bmp",
       .lines = {{"", "2 | 0 16 32 16 | 32 40 16 16 | 1 | 0 48 48 16 | 0 | -1 | "}}},
      {.args = "diff a.bmp gone.png", .status = 1, .lines = {{"labelhost: ", "cannot decode gone.png"}}},
  });
  // clang-format on
  // The picture has the dialog's size, as this program's Wine draws it.
  HWND dlg = CreateDialogParamA(api().hModule, "DIALOG_SETTING", nullptr, quiet_dialog, 0);
  RECT r{};
  GetWindowRect(dlg, &r);
  DestroyWindow(dlg);
  Picture shot;
  EXPECT_TRUE(ReadPicture(host_.dir() + "\\setup.png", &shot));
  EXPECT_EQ(std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top),
            std::to_string(shot.width) + " x " + std::to_string(shot.height));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((host_.dir() + "\\none.png").c_str()));
}
