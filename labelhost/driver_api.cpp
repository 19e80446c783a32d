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
    fprintf(stderr, "labelhost: cannot load %s (error %lu)\n", name, GetLastError());
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
