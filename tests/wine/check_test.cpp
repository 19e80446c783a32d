// labelhost check, the installer's first run, as a separate process against
// the simulated printers: what it prints, where it stops and what it says
// when the printer, the port or the line settings are wrong.
#include <sstream>

#include "resources/version_git.h"
#include "support/position_file.h"
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// Leaves COMn's flow control as another program may: DTR and RTS on, CTS flow
// control on or off.
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
} // namespace

TEST_F(Kit, TheCheckTakesTheHostsStepsAndNamesWhatFailed) {
  static const std::string ready = "INI file | KtPrGetPrintData | label fit | KtPrInitPrinter | "
                                   "KtPrIoControl 17 | KtPrIsPrintReady";
  static const std::string all = ready + " | KtPrStartPrint | KtPrIsPrintFinished";
  static constexpr const char* plain = "CTS flow off, DSR flow off, DSR sensitivity off, DTR "
                                       "control enable, RTS control enable, XON/XOFF out off, in "
                                       "off";
  struct Row {
    const Printer& p;
    const char* fault = ""; // a simulator command first, "" none
    int com = 0;            // the port the INI file names, 0 the printer's own
    std::string steps = all;
    std::string result = "FAILED at KtPrIsPrintFinished";
    DWORD code = 0;            // the driver's error code, 0 none
    const char* hint = "";     // the hint's first words
    const char* port = "free"; // what opening the port gives
    // When free: the flags the driver keeps and the modem lines after the open.
    const char* keeps = plain;
    const char* lines = "CTS on, DSR on, RLSD off, RI off";
    bool hold = false;        // this program holds the port during the check
    bool ctsFlow = false;     // the port is left with CTS flow control
    const char* warning = ""; // the warnings' first words
    const char* reply = "none: nothing came from the printer"; // a failure's "reply: " line
  } rows[] = {
      // clang-format off
      {.p = kTwelve, .result = "passed"},
      {.p = kEight, .result = "passed"},
      {.p = kTwelve, .com = 20, .steps = ready, .result = "FAILED at KtPrIsPrintReady",
       .code = 60800, .hint = "cable and port: COM20 opens, but no serial port answers behind it",
       .port = "opens, but no serial port answers behind it (GetCommState: error 1)"},
      {.p = kTwelve, .com = 200, .steps = ready, .result = "FAILED at KtPrIsPrintReady",
       .code = 60800, .hint = "cable and port: COM200 is not on this PC",
       .port = "not present (error 2)"},
      {.p = kTwelve, .steps = ready, .result = "FAILED at KtPrIsPrintReady", .code = 60800,
       .hint = "cable and port: COM1 is in use by another program",
       .port = "in use by another program, or access denied (error 5)", .hold = true},
      {.p = kTwelve, .fault = "dsr off", .steps = ready, .result = "FAILED at KtPrIsPrintReady",
       .code = 60806, .hint = "printer power and DSR", .lines = "CTS on, DSR off, RLSD off, RI off"},
      {.p = kEight, .fault = "silent on", .code = 60816, .hint = "the printer did not"},
      {.p = kEight, .fault = "error F always", .code = 60811, .hint = "the printer's own",
       .reply = "ESC F CR: the printer reports its ribbon used up"},
      {.p = kTwelve, .fault = "line 9600-8-none-1", .code = 60812, .hint = "line settings",
       .reply = "ESC T CR: the printer received bytes with a parity error"},
      // Wine does not hold a pseudo-terminal's output back for CTS: the label
      // goes out here, where on Windows it would not.
      {.p = kTwelve, .fault = "cts off", .result = "passed",
       .keeps = "CTS flow on, DSR flow off, DSR sensitivity off, DTR control enable, RTS control "
                "enable, XON/XOFF out off, in off",
       .lines = "CTS off, DSR on, RLSD off, RI off", .ctsFlow = true,
       .warning = "COM1 sends only while CTS is on (CTS flow control, kept by the driver) and CTS "
                  "is off"},
      // clang-format on
  };
  const std::map<DWORD, std::string> reports = {
      {1, "KtPrGetPrintData: type 261, 12 dots/mm, the model's maximum print width 106 mm, "
          "printer 1 | KtPrIoControl 13: type 261, printer 1 | its label to a file after "
          "KtPrIoControl 17: start 12 mm, density 4, 36 dots from the head's left edge (centred "
          "in 56 mm)"},
      {2, "KtPrGetPrintData: type 264, 8 dots/mm, the model's maximum print width 112 mm, "
          "printer 2 | KtPrIoControl 13: type 261, printer 2 | its label to a file after "
          "KtPrIoControl 17: start 0 mm, density 5, 248 dots from the head's left edge (centred "
          "in 112 mm)"}};
  const std::map<DWORD, std::string> positions = {
      {1, "format \"VELDRIN CHECK\" product \"\": start 12 mm, density 4"},
      {2, "no record for format \"VELDRIN CHECK\" product \"\" (no position file, or none for "
          "this printer): the check's own start 0 mm, density 5"}};
  // Printer 1 has a stored position for the check's label format.
  ASSERT_TRUE(
      write_file(host_.dir() + "\\VD_PosAdjust.adj",
                 PositionFile(kPositionFields, 100, {{"VELDRIN CHECK", "", "1", "12", "4"}})));
  const std::string bmp = host_.dir() + "\\check.bmp";
  std::string version = read_file(VELDRIN_VERSION_FILE);
  version.erase(version.find_last_not_of(" \r\n") + 1);
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.p.number) + " " + r.fault + " " + std::to_string(r.com));
    const int com = r.com ? r.com : r.p.com();
    ASSERT_TRUE(host_.write_ini("[VELDRIN Info]\r\nReplyTimeout=1000\r\n" +
                                PrinterKeys(r.p.number, com, 57600, r.p.headMm)));
    ASSERT_TRUE(!*r.fault || sim().ok(r.fault, r.p.com()));
    if (!r.com)
      set_port_flow(com, r.ctsFlow);
    std::string out;
    EXPECT_EQ(r.code ? 1 : 0,
              RunLabelhost("check --printer " + std::to_string(r.p.number) + " --model " +
                               std::to_string(r.p.dots) + " --save-label " + bmp,
                           &out, r.hold ? com : 0))
        << out;
    EXPECT_EQ(r.steps, LinesOf(out, "step: ", ":"));
    EXPECT_EQ(r.result, LinesOf(out, "result: ").substr(0, r.result.size()));
    EXPECT_NE(std::string::npos, out.find("\nversion: VELDRIN " + version));
    EXPECT_NE(std::string::npos, out.find(", build " + std::to_string(VELDRIN_BUILD_NUMBER) +
                                          ", commit " VELDRIN_COMMIT));
    char settings[120];
    snprintf(settings, sizeof settings,
             "printer %lu: COM%d, 57600 baud, 8 data bits, 1 stop bit, parity none, maximum print "
             "width %d mm",
             r.p.number, com, r.p.headMm);
    const std::string slot = "0" + std::to_string(r.p.number - 1);
    EXPECT_EQ("ini file " + host_.ini_path() + ": there, readable | [VELDRIN Info] VD" + slot +
                  "=" + char('0' + com) + "#57600#8#0#0# | [VELDRIN Info] VDMAX" + slot + "=" +
                  std::to_string(r.p.headMm) +
                  " | [VELDRIN Info] ReplyTimeout=1000 | [System Data] WaitWriteTime: not in the "
                  "file (the driver's default: 5 ms) | [VD_PrintAdjust] VD_DBPrintPos: not in "
                  "the file (the driver's default: VD_PosAdjust.adj) | " +
                  settings + " | position file: " + positions.at(r.p.number),
              LinesOf(out, "labelhost reads: "));
    EXPECT_EQ(reports.at(r.p.number), LinesOf(out, "driver reports: "));
    const std::string name = "COM" + std::to_string(com);
    EXPECT_EQ(name + ": " + r.port +
                  (r.port == std::string("free")
                       ? " | " + name + " keeps (the driver sets only the line settings): " +
                             r.keeps + " | " + name + " lines after the open: " + r.lines
                       : ""),
              LinesOf(out, "port: "));
    EXPECT_EQ(r.warning, LinesOf(out, "warning: ").substr(0, strlen(r.warning)));
    if (r.code != 0) {
      EXPECT_EQ(std::to_string(r.code) + " " + kMessages.at(r.code), LinesOf(out, "error: "));
      EXPECT_EQ(r.reply, LinesOf(out, "reply: "));
      EXPECT_EQ(r.hint, LinesOf(out, "hint: ").substr(0, strlen(r.hint)));
    } else {
      // The label's bytes: 360 rows of 75 bytes at two characters each and 40
      // bytes of commands at 12 dots/mm, 240 rows of 50 bytes and 39 at 8; the
      // time at 10 bits a byte; what the printed label must show.
      EXPECT_EQ(r.p.dots == 12 ? "the test label is 54040 bytes: about 9.4 s at 57600 baud (10 "
                                 "bits a byte, COM1 57600 8-N-1)"
                               : "the test label is 24039 bytes: about 4.2 s at 57600 baud (10 "
                                 "bits a byte, COM2 57600 8-N-1)",
                LinesOf(out, "send: "));
      EXPECT_NE(std::string::npos,
                out.find(r.p.dots == 12 ? "\nlabel: squares of 15 mm mean the printer is the 8 "
                                        : "\nlabel: squares of 6.7 mm, or a blank strip, mean "
                                          "the printer is the 12 "));
      // A 50 x 30 mm label with one-dot lines every 10 mm, centred on the head.
      Picture label;
      ASSERT_TRUE(ReadPicture(bmp, &label));
      EXPECT_EQ(30 * r.p.dots, label.height);
      std::string full;
      for (int x = 0; x < label.width; ++x) {
        int black = 0;
        for (int y = 0; y < label.height; ++y)
          black += label.is_black(x, y);
        full += black == label.height ? std::to_string(x) + " " : "";
      }
      EXPECT_EQ(r.p.dots == 12 ? "0 120 240 360 480 599 " : "0 80 160 240 320 399 ", full);
      EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, label, r.p.number == 1 ? 36 : 248));
    }
    if (r.ctsFlow)
      set_port_flow(com, false);
    reset(r.p);
  }
}

