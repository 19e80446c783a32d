// labelhost init/error/ready/stop/wait: a printer's life around a job, as the
// host application drives it.
#include <cstdio>
#include <cstdlib>

#include "labelhost/commands.h"
#include "labelhost/printer_ini.h"

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

bool ParsePrinterArg(const char* text, DWORD* number) {
  char* end = nullptr;
  const unsigned long value = strtoul(text, &end, 10);
  if (end == text || *end != '\0')
    return false;
  *number = static_cast<DWORD>(value);
  return true;
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
  if (argc != 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.InitPrinter), "KtPrInitPrinter"))
    return 1;
  const LONG result = api.InitPrinter(printer, 0);
  printf("KtPrInitPrinter(%lu) = %ld\n", printer, result);
  if (result != 0)
    return 1;
  show_settings(printer);
  return 0;
}

int CmdError(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (argc != 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError"))
    return 1;
  ShowPrintError(api, printer);
  return 0;
}

int CmdReady(const DriverApi& api, int argc, char** argv) {
  DWORD printer;
  if (argc != 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.IsPrintReady), "KtPrIsPrintReady") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError"))
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
  if (argc != 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.StopPrint), "KtPrStopPrint") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError"))
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
  if (argc != 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.IsPrintFinished), "KtPrIsPrintFinished") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintError), "KtPrGetPrintError"))
    return 1;
  return WaitForJob(api, printer) ? 0 : 1;
}

LONG FollowJob(const DriverApi& api, DWORD printer, DWORD limitMs,
               void (*progress)(DWORD printer, LONG remaining, DWORD elapsedMs)) {
  const DWORD start = GetTickCount();
  LONG shown = -1;
  for (;;) {
    LONG remaining = -1;
    const LONG result = api.IsPrintFinished(printer, &remaining, 0, 0);
    if (result == 1 || result == -1)
      return result;
    if (GetTickCount() - start >= limitMs)
      return 2;
    if (result == 0 && remaining != shown) {
      shown = remaining;
      progress(printer, remaining, GetTickCount() - start);
      fflush(stdout);
    }
    Sleep(50);
  }
}

bool WaitForJob(const DriverApi& api, DWORD printer) {
  const LONG result = FollowJob(api, printer, INFINITE, [](DWORD p, LONG remaining, DWORD) {
    printf("printer %lu: %ld label%s still to print\n", p, remaining, remaining == 1 ? "" : "s");
  });
  if (result == 1) {
    printf("printer %lu: finished\n", printer);
    return true;
  }
  printf("printer %lu: the job failed\n", printer);
  ShowPrintError(api, printer);
  return false;
}
