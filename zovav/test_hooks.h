// The one function of the ZoVav.dll stand-in that only tests call: which
// module registered under a driver name. It is looked up at run time, so a
// program that uses it needs no import library for ZoVav.dll.
#pragma once

#include <windows.h>

using RegisteredModuleFn = HINSTANCE(WINAPI*)(const char* pszDriverName);

// The stand-in's ZoVavTestRegisteredModule, or null when the ZoVav.dll loaded
// in this process is not the stand-in.
inline RegisteredModuleFn LoadRegisteredModuleHook() {
  HMODULE m = GetModuleHandleA("ZoVav.dll");
  return m != nullptr ? reinterpret_cast<RegisteredModuleFn>(
                            reinterpret_cast<void*>(GetProcAddress(m, "ZoVavTestRegisteredModule")))
                      : nullptr;
}

extern "C" HINSTANCE WINAPI ZoVavTestRegisteredModule(const char* pszDriverName);
