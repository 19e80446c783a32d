// The field kit's port commands as an installer runs them, against the
// simulated printers: labelhost ports (what opening each port gives) and
// labelhost loopback (a loopback jumper's data and lines, the simulator's
// loopback mode standing in for the jumper).
#include "tests/wine/fixture.h"

using namespace veldrin_test;

TEST_F(Kit, PortsSaysWhatOpeningEachPortGives) {
  struct Row {
    const char* args;
    int hold;          // a port this program holds meanwhile, 0 none
    int status;        // exit status
    const char* ports; // the "port: " lines of COM1, COM2, COM20 and COM200, in that order
  } rows[] = {
      {"ports", 2, 0,
       "COM1: free  [SERIALCOMM \\Device\\Serial0, DOS device \\Device\\Serial0] | "
       "COM2: in use by another program, or access denied (error 5)  [SERIALCOMM "
       "\\Device\\Serial1, DOS device \\Device\\Serial1] | "
       "COM20: opens, but no serial port answers behind it (GetCommState: error 1)  [SERIALCOMM "
       "\\Device\\Serial19, DOS device \\Device\\Serial19]"},
      {"ports COM200 com1", 0, 1,
       "COM1: free  [SERIALCOMM \\Device\\Serial0, DOS device \\Device\\Serial0] | "
       "COM200: not present (error 2)  [not named by Windows]"},
      {"ports COM1", 0, 0,
       "COM1: free  [SERIALCOMM \\Device\\Serial0, DOS device \\Device\\Serial0]"},
      {"ports LPT1", 0, 2, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args);
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out, r.hold)) << out;
    std::string ports;
    for (const char* com : {"COM1:", "COM2:", "COM20:", "COM200:"}) {
      const std::string line = LinesOf(out, std::string("port: ") + com);
      ports += line.empty() ? "" : (ports.empty() ? "" : " | ") + std::string(com) + line;
    }
    EXPECT_EQ(r.ports, ports);
  }
}

TEST_F(Kit, LoopbackSaysWhichLinesAndBytesCameBack) {
  const char* const all = "RTS -> CTS: follows (RTS off: CTS off; RTS on: CTS on) | DTR -> DSR: "
                          "follows (DTR off: DSR off; DTR on: DSR on)";
  struct Row {
    const char* sim; // simulator commands for printer 3 (COM3), ";" between them
    const char* args;
    int hold;           // a port this program holds meanwhile, 0 none
    int status;         // exit status
    const char* data;   // the "data: " line
    const char* lines;  // the "line: " lines
    const char* result; // the "result: " line's first words
  } rows[] = {
      {"loopback on", "loopback COM3", 0, 0,
       "TX -> RX: 256 of 256 bytes sent, 256 came back, all as sent", all, "all came back"},
      {"loopback on", "loopback com3 --baud 115200", 0, 0,
       "TX -> RX: 256 of 256 bytes sent, 256 came back, all as sent", all, "all came back"},
      // The printer itself: nothing comes back, its lines stay on.
      {"", "loopback COM3", 0, 1, "TX -> RX: 256 of 256 bytes sent, 0 came back",
       "RTS -> CTS: does not follow (RTS off: CTS on; RTS on: CTS on) | DTR -> DSR: does not "
       "follow (DTR off: DSR on; DTR on: DSR on)",
       "FAILED: TX -> RX, RTS -> CTS, DTR -> DSR"},
      // A jumper on TX-RX only, the printer's lines off.
      {"loopback data;cts off;dsr off", "loopback COM3", 0, 1,
       "TX -> RX: 256 of 256 bytes sent, 256 came back, all as sent",
       "RTS -> CTS: does not follow (RTS off: CTS off; RTS on: CTS off) | DTR -> DSR: does not "
       "follow (DTR off: DSR off; DTR on: DSR off)",
       "FAILED: RTS -> CTS, DTR -> DSR"},
      {"loopback on", "loopback COM3", 3, 1, "", "",
       "FAILED: COM3 in use by another program, or access denied (error 5)"},
      {"", "loopback COM200", 0, 1, "", "", "FAILED: COM200 not present (error 2)"},
      {"", "loopback", 0, 2, "", "", ""},
      {"", "loopback COM3 --baud fast", 0, 2, "", "", ""},
  };
  const Printer& p = kPrinters[2];
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.sim) + " " + r.args);
    for (std::string commands = r.sim; !commands.empty();) {
      const size_t end = commands.find(';');
      EXPECT_TRUE(sim().ok(commands.substr(0, end), p.com()));
      commands.erase(0, end == std::string::npos ? end : end + 1);
    }
    std::string out;
    EXPECT_EQ(r.status, RunLabelhost(r.args, &out, r.hold)) << out;
    EXPECT_EQ(r.data, LinesOf(out, "data: "));
    EXPECT_EQ(r.lines, LinesOf(out, "line: "));
    EXPECT_EQ(r.result, LinesOf(out, "result: ").substr(0, strlen(r.result)));
    reset(p);
  }
}
