// The module's entry point: keeps the instance handle and registers the driver
// with the host library at process attach. Nothing is released at detach.
#include "driver/errors.h"
#include "driver/slots.h"
#include "host/zovav.h"

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hInstance = hInstance;
    RegisterDLLPrinterFnV(kDriverName, hInstance);
  }
  return TRUE;
}
