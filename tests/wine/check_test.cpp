// labelhost check, the installer's first run, as a separate process against
// the simulated printers: what it prints, where it stops and what it says
// when the printer, the port or the line settings are wrong.
#include <sstream>

#include "support/position_file.h"
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// Runs a program (a Windows one, or a Linux one through Z:\bin\sh) with its
// output captured; its exit status. Started directly, not through a shell
// where it can be avoided: each process start costs a second or more where
// Wine runs emulated.
int run_program(std::string command, std::string* output) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0))
    return 99;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  CloseHandle(write);
  char buf[4096];
  for (DWORD n; started && ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0;)
    output->append(buf, n);
  CloseHandle(read);
  if (!started)
    return 99;
  DWORD status = 99;
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}

// The bring-up kit's labelhost.exe as the release archive ships it
// (release\bringup, the driver one folder up) with `args`.
int run_labelhost(const std::string& args, std::string* output) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  strcpy(strrchr(exe, '\\'), "\\..\\release\\bringup\\labelhost.exe");
  return run_program("\"" + std::string(exe) + "\" " + args, output);
}

// The lines of `text` that start with `key`, each without it and cut at the
// first of `stop`, joined by " | ".
std::string lines_of(const std::string& text, const std::string& key, const char* stop = "\r\n") {
  std::string found;
  for (size_t at = 0; (at = text.find("\n" + key, at)) != std::string::npos; ++at) {
    const size_t from = at + 1 + key.size();
    found +=
        (found.empty() ? "" : " | ") + text.substr(from, text.find_first_of(stop, from) - from);
  }
  return found;
}
} // namespace

TEST_F(Kit, TheCheckTakesTheHostsStepsAndNamesWhatFailed) {
  const std::string ready =
      "KtPrGetPrintData | KtPrInitPrinter | KtPrIoControl 17 | KtPrIsPrintReady";
  const std::string all = ready + " | KtPrStartPrint | KtPrIsPrintFinished";
  struct Row {
    const Printer& p;
    const char* fault; // a simulator command first, "" none
    int com;           // the port the INI file names, 0 the printer's own
    std::string steps;
    std::string result;
    DWORD code;       // the driver's error code, 0 none
    const char* hint; // the hint's first words
  } rows[] = {
      {kTwelve, "", 0, all, "passed"},
      {kEight, "", 0, all, "passed"},
      {kTwelve, "", 20, ready, "FAILED at KtPrIsPrintReady", 60800, "cable and port"},
      {kTwelve, "dsr off", 0, ready, "FAILED at KtPrIsPrintReady", 60806, "printer power and DSR"},
      {kEight, "silent on", 0, all, "FAILED at KtPrIsPrintFinished", 60816, "the printer did not"},
      {kEight, "error F always", 0, all, "FAILED at KtPrIsPrintFinished", 60811,
       "the printer's own"},
      {kTwelve, "line 9600-8-none-1", 0, all, "FAILED at KtPrIsPrintFinished", 60812,
       "line settings"},
  };
  // Printer 1 has a stored position for the check's label format.
  ASSERT_TRUE(
      write_file(host_.dir() + "\\VD_PosAdjust.adj",
                 PositionFile(kPositionFields, 100, {{"VELDRIN CHECK", "", "1", "12", "4"}})));
  const std::string bmp = host_.dir() + "\\check.bmp";
  std::string version = read_file(VELDRIN_VERSION_FILE);
  version.erase(version.find_last_not_of(" \r\n") + 1);
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.p.number) + " " + r.fault + " " + std::to_string(r.com));
    ASSERT_TRUE(
        host_.write_ini("[VELDRIN Info]\r\nReplyTimeout=1000\r\n" +
                        PrinterKeys(r.p.number, r.com ? r.com : r.p.com(), 57600, r.p.headMm)));
    ASSERT_TRUE(!*r.fault || sim().ok(r.fault, r.p.com()));
    std::string out;
    EXPECT_EQ(r.code ? 1u : 0u,
              run_labelhost("check --printer " + std::to_string(r.p.number) + " --model " +
                                std::to_string(r.p.dots) + " --save-label " + bmp,
                            &out))
        << out;
    EXPECT_EQ(r.steps, lines_of(out, "step: ", ":"));
    EXPECT_EQ(r.result, lines_of(out, "result: ").substr(0, r.result.size()));
    EXPECT_NE(std::string::npos, out.find("\nversion: VELDRIN " + version));
    char settings[120];
    snprintf(settings, sizeof settings,
             "printer %lu: COM%d, 57600 baud, 8 data bits, 1 stop bit, parity none, maximum print "
             "width %d mm",
             r.p.number, r.com ? r.com : r.p.com(), r.p.headMm);
    EXPECT_EQ(host_.ini_path() + " | " + settings, lines_of(out, "ini: "));
    const std::string position =
        r.p.number == 1 ? "format \"VELDRIN CHECK\" product \"\": start 12 mm, density 4"
                        : "no record for format \"VELDRIN CHECK\"";
    EXPECT_EQ(position, lines_of(out, "position: ").substr(0, position.size()));
    if (r.code != 0) {
      EXPECT_EQ(std::to_string(r.code) + " " + kMessages.at(r.code), lines_of(out, "error: "));
      EXPECT_EQ(r.hint, lines_of(out, "hint: ").substr(0, strlen(r.hint)));
    } else {
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
    reset(r.p);
  }
}

TEST_F(Kit, TheCaptureHoldsEveryByteTheDriverSentAndRead) {
  // Each line "SECONDS DIRECTION HEX" (CRLF ends); ">" is exactly what the
  // printer received, so tlxsim render makes of it the label it printed; "<"
  // what it answered.
  for (const std::string args :
       {"print --printer 1 --model 261 --width 400 --length 200", "check --printer 1 --model 12"}) {
    SCOPED_TRACE(args);
    reset(kTwelve);
    const std::string capture = host_.dir() + "\\capture.txt";
    std::string out;
    ASSERT_EQ(0, run_labelhost(args + " --capture " + capture, &out)) << out;
    const std::string text = read_file(capture);
    std::string sent, answered, time, direction, hex;
    std::istringstream lines(text.substr(text.find('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      ASSERT_TRUE(words >> time >> direction >> hex) << line;
      EXPECT_EQ(time.size() - 4, time.find('.')) << "milliseconds: " << line;
      for (size_t i = 0; i + 1 < hex.size(); i += 2)
        (direction == ">" ? sent : answered) += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ("# VELDRIN capture\r\n", text.substr(0, 19)) << "a Windows text file";
    EXPECT_EQ(sim().captured(1), sent);
    EXPECT_EQ("^O0000|",
              Printable(answered.substr(answered.size() - std::min<size_t>(answered.size(), 7))));
  }
}
