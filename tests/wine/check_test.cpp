// labelhost check, the installer's first run, as a separate process: the
// inputs it checks before any port and what it says of each one it refuses,
// and the capture of every byte the driver sent and read.
#include <sstream>

#include "tests/wine/fixture.h"

using namespace veldrin_test;

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
      {.args = "check --printer 8", .env = "C:\\nothere\\host.ini",
       .says = "hint: settings: the INI file C:\\nothere\\host.ini: there is no such file..."},
      {.args = "check --printer 1", .env = "host.ini",
       .says = "labelhost reads: ini file \"host.ini\" (read as C:\\windows\\host.ini): "
               "cannot be read (error 2: the file or port is not there)"},
      {.args = "check --printer 1", .env = "\"C:\\VELDRIN\\host.ini\"",
       .says = "hint: settings: the INI file \"C:\\VELDRIN\\host.ini\": the name has quotes in "
               "it: set ZOVAV_INI=\"...\" keeps the quotes in the value; set it without them..."},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=COM1,57600,8,N,1\r\n",
       .says = "hint: settings: VD00=COM1,57600,8,N,1 is not read as meant: character 2 is 'O' "
               "where a '#' belongs (the string is P#BBBBB#D#S#Y#). For COM1, 57600 baud, 8 data "
               "bits, 1 stop bit, parity none it is VD00=1#57600#8#0#0#..."},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=5#9600#8#0#0#\r\n",
       .says = "hint: settings: VD00=5#9600#8#0#0# is not read as meant: character 7 is '#': "
               "characters 3 to 7 are the baud rate in five digits, with a leading zero below "
               "10000 (09600, 19200, 57600). For COM5, 9600 baud, 8 data bits, 1 stop bit, parity "
               "none it is VD00=5#09600#8#0#0#..."},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=1#57600#9#0#0#\r\n",
       .says = "labelhost reads: [VELDRIN Info] VD00=1#57600#9#0#0#  <- malformed"},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVD00=1#57600#8#0#3#\r\n",
       .says = "hint: settings: VD00=1#57600#8#0#3# is not read as meant: character 13 is '3': the "
               "parity, 0 none, 1 odd, 2 even..."},
      {.args = "check --printer 1", .ini = "[VELDRIN Info]\r\nVDMAX00=56mm\r\n",
       .says = "hint: settings: VDMAX00=56mm is not read as meant: not a number"},
      {.args = "check --printer 1 --size 60x30", .steps = "INI file | KtPrGetPrintData | label fit",
       .says = "hint: settings: the test label is 60 mm wide and printer 1's print width is 56 mm "
               "(VDMAX00): the driver starts a wider label at the head's left edge..."},
      {.args = "check --printer 2 --model 12", .steps = "INI file | KtPrGetPrintData | label fit",
       .says = "hint: model: VDMAX01=112 mm is wider than the 12 dots/mm model's 106 mm: the INI "
               "file describes the other model; is the printer the 8 dots/mm model (--model 8)?..."},
      {.args = "init 1 --serial COM4,19200,7,E,2", .status = 0, .steps = "",
       .says = "printer 1: COM4, 19200 baud, 7 data bits, 2 stop bits, parity even, maximum print "
               "width 56 mm"},
      {.args = "init 1 --serial COM4,19200,7,E,2", .env = "C:\\nothere\\host.ini", .steps = "",
       .says = "labelhost init: cannot write VD00 into C:\\nothere\\host.ini (error 3)"},
      {.args = "error 3 4", .status = 2, .steps = "", .says = "labelhost error: 4: one printer number only"},
      {.args = "ports LPT1", .status = 2, .steps = "",
       .says = "labelhost ports: LPT1: not a port name (COM1 to COM255)"},
      {.args = "check --printer 1 --wait 0", .status = 2, .steps = "",
       .says = "labelhost check: 0: --wait takes seconds from 1 to 3600"},
      {.args = "check --printer 9", .status = 2, .steps = "",
       .says = "labelhost check: 9: --printer takes a printer number from 1 to 8"},
      {.args = "check --printer 1 COM1", .status = 2, .steps = "",
       .says = "labelhost check: COM1: not an option: each option is a name and a value "
               "(--printer 1)"},
      {.args = "print --model 8.5", .status = 2, .steps = "",
       .says = "labelhost print: 8.5: --model takes 12 (or type 261) for the 12 dots/mm model, 8 "
               "(or type 264) for the 8 dots/mm model"},
      {.args = "init 1 --serial 1#57600#8#0#0#", .status = 2, .steps = "",
       .says = "labelhost init: 1#57600#8#0#0#: --serial takes COMn,BAUD,DATA,PARITY,STOP..."},
      {.args = "--driver VELDRIN.dll", .status = 2, .steps = "", .says = "labelhost: no command given"},
      {.args = "/?", .status = 0, .steps = "",
       .says = "usage: labelhost [--driver PATH] COMMAND [ARGS] [+ COMMAND [ARGS] ...]"},
      {.args = "--driver C:\\nothere\\VELDRIN.dll info", .steps = "",
       .says = "hint: error 126: a module is missing: the DLL itself, or a DLL it needs..."},
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
    // The whole line, or its beginning where the text ends in "...".
    const std::string line =
        r.says.ends_with("...") ? r.says.substr(0, r.says.size() - 3) : r.says + "\r\n";
    EXPECT_NE(std::string::npos, out.find("\n" + line)) << out;
    EXPECT_EQ(r.steps, LinesOf(out, "step: ", ":"));
    EXPECT_EQ("", LinesOf(out, "port: ")) << "no port before the inputs are right";
  }
}

TEST_F(Kit, TheCaptureHoldsEveryByteTheDriverSentAndRead) {
  // Each line "SECONDS DIRECTION HEX" (CRLF ends); ">" is exactly what the
  // printer received, so tlxsim render makes of it the label it printed; "<"
  // what it answered ("=": what the check wrote to its own file, not kept).
  for (const std::string args : {"print --printer 1 --model 261 --width 400 --length 200 --labels "
                                 "2 --incremental --extra LOT-A",
                                 "check --printer 1 --model 12"}) {
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
    EXPECT_LT(Printable(sent).find("^K000|"), Printable(sent).find("LOT-A"))
        << "start 0 mm unless given";
    EXPECT_EQ("^O0000|",
              Printable(answered.substr(answered.size() - std::min<size_t>(answered.size(), 7))));
  }
}
