// labelhost: a command-line stand-in for the host application. It loads
// VELDRIN.dll the way the host does and drives it one command at a time.
// Commands joined by "+" run in one process against one loaded driver, so a
// later command sees what an earlier one left in the driver:
//   labelhost init 1 + ready 1 + error 1
#include <cstdio>
#include <cstring>

#include "labelhost/commands.h"

namespace {
struct Command {
  const char* name;  // first argument
  const char* usage; // arguments, for the usage text
  const char* help;  // one line on what it does
  int (*run)(const DriverApi&, int, char**);
  bool driver = true; // needs the driver loaded
};

const Command kCommands[] = {
    {"info", "", "driver file and version, driver spec, printer specs and print data", CmdInfo},
    {"check",
     "--printer N [--model 12|8|261|264] [--size WxH] [--format NAME] [--product NAME]\n"
     "        [--save-label FILE.bmp] [--wait SECONDS] [--capture FILE]",
     "first run of a printer: its settings, then init, ready, a test label (10 mm grid,\n"
     "      WxH mm, default 50x30) and its end, each step timed; on a failure the step,\n"
     "      error, message and a hint, exit status 1",
     CmdCheck},
    {"ports", "[COMn]...",
     "the COM ports Windows knows (registry SERIALCOMM, DOS device names), or the ports\n"
     "      named, and what opening each gives: free, in use (or access denied), not present;\n"
     "      with ports named, exit status 1 unless all are free",
     CmdPorts, false},
    {"loopback", "COMn [--baud N]",
     "with a loopback jumper in place of the printer (TX-RX, RTS-CTS, DTR-DSR): sends a\n"
     "      pattern (default 9600 baud) and switches RTS and DTR, and says which bytes and\n"
     "      lines came back; exit status 0 when all came back, 1 otherwise",
     CmdLoopback, false},
    {"init", "N [--serial COMn,BAUD,DATA,PARITY,STOP]",
     "load printer N's settings (KtPrInitPrinter); show the INI file's keys for it as\n"
     "      labelhost reads them (the driver reports none); --serial COM1,57600,8,N,1 first\n"
     "      writes the printer's serial string (VDnn=1#57600#8#0#0#) into the INI file",
     CmdInit},
    {"error", "N", "printer N's last error code and message (KtPrGetPrintError)", CmdError},
    {"ready", "N",
     "is printer N ready (KtPrIsPrintReady); on a fresh connection sends stop. ready, stop\n"
     "      and wait first load the printer's settings (KtPrInitPrinter) when no command before\n"
     "      them in this process has",
     CmdReady},
    {"stop", "N", "send printer N the stop command (KtPrStopPrint)", CmdStop},
    {"wait", "N",
     "poll printer N until its job ends, showing the labels left; it gives up after the INI\n"
     "      file's ReplyTimeout (ms) without a reply, as the driver does for a job it sent",
     CmdWait},
    {"posdb",
     "create FILE [NAME[:WIDTH]]... | list FILE\n"
     "        | set FILE --format F [--product P] --printer N --start MM --density D\n"
     "        | get FILE --format F [--product P] --printer N",
     "make, show, write or look up a print position file (set/get through the driver)", CmdPosDb},
    {"diff", "OLD NEW", "the driver's changed regions of NEW after OLD (images: .bmp, .png)",
     CmdDiff},
    {"print",
     "[--printer N] [--model 12|8|261|264] [--width 0.1MM] [--length 0.1MM] [--max-width MM]\n"
     "        [--start MM] [--density 1..9] [--quantity Q] [--labels N] [--incremental]\n"
     "        [--image FILE|FOLDER]... [--file OUT] [--format NAME] [--product NAME]\n"
     "        [--extra TEXT]... (at most 8)\n"
     "        [--no-wait] [--capture FILE]",
     "print a run of labels as the host does: drawn labels with a counter, or the --image\n"
     "      files (a folder's .bmp and .png in name order) one label each, in order;\n"
     "      --capture (print and check) writes every byte the driver sends and receives, timed,\n"
     "      for tlxsim render",
     CmdPrint},
    {"setup",
     "N [--width 0.1MM] [--length 0.1MM] [--start MM] [--density D] [--no-format]\n"
     "        [--format NAME] [--product NAME] [--screenshot FILE.png]",
     "printer N's settings dialog (KtPrPrinterSetup) for a sample label; --screenshot saves a\n"
     "      picture of it and cancels",
     CmdSetup},
    {"conddlg", "N [--inactive] [--report] [--screenshot FILE.png]",
     "the host's print-condition dialog adjusted by the driver (KtPrCondDlgCB); --report\n"
     "      prints its controls and cancels",
     CmdCondDlg},
};

const Command* find_command(const char* name) {
  for (const Command& c : kCommands)
    if (strcmp(name, c.name) == 0)
      return &c;
  return nullptr;
}

// The usage on `out`: stdout when asked for (--help, exit 0), stderr after a
// refusal (exit 2).
int usage(FILE* out = stderr) {
  fprintf(out,
          "usage: labelhost [--driver PATH] COMMAND [ARGS] [+ COMMAND [ARGS] ...]\n"
          "       labelhost --help | -h | /?   this text (COMMAND --help: that command's own)\n\n"
          "commands:\n");
  for (const Command& c : kCommands)
    fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.help);
  return out == stdout ? 0 : 2;
}

bool is_help(const char* arg) {
  return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0 || strcmp(arg, "/?") == 0;
}
} // namespace

int main(int argc, char** argv) {
  const char* driverPath = nullptr;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "--driver") == 0) {
    driverPath = argv[2];
    first = 3;
  }
  if (first >= argc) {
    fprintf(stderr, "labelhost: no command given\n");
    return usage();
  }
  if (is_help(argv[first]))
    return usage(stdout);
  // Check every command of the sequence before the driver is loaded.
  bool driver = false;
  for (int i = first; i < argc; ++i) {
    const Command* c = find_command(argv[i]);
    if (c == nullptr) {
      fprintf(stderr, "labelhost: %s: no such command (%s)\n", argv[i],
              strcmp(argv[i], "+") == 0 ? "a command must follow each +"
                                        : "info, check, ports, loopback, print, ...");
      return usage();
    }
    if (i + 1 < argc && is_help(argv[i + 1])) {
      printf("usage: labelhost %s %s\n      %s\n", c->name, c->usage, c->help);
      return 0;
    }
    driver = driver || c->driver;
    while (i < argc && strcmp(argv[i], "+") != 0)
      ++i;
  }
  DriverApi api{};
  if (driver && !LoadDriver(driverPath, &api))
    return 1;
  int result = 0;
  for (int i = first; i < argc && result == 0; ++i) {
    const Command* c = find_command(argv[i]);
    int end = i + 1;
    while (end < argc && strcmp(argv[end], "+") != 0)
      ++end;
    result = c->run(api, end - i - 1, argv + i + 1);
    if (result == 2)
      fprintf(stderr, "usage: labelhost %s %s\n", c->name, c->usage);
    i = end;
  }
  return result;
}
