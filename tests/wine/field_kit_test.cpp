// The field kit's port commands as an installer runs them, against the
// simulated printers: labelhost ports (what opening each port gives) and
// labelhost loopback (a loopback jumper's data and lines, the simulator's
// loopback mode standing in for the jumper).
#include "tests/wine/fixture.h"

using namespace veldrin_test;

TEST_F(Kit, PortsSaysWhatOpeningEachPortGives) {
  static const std::string powered =
      "free; CTS on, DSR on: something powered holds them on (a printer switched on, or a "
      "loopback jumper)  [SERIALCOMM \\Device\\Serial";
  struct Row {
    const char* args;
    std::vector<const char*> sim; // simulator commands for printer 3 (COM3)
    int hold = 0;                 // a port this program holds meanwhile, 0 none
    int status = 0;               // exit status
    std::string ports = "";       // the "port: " lines of COM1, COM2, COM3, COM20 and COM200
  } rows[] = {
      // clang-format off
      {.args = "ports", .hold = 2,
       .ports = "COM1: " + powered + "0, DOS device \\Device\\Serial0] | COM2: in use by another program, or access denied (error 5)  [SERIALCOMM "
                "\\Device\\Serial1, DOS device \\Device\\Serial1] | COM3: " + powered +
                "2, DOS device \\Device\\Serial2] | COM20: opens, but no serial port answers behind it (GetCommState: error 1)  "
                "[SERIALCOMM \\Device\\Serial19, DOS device \\Device\\Serial19]"},
      {.args = "ports COM200 com1", .status = 1,
       .ports = "COM1: " + powered + "0, DOS device \\Device\\Serial0] | "
                "COM200: not present (error 2)  [not named by Windows]"},
      // Nothing powered behind the port: its printer's lines are off.
      {.args = "ports COM3", .sim = {"cts off", "dsr off"},
       .ports = "COM3: free; CTS off, DSR off: nothing powered behind it (nothing attached, a "
                "printer switched off, or a cable without these wires)  [SERIALCOMM "
                "\\Device\\Serial2, DOS device \\Device\\Serial2]"},
      {.args = "ports LPT1", .status = 2},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args);
    for (const char* command : r.sim)
      EXPECT_TRUE(sim().ok(command, kPrinters[2].com()));
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out, r.hold)) << out;
    reset(kPrinters[2]);
    std::string ports;
    for (const char* com : {"COM1:", "COM2:", "COM3:", "COM20:", "COM200:"}) {
      const std::string line = LinesOf(out, std::string("port: ") + com);
      ports += line.empty() ? "" : (ports.empty() ? "" : " | ") + std::string(com) + line;
    }
    EXPECT_EQ(r.ports, ports);
  }
}

TEST_F(Kit, LoopbackSaysWhichLinesAndBytesCameBack) {
  const char* const back = "TX -> RX: 256 of 256 bytes sent, 256 came back, all as sent";
  const char* const all = "RTS -> CTS: follows (RTS off: CTS off; RTS on: CTS on) | DTR -> DSR: "
                          "follows (DTR off: DSR off; DTR on: DSR on)";
  struct Row {
    std::vector<const char*> sim; // simulator commands for printer 3 (COM3)
    const char* args;
    int hold = 0;            // a port this program holds meanwhile, 0 none
    int status = 1;          // exit status
    const char* data = "";   // the "data: " line
    const char* lines = "";  // the "line: " lines
    const char* result = ""; // the "result: " line's first words
  } rows[] = {
      // clang-format off
      {.sim = {"loopback on"}, .args = "loopback COM3", .status = 0, .data = back, .lines = all,
       .result = "all came back"},
      {.sim = {"loopback on"}, .args = "loopback com3 --baud 115200", .status = 0, .data = back,
       .lines = all, .result = "all came back"},
      // The printer itself: nothing comes back, its lines stay on.
      {.sim = {}, .args = "loopback COM3", .data = "TX -> RX: 256 of 256 bytes sent, 0 came back",
       .lines = "RTS -> CTS: does not follow (RTS off: CTS on; RTS on: CTS on) | DTR -> DSR: does "
                "not follow (DTR off: DSR on; DTR on: DSR on)",
       .result = "FAILED: a live device, not a jumper: CTS and DSR stay on whatever RTS and DTR "
                 "do"},
      // Nothing attached: no byte back, no line ever on.
      {.sim = {"cts off", "dsr off"}, .args = "loopback COM3",
       .data = "TX -> RX: 256 of 256 bytes sent, 0 came back",
       .lines = "RTS -> CTS: does not follow (RTS off: CTS off; RTS on: CTS off) | DTR -> DSR: does "
                "not follow (DTR off: DSR off; DTR on: DSR off)",
       .result = "FAILED: nothing attached: no byte came back and CTS and DSR never came on"},
      // A jumper on TX-RX only, the printer's lines off.
      {.sim = {"loopback data", "cts off", "dsr off"}, .args = "loopback COM3", .data = back,
       .lines = "RTS -> CTS: does not follow (RTS off: CTS off; RTS on: CTS off) | DTR -> DSR: does "
                "not follow (DTR off: DSR off; DTR on: DSR off)",
       .result = "FAILED: RTS -> CTS, DTR -> DSR"},
      {.sim = {"loopback on"}, .args = "loopback COM3", .hold = 3,
       .result = "FAILED: COM3 in use by another program, or access denied (error 5)"},
      {.sim = {}, .args = "loopback COM200", .result = "FAILED: COM200 not present (error 2)"},
      {.sim = {}, .args = "loopback", .status = 2},
      {.sim = {}, .args = "loopback COM3 --baud fast", .status = 2,
       .result = "labelhost loopback: fast: --baud takes a baud rate from 300 to 921600"},
      // clang-format on
  };
  const Printer& p = kPrinters[2];
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args);
    for (const char* command : r.sim)
      EXPECT_TRUE(sim().ok(command, p.com()));
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out, r.hold)) << out;
    EXPECT_EQ(r.data, LinesOf(out, "data: "));
    EXPECT_EQ(r.lines, LinesOf(out, "line: "));
    EXPECT_EQ(r.result, LinesOf(out, r.status == 2 ? "" : "result: ").substr(0, strlen(r.result)));
    reset(p);
  }
}