TEST_F(Kit, TheKitChecksItsInputsAndSaysWhyItRefusesOne) {
  static const std::string keys =
      "[VELDRIN Info]\r\n" + PrinterKeys(1, 1) + PrinterKeys(2, 2, 57600, 112);
  struct Row {
    const char* args;
    std::string ini = keys; // the INI file's text
    std::string env = "";   // ZOVAV_INI, "" the test's own INI file
    int status = 1;
    const char* steps = "INI file"; // the check's steps, "" another command
    std::string says;               // a whole line of its output
  } rows[] = {
      // clang-format off
      {.args = "check --printer 1", .env = "C:\\nothere\\host.ini",
       .says = "hint: settings: the INI file C:\\nothere\\host.ini: there is no such file. "
               "Without it the driver takes its defaults (COM3, 9600 baud) for every printer"},
      {.args = "check --printer 1", .env = "host.ini",
       .says = "labelhost reads: ini file \"host.ini\" (read as C:\\windows\\host.ini): "
               "cannot be read (error 2: the file or port is not there)"},
      {.args = "check --printer 1", .env = "\"C:\\VELDRIN\\host.ini\"",
       .says = "hint: settings: the INI file \"C:\\VELDRIN\\host.ini\": the name has quotes in "
               "it: set ZOVAV_INI=\"...\" keeps the quotes in the value; set it without them (set "
               "ZOVAV_INI=C:\\path\\HOST.INI), even with spaces in it. Without it the driver "
               "takes its defaults (COM3, 9600 baud) for every printer"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=COM1,57600,8,N,1\r\n",
       .says = "hint: settings: VD00=COM1,57600,8,N,1 is not read as meant: character 2 is 'O' "
               "where a '#' belongs (the string is P#BBBBB#D#S#Y#). For COM1, 57600 baud, 8 data "
               "bits, 1 stop bit, parity none it is VD00=1#57600#8#0#0# (labelhost init 1 "
               "--serial COM1,57600,8,N,1 writes it)"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=5#9600#8#0#0#\r\n",
       .says = "hint: settings: VD00=5#9600#8#0#0# is not read as meant: character 7 is '#': "
               "characters 3 to 7 are the baud rate in five digits, with a leading zero below "
               "10000 (09600, 19200, 57600). For COM5, 9600 baud, 8 data bits, 1 stop bit, parity "
               "none it is VD00=5#09600#8#0#0# (labelhost init 1 --serial COM5,9600,8,N,1 writes "
               "it)"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=1#57600#9#0#0#\r\n",
       .says = "labelhost reads: [VELDRIN Info] VD00=1#57600#9#0#0#  <- malformed"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=1#57600#8#0#3#\r\n",
       .says = "hint: settings: VD00=1#57600#8#0#3# is not read as meant: character 13 is '3': the "
               "parity, 0 none, 1 odd, 2 even. For example, for COM1, 57600 baud, 8 data bits, 1 "
               "stop bit, parity none it is VD00=1#57600#8#0#0# (labelhost init 1 --serial "
               "COM1,57600,8,N,1 writes it)"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVDMAX00=56mm\r\n",
       .says = "hint: settings: VDMAX00=56mm is not read as meant: not a number"},
      {.args = "check --printer 1 --size 60x30", .steps = "INI file | KtPrGetPrintData | label fit",
       .says = "hint: settings: the test label is 60 mm wide and printer 1's print width is 56 mm "
               "(VDMAX00): the driver starts a wider label at the head's left edge and its right "
               "side is not printed; check with a label no wider (--size 56x30), or set VDMAX00 to "
               "the printer's head width"},
      {.args = "check --printer 2 --model 12", .steps = "INI file | KtPrGetPrintData | label fit",
       .says = "hint: model: VDMAX01=112 mm is wider than the 12 dots/mm model's 106 mm: the INI "
               "file describes the other model; is the printer the 8 dots/mm model (--model 8)? "
               "Else set it to the printer's head width"},
      {.args = "init 1 --serial COM4,19200,7,E,2", .status = 0, .steps = "",
       .says = "printer 1: COM4, 19200 baud, 7 data bits, 2 stop bits, parity even, maximum print "
               "width 56 mm"},
      {.args = "check --printer 9", .status = 2, .steps = "",
       .says = "labelhost check: 9: --printer takes a printer number from 1 to 8"},
      {.args = "check --printer 1 COM1", .status = 2, .steps = "",
       .says = "labelhost check: COM1: not an option: each option is a name and a value "
               "(--printer 1)"},
      {.args = "check --model 261", .status = 2, .steps = "",
       .says = "labelhost check: --printer: is needed: the printer number, 1 to 8"},
      {.args = "print --model 8.5", .status = 2, .steps = "",
       .says = "labelhost print: 8.5: --model takes 12 (or type 261) for the 12 dots/mm model, 8 "
               "(or type 264) for the 8 dots/mm model"},
      {.args = "init 1 --serial 1#57600#8#0#0#", .status = 2, .steps = "",
       .says = "labelhost init: 1#57600#8#0#0#: --serial takes COMn,BAUD,DATA,PARITY,STOP "
               "(COM1,57600,8,N,1): port 1 to 207, a baud rate a port takes up to 57600, 7 or 8 "
               "data bits, parity N, O or E, stop bits 1, 1.5 or 2"},
      {.args = "/?", .status = 0, .steps = "",
       .says = "usage: labelhost [--driver PATH] COMMAND [ARGS] [+ COMMAND [ARGS] ...]"},
      {.args = "loopback -h", .status = 0, .steps = "", .says = "usage: labelhost loopback COMn [--baud N]"},
      {.args = "--driver C:\\nothere\\VELDRIN.dll info", .steps = "",
       .says = "hint: error 126: a module is missing: the DLL itself, or a DLL it needs (ZoVav.dll: "
               "the host's in its folder, or the kit's stand-in beside labelhost.exe)"},
      {.args = "--driver C:\\windows\\win.ini info", .steps = "",
       .says = "hint: error 193: not a 32-bit Windows DLL: a 64-bit, damaged or other kind of file"},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args + (" " + r.env));
    ASSERT_TRUE(host_.write_ini(r.ini));
    SetEnvironmentVariableA("ZOVAV_INI", r.env.empty() ? host_.ini_path().c_str() : r.env.c_str());
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out)) << out;
    SetEnvironmentVariableA("ZOVAV_INI", host_.ini_path().c_str());
    EXPECT_NE(std::string::npos, out.find("\n" + r.says + "\r\n")) << out;
    EXPECT_EQ(r.steps, LinesOf(out, "step: ", ":"));
    EXPECT_EQ("", LinesOf(out, "port: ")) << "no port before the inputs are right";
  }
}

