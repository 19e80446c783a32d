// Loading the driver and resolving its exports by name.
#include "labelhost/driver_api.h"

#include <cstdio>
#include <cstring>

namespace {
template <typename Fn> void resolve(DriverApi* api, Fn*& fn, const char* name) {
  fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(api->hModule, name)));
  if (fn == nullptr && api->missing == nullptr)
    api->missing = name;
}
} // namespace

bool LoadDriver(const char* path, DriverApi* api) {
  *api = DriverApi{};
  const char* name = path != nullptr ? path : "VELDRIN.dll";
  api->hModule = LoadLibraryA(name);
  if (api->hModule == nullptr && path == nullptr) {
    // The release archive's layout: the driver one folder up from the kit.
    char parent[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, parent, MAX_PATH - 16);
    char* slash = n > 0 && n < MAX_PATH - 16 ? strrchr(parent, '\\') : nullptr;
    if (slash != nullptr) {
      strcpy(slash, "\\..\\VELDRIN.dll");
      api->hModule = LoadLibraryA(parent);
    }
  }
  if (api->hModule == nullptr) {
    const DWORD error = GetLastError();
    fprintf(stderr, "labelhost: cannot load %s (error %lu)\n", name, error);
    if (*WindowsErrorMeaning(error) != '\0')
      fprintf(stderr, "hint: error %lu: %s\n", error, WindowsErrorMeaning(error));
    return false;
  }
  resolve(api, api->ClosePrinter, "KtPrClosePrinter");
  resolve(api, api->CondDlgCB, "KtPrCondDlgCB");
  resolve(api, api->FeedLabel, "KtPrFeedLabel");
  resolve(api, api->GetDriverSpec, "KtPrGetDriverSpec");
  resolve(api, api->GetPrintData, "KtPrGetPrintData");
  resolve(api, api->GetPrintError, "KtPrGetPrintError");
  resolve(api, api->GetPrinterSpec, "KtPrGetPrinterSpec");
  resolve(api, api->InitPrinter, "KtPrInitPrinter");
  resolve(api, api->IoControl, "KtPrIoControl");
  resolve(api, api->IsPrintFinished, "KtPrIsPrintFinished");
  resolve(api, api->IsPrintReady, "KtPrIsPrintReady");
  resolve(api, api->PrintNotify, "KtPrPrintNotify");
  resolve(api, api->PrintOneLabel, "KtPrPrintOneLabel");
  resolve(api, api->PrinterSetup, "KtPrPrinterSetup");
  resolve(api, api->RePrintOneLabel, "KtPrRePrintOneLabel");
  resolve(api, api->StartPrint, "KtPrStartPrint");
  resolve(api, api->StopPrint, "KtPrStopPrint");
  resolve(api, api->WaitPrintFinished, "KtPrWaitPrintFinished");
  return true;
}

bool RequireExport(const void* fn, const char* name) {
  if (fn != nullptr)
    return true;
  fprintf(stderr, "labelhost: the driver has no export %s\n", name);
  return false;
}

bool RequireAllExports(const DriverApi& api, const char* command) {
  if (api.missing == nullptr)
    return true;
  fprintf(stderr, "labelhost: the driver has no export %s, needed by %s\n", api.missing, command);
  return false;
}

const char* WindowsErrorMeaning(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
    return "the file or port is not there";
  case ERROR_PATH_NOT_FOUND:
    return "a folder of the path is not there";
  case ERROR_ACCESS_DENIED:
    return "access denied: another program holds it, or this user may not open it";
  case ERROR_INVALID_PARAMETER:
    return "a value the call does not take (for a port: a setting its driver refuses)";
  case ERROR_MOD_NOT_FOUND:
    return "a module is missing: the DLL itself, or a DLL it needs (ZoVav.dll: the host's in "
           "its folder, or the kit's stand-in beside labelhost.exe)";
  case ERROR_PROC_NOT_FOUND:
    return "a function it needs is missing: the ZoVav.dll found first is not the host library "
           "this DLL was built for";
  case ERROR_BAD_EXE_FORMAT:
    return "not a 32-bit Windows DLL: a 64-bit, damaged or other kind of file";
  default:
    return "";
  }
}
