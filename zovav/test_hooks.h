// Functions of the ZoVav.dll stand-in that only tests and tools call, to see
// what the driver asked of the host library. They are looked up at run time,
// so a program that uses them needs no second import library for ZoVav.dll.
#pragma once

#include <windows.h>

struct ZoVavTestHooks {
  // The module registered under a driver name, or null.
  HINSTANCE(WINAPI* RegisteredModule)(const char* pszDriverName);
  // Number of RegisterDLLPrinterFnV calls so far.
  int(WINAPI* RegistrationCount)(void);
  // Temporary buffers handed out and not yet released.
  int(WINAPI* OutstandingBuffers)(void);
  // While set, GetTmpBufFnPV gives null.
  void(WINAPI* FailTmpBuf)(BOOL bFail);
  // Number of LoadDialogItemsExFnV calls so far.
  int(WINAPI* DialogItemCalls)(void);
  // The last LoadDialogItemsExFnV call: its window, and its template and
  // driver names copied into the buffers (either may be null).
  HWND(WINAPI* LastDialogItems)
  (char* pszTemplate, int nTemplateChars, char* pszDriverName, int nDriverChars);
};

// Resolves the hooks from the ZoVav.dll loaded in this process; false when it
// is not the stand-in.
inline bool LoadZoVavTestHooks(ZoVavTestHooks* hooks) {
  HMODULE m = GetModuleHandleA("ZoVav.dll");
  if (m == nullptr)
    m = LoadLibraryA("ZoVav.dll");
  if (m == nullptr)
    return false;
  auto get = [m](const char* name) { return reinterpret_cast<void*>(GetProcAddress(m, name)); };
  hooks->RegisteredModule =
      reinterpret_cast<HINSTANCE(WINAPI*)(const char*)>(get("ZoVavTestRegisteredModule"));
  hooks->RegistrationCount =
      reinterpret_cast<int(WINAPI*)(void)>(get("ZoVavTestRegistrationCount"));
  hooks->OutstandingBuffers =
      reinterpret_cast<int(WINAPI*)(void)>(get("ZoVavTestOutstandingBuffers"));
  hooks->FailTmpBuf = reinterpret_cast<void(WINAPI*)(BOOL)>(get("ZoVavTestFailTmpBuf"));
  hooks->DialogItemCalls = reinterpret_cast<int(WINAPI*)(void)>(get("ZoVavTestDialogItemCalls"));
  hooks->LastDialogItems =
      reinterpret_cast<HWND(WINAPI*)(char*, int, char*, int)>(get("ZoVavTestLastDialogItems"));
  return hooks->RegisteredModule && hooks->RegistrationCount && hooks->OutstandingBuffers &&
         hooks->FailTmpBuf && hooks->DialogItemCalls && hooks->LastDialogItems;
}

// The stand-in's own definitions of the hooks (exported by ZoVav.def).
extern "C" {
HINSTANCE WINAPI ZoVavTestRegisteredModule(const char* pszDriverName);
int WINAPI ZoVavTestRegistrationCount(void);
int WINAPI ZoVavTestOutstandingBuffers(void);
void WINAPI ZoVavTestFailTmpBuf(BOOL bFail);
int WINAPI ZoVavTestDialogItemCalls(void);
HWND WINAPI ZoVavTestLastDialogItems(char* pszTemplate, int nTemplateChars, char* pszDriverName,
                                     int nDriverChars);
}
