// labelhost: a command-line stand-in for the host application. It loads
// VELDRIN.dll the way the host does and drives it one command at a time.
#include <cstdio>
#include <cstring>

#include "labelhost/commands.h"

namespace {
struct Command {
  const char* name;  // first argument
  const char* usage; // arguments, for the usage text
  const char* help;  // one line on what it does
  int (*run)(const DriverApi&, int, char**);
};

const Command kCommands[] = {
    {"info", "", "driver spec, printer specs and print data of both models", CmdInfo},
};

int usage() {
  fprintf(stderr, "usage: labelhost [--driver PATH] COMMAND [ARGS]\n\ncommands:\n");
  for (const Command& c : kCommands)
    fprintf(stderr, "  %s %s\n      %s\n", c.name, c.usage, c.help);
  return 2;
}
} // namespace

int main(int argc, char** argv) {
  const char* driverPath = nullptr;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "--driver") == 0) {
    driverPath = argv[2];
    first = 3;
  }
  if (first >= argc)
    return usage();
  for (const Command& c : kCommands) {
    if (strcmp(argv[first], c.name) != 0)
      continue;
    DriverApi api;
    if (!LoadDriver(driverPath, &api))
      return 1;
    int result = c.run(api, argc - first - 1, argv + first + 1);
    if (result == 2) {
      fprintf(stderr, "usage: labelhost %s %s\n", c.name, c.usage);
      return 2;
    }
    return result;
  }
  fprintf(stderr, "labelhost: unknown command %s\n", argv[first]);
  return usage();
}
