// labelhost init/error/ready/stop/wait: a printer's life around a job, as the
// host application drives it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "labelhost/commands.h"
#include "labelhost/ini_check.h"
#include "labelhost/printer_ini.h"
#include "settings/ini_layout.h"
#include "settings/store.h"

namespace {
// Prints the settings the driver loads for a printer, as labelhost reads them
// from the same INI file: the driver reports none of its own.
void show_settings(DWORD printer) {
  const PrinterIni p = ReadPrinterIni(printer);
  printf("printer %lu: %s, maximum print width %u mm\n", printer,
         LineSettingsText(p.serial).c_str(), p.maxWidthMm);
  printf("printer %lu: read by labelhost from %s with the driver's parser (%s); the driver "
         "reports no settings of its own\n",
         printer, p.iniPath.empty() ? "(no INI file)" : p.iniPath.c_str(),
         p.serialFromIni ? "serial settings from the file" : "no serial string: the defaults");
}
} // namespace

namespace {
// The printers whose settings this process has loaded.
std::set<DWORD> g_loaded;

// The host loads a printer's settings (KtPrInitPrinter) before any other
// step; without them the driver knows no port for it. ready, stop and wait
// in a process that has not loaded them (labelhost ready 1 alone, or a wait
// for a job an earlier labelhost sent) take that step first, as the host
// would, and say so.
bool load_first(const DriverApi& api, DWORD printer) {
  if (g_loaded.count(printer) != 0)
    return true;
  if (!RequireExport(reinterpret_cast<const void*>(api.InitPrinter), "KtPrInitPrinter"))
    return false;
  const LONG result = LoadPrinter(api, printer);
  printf("KtPrInitPrinter(%lu) = %ld (the host's first step, not yet taken in this process)\n",
         printer, result);
  return result == 0;
}
} // namespace

LONG LoadPrinter(const DriverApi& api, DWORD printer) {
  const LONG result = api.InitPrinter(printer, 0);
  if (result == 0)
    g_loaded.insert(printer);
  return result;
}

bool ParsePrinterArg(const char* text, DWORD* number) {
  char* end = nullptr;
  const unsigned long value = strtoul(text, &end, 10);
  if (end == text || *end != '\0') {
    fprintf(stderr, "labelhost: %s: not a printer number (1 to 8)\n", text);
    return false;
  }
  *number = static_cast<DWORD>(value);
  return true;
}

namespace {
// The one printer number of init, error, ready, stop and wait.
bool one_printer(const char* command, int argc, char** argv, DWORD* printer) {
  if (argc < 1) {
    fprintf(stderr, "labelhost %s: the printer number is missing\n", command);
    return false;
  }
  if (argc > 1) {
    fprintf(stderr, "labelhost %s: %s: one printer number only\n", command, argv[1]);
    return false;
  }
  return ParsePrinterArg(argv[0], printer);
}

// init's --serial COMn,BAUD,DATA,PARITY,STOP: the printer's serial string
// written into the INI file, in the driver's own format. The exit status: 0
// written, 2 a malformed string, 1 a file that cannot be written.
int write_serial(DWORD printer, const char* mode) {
  SerialSettings s{};
  if (strchr(mode, '#') != nullptr || !IntendedSerialSettings(mode, &s)) {
    fprintf(stderr,
            "labelhost init: %s: --serial takes COMn,BAUD,DATA,PARITY,STOP (COM1,57600,8,N,1): "
            "port 1 to 207, a baud rate a port takes up to 57600, 7 or 8 data bits, parity "
            "N, O or E, stop bits 1, 1.5 or 2\n",
            mode);
    return 2;
  }
  const char* ini = HostIniPath();
  char key[16], text[kSerialStringLength + 1];
  snprintf(key, sizeof key, kIniSerialKeyFormat, static_cast<int>(printer - 1));
  FormatSerialString(s, text);
  if (ini == nullptr || !WritePrivateProfileStringA(kIniDriverSection, key, text, ini)) {
    fprintf(stderr, "labelhost init: cannot write %s into %s (error %lu)\n", key,
            ini != nullptr ? ini : "(no INI file)", GetLastError());
    return 1; // the arguments were right: no usage
  }
  printf("printer %lu: %s=%s written into %s\n", printer, key, text, ini);
  return 0;
}
} // namespace

bool ParseModelArg(const char* text, WORD* typeCode) {
  for (const auto& [name, code] :
       {std::pair{"12", 261}, std::pair{"261", 261}, std::pair{"8", 264}, std::pair{"264", 264}})
    if (strcmp(text, name) == 0)
      return *typeCode = static_cast<WORD>(code), true;
  return false;
}

