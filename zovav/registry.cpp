// Driver registration and resource lookup by driver name.
#include <windows.h>
#include <cstring>

#include "host/zovav.h"
#include "zovav/test_hooks.h"

namespace {
struct Registration {
  char szName[64];     // driver name as registered
  HINSTANCE hInstance; // module holding the driver's resources
};
Registration g_registrations[16];

Registration* find_registration(const char* name) {
  if (name == nullptr)
    return nullptr;
  for (Registration& r : g_registrations)
    if (r.hInstance != nullptr && lstrcmpiA(r.szName, name) == 0)
      return &r;
  return nullptr;
}
} // namespace

void WINAPI RegisterDLLPrinterFnV(const char* pszDriverName, HINSTANCE hInstance) {
  if (pszDriverName == nullptr)
    return;
  Registration* slot = find_registration(pszDriverName);
  for (int i = 0; slot == nullptr && i < 16; ++i)
    if (g_registrations[i].hInstance == nullptr)
      slot = &g_registrations[i];
  if (slot == nullptr)
    return;
  lstrcpynA(slot->szName, pszDriverName, sizeof(slot->szName));
  slot->hInstance = hInstance;
}

int WINAPI LoadStringExFnI(UINT nId, char* pszBuf, int nBufChars, const char* pszDriverName) {
  const Registration* r = find_registration(pszDriverName);
  if (r == nullptr || pszBuf == nullptr || nBufChars <= 0) {
    if (pszBuf != nullptr && nBufChars > 0)
      pszBuf[0] = '\0';
    return 0;
  }
  return LoadStringA(r->hInstance, nId, pszBuf, nBufChars);
}

HINSTANCE WINAPI ZoVavTestRegisteredModule(const char* pszDriverName) {
  const Registration* r = find_registration(pszDriverName);
  return r != nullptr ? r->hInstance : nullptr;
}
