// labelhost loads VELDRIN.dll the way the host application does: LoadLibrary,
// then GetProcAddress by each export's plain name.
#pragma once

#include <windows.h>

#include "host/records.h"

struct DriverApi {
  HMODULE hModule;     // the loaded driver
  const char* missing; // the first export it lacks; null when it has all
  DWORD(WINAPI* ClosePrinter)(DWORD);
  DWORD(WINAPI* CondDlgCB)(HWND, UINT, WPARAM, LPARAM, CondDialogInfo*);
  DWORD(WINAPI* FeedLabel)(DWORD, DWORD);
  DWORD(WINAPI* GetDriverSpec)(DriverSpec*);
  DWORD(WINAPI* GetPrintData)(DWORD, PrintData*);
  DWORD(WINAPI* GetPrintError)(DWORD, char*, DWORD);
  DWORD(WINAPI* GetPrinterSpec)(PrinterSpec*, DWORD);
  LONG(WINAPI* InitPrinter)(DWORD, DWORD);
  LONG(WINAPI* IoControl)(DWORD, DWORD, void*, void*);
  LONG(WINAPI* IsPrintFinished)(DWORD, LONG*, DWORD, DWORD);
  DWORD(WINAPI* IsPrintReady)(DWORD, DWORD);
  DWORD(WINAPI* PrintNotify)(DWORD, DWORD);
  SHORT(WINAPI* PrintOneLabel)(DWORD, LONG, HBITMAP, const PrintJobInfo*);
  DWORD(WINAPI* PrinterSetup)(HWND, DWORD, PrintJobInfo*);
  SHORT(WINAPI* RePrintOneLabel)(DWORD, LONG, HBITMAP, const PrintJobInfo*);
  SHORT(WINAPI* StartPrint)(DWORD, LONG, HBITMAP, const PrintJobInfo*);
  DWORD(WINAPI* StopPrint)(DWORD);
  DWORD(WINAPI* WaitPrintFinished)(DWORD, DWORD);
};

// Loads the driver (path; when null "VELDRIN.dll" beside labelhost or on the
// search path, else the one in the folder above labelhost's) and
// resolves every export it has. Prints the reason and returns false when the
// driver cannot be loaded; an export the driver lacks stays null.
bool LoadDriver(const char* path, DriverApi* api);

// For commands that take the host's whole path through the driver: prints
// which export is missing and returns false unless the driver has all 18.
bool RequireAllExports(const DriverApi& api, const char* command);

// Prints "labelhost: the driver has no export NAME" and returns false when fn
// is null.
bool RequireExport(const void* fn, const char* name);

// What a Windows error code means, for the kit's hints ("" for a code it does
// not explain): 2, 3, 5, 87, 126, 127, 193.
const char* WindowsErrorMeaning(DWORD error);