DWORD ShowPrintError(const DriverApi& api, DWORD printer) {
  char message[512] = "";
  const DWORD code = api.GetPrintError(printer, message, sizeof(message));
  if (code == 0)
    printf("printer %lu: no error\n", printer);
  else
    printf("printer %lu: error %lu: %s\n", printer, code, message);
  return code;
}

int CmdInit(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  const bool serial = argc == 3 && strcmp(argv[1], "--serial") == 0;
  if (!one_printer("init", serial ? 1 : argc, argv, &printer))
    return 2;
  if (serial && (printer < 1 || printer > 8)) {
    fprintf(stderr, "labelhost init: %lu: --serial needs a printer number from 1 to 8\n", printer);
    return 2;
  }
  if (const int status = serial ? write_serial(printer, argv[2]) : 0; status != 0)
    return status;
  if (!RequireExport(reinterpret_cast<const void*>(api.InitPrinter), "KtPrInitPrinter"))
    return 1;
  const LONG result = LoadPrinter(api, printer);
  printf("KtPrInitPrinter(%lu) = %ld\n", printer, result);
  if (result != 0)
    return 1;
  show_settings(printer);
  return 0;
}

int CmdError(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (!one_printer("error", argc, argv, &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError"))
    return 1;
  ShowPrintError(api, printer);
  return 0;
}

int CmdReady(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (!one_printer("ready", argc, argv, &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.IsPrintReady), "KtPrIsPrintReady") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError") ||
      !load_first(api, printer))
    return 1;
  // This export takes the slot index, not the printer number.
  if (api.IsPrintReady(printer - 1, 0)) {
    printf("printer %lu: ready\n", printer);
    return 0;
  }
  printf("printer %lu: not ready\n", printer);
  ShowPrintError(api, printer);
  return 1;
}

int CmdStop(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (!one_printer("stop", argc, argv, &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.StopPrint), "KtPrStopPrint") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError") ||
      !load_first(api, printer))
    return 1;
  if (api.StopPrint(printer)) {
    printf("printer %lu: stop command sent\n", printer);
    return 0;
  }
  printf("printer %lu: stop failed\n", printer);
  ShowPrintError(api, printer);
  return 1;
}

int CmdWait(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (!one_printer("wait", argc, argv, &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.IsPrintFinished), "KtPrIsPrintFinished") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError") ||
      !load_first(api, printer))
    return 1;
  // A job sent by an earlier labelhost, or none: the driver follows no
  // reply time-out for it, so wait gives up after the same time itself
  // rather than poll an idle printer for ever.
  const DWORD timeout = LoadReplyTimeout();
  return WaitForJob(api, printer, timeout != 0 ? timeout : INFINITE) ? 0 : 1;
}

LONG FollowJob(const DriverApi& api, DWORD printer, DWORD limitMs,
               void (*progress)(DWORD printer, LONG remaining, DWORD elapsedMs), DWORD silentMs) {
  const DWORD start = GetTickCount();
  DWORD replied = start; // the last reply, or the start
  LONG shown = -1;
  for (;;) {
    LONG remaining = -1;
    const LONG result = api.IsPrintFinished(printer, &remaining, 0, 0);
    if (result == 1 || result == -1)
      return result;
    const DWORD now = GetTickCount();
    if (now - start >= limitMs)
      return 2;
    if (result != 2)
      replied = now;
    else if (now - replied >= silentMs)
      return 3;
    if (result == 0 && remaining != shown) {
      shown = remaining;
      progress(printer, remaining, GetTickCount() - start);
      fflush(stdout);
    }
    Sleep(50);
  }
}

bool WaitForJob(const DriverApi& api, DWORD printer, DWORD silentMs) {
  const LONG result = FollowJob(
      api, printer, INFINITE,
      [](DWORD p, LONG remaining, DWORD) {
        printf("printer %lu: %ld label%s still to print\n", p, remaining,
               remaining == 1 ? "" : "s");
      },
      silentMs);
  if (result == 1) {
    printf("printer %lu: finished\n", printer);
    return true;
  }
  if (result == 3) {
    printf("printer %lu: no reply for %lu ms (ReplyTimeout): no job running, one that ended "
           "before the wait began, or a printer that does not answer\n",
           printer, silentMs);
    return false;
  }
  printf("printer %lu: the job failed\n", printer);
  ShowPrintError(api, printer);
  return false;
}
