// labelhost init/error/ready/stop/wait: a printer's life around a job, as the
// host application drives it.
#include <cstdio>
#include <cstdlib>

#include "labelhost/commands.h"
#include "settings/serial_string.h"

namespace {
const char* const kParityNames[] = {"none", "odd", "even"};
const char* const kStopBitNames[] = {"1", "1.5", "2"};

// The host's INI file, as the host library names it to the driver.
const char* host_ini_path() {
  HMODULE zovav = GetModuleHandleA("ZoVav.dll");
  auto fn = reinterpret_cast<const char*(WINAPI*)(void)>(
      reinterpret_cast<void*>(GetProcAddress(zovav, "HVTGetIniFileName")));
  return fn != nullptr ? fn() : nullptr;
}

// Prints the settings the driver loads for a printer: the INI serial string
// read by the driver's own parser over the defaults, and the maximum width.
void show_settings(DWORD printer) {
  const char* ini = host_ini_path();
  SerialSettings s{3, 9600, 8, 0, 0};
  char key[16];
  char text[512] = "";
  snprintf(key, sizeof(key), "VD%02d", static_cast<int>(printer - 1));
  DWORD n = GetPrivateProfileStringA("VELDRIN Info", key, "", text, sizeof(text), ini);
  const bool fromIni = ParseSerialString(text, n, &s);
  snprintf(key, sizeof(key), "VDMAX%02d", static_cast<int>(printer - 1));
  const UINT width = GetPrivateProfileIntA("VELDRIN Info", key, 53, ini);
  printf("printer %lu: COM%d, %lu baud, %u data bits, %s stop bits, parity %s, max width %u mm"
         " (%s; INI %s)\n",
         printer, s.nComPort, static_cast<unsigned long>(s.dwBaudRate), s.byteSize,
         s.stopBits < 3 ? kStopBitNames[s.stopBits] : "?",
         s.parity < 3 ? kParityNames[s.parity] : "?", width,
         fromIni ? "serial settings from the INI file" : "default serial settings",
         ini != nullptr ? ini : "(none)");
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

bool WaitForJob(const DriverApi& api, DWORD printer) {
  LONG shown = -1;
  for (;;) {
    LONG remaining = -1;
    const LONG result = api.IsPrintFinished(printer, &remaining, 0, 0);
    if (result == 1) {
      printf("printer %lu: finished\n", printer);
      return true;
    }
    if (result == -1) {
      printf("printer %lu: the job failed\n", printer);
      ShowPrintError(api, printer);
      return false;
    }
    if (result == 0 && remaining != shown) {
      printf("printer %lu: %ld label%s still to print\n", printer, remaining,
             remaining == 1 ? "" : "s");
      fflush(stdout);
      shown = remaining;
    }
    Sleep(100);
  }
}