TEST_F(Kit, TheCaptureHoldsEveryByteTheDriverSentAndRead) {
  // Each line "SECONDS DIRECTION HEX" (CRLF ends); ">" is exactly what the
  // printer received, so tlxsim render makes of it the label it printed; "<"
  // what it answered ("=": what the check wrote to its own file, not kept).
  for (const std::string args :
       {"print --printer 1 --model 261 --width 400 --length 200", "check --printer 1 --model 12"}) {
    SCOPED_TRACE(args);
    reset(kTwelve);
    const std::string capture = host_.dir() + "\\capture.txt";
    std::string out;
    ASSERT_EQ(0, RunLabelhost(args + " --capture " + capture, &out)) << out;
    const std::string text = read_file(capture);
    std::string sent, answered, time, direction, hex;
    std::istringstream lines(text.substr(text.find('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      ASSERT_TRUE(words >> time >> direction >> hex) << line;
      EXPECT_EQ(time.size() - 4, time.find('.')) << "milliseconds: " << line;
      std::string& bytes = direction == ">" ? sent : direction == "<" ? answered : time;
      for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ("# VELDRIN capture\r\n", text.substr(0, 19)) << "a Windows text file";
    EXPECT_EQ(sim().captured(1), sent);
    EXPECT_EQ("^O0000|",
              Printable(answered.substr(answered.size() - std::min<size_t>(answered.size(), 7))));
  }
}
