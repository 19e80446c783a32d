// Loading the driver and resolving its exports by name.
#include "labelhost/driver_api.h"

#include <cstdio>
#include <cstring>

namespace {
template <typename Fn> void resolve(HMODULE module, Fn*& fn, const char* name) {
  fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
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
  HMODULE m = api->hModule;
  resolve(m, api->ClosePrinter, "KtPrClosePrinter");
  resolve(m, api->CondDlgCB, "KtPrCondDlgCB");
  resolve(m, api->FeedLabel, "KtPrFeedLabel");
  resolve(m, api->GetDriverSpec, "KtPrGetDriverSpec");
  resolve(m, api->GetPrintData, "KtPrGetPrintData");
  resolve(m, api->GetPrintError, "KtPrGetPrintError");
  resolve(m, api->GetPrinterSpec, "KtPrGetPrinterSpec");
  resolve(m, api->InitPrinter, "KtPrInitPrinter");
  resolve(m, api->IoControl, "KtPrIoControl");
  resolve(m, api->IsPrintFinished, "KtPrIsPrintFinished");
  resolve(m, api->IsPrintReady, "KtPrIsPrintReady");
  resolve(m, api->PrintNotify, "KtPrPrintNotify");
  resolve(m, api->PrintOneLabel, "KtPrPrintOneLabel");
  resolve(m, api->PrinterSetup, "KtPrPrinterSetup");
  resolve(m, api->RePrintOneLabel, "KtPrRePrintOneLabel");
  resolve(m, api->StartPrint, "KtPrStartPrint");
  resolve(m, api->StopPrint, "KtPrStopPrint");
  resolve(m, api->WaitPrintFinished, "KtPrWaitPrintFinished");
  return true;
}

bool RequireExport(const void* fn, const char* name) {
  if (fn != nullptr)
    return true;
  fprintf(stderr, "labelhost: the driver has no export %s\n", name);
  return false;
}
