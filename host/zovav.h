// The host library ZoVav: the eleven functions the driver imports from the
// host application's own library. All are stdcall except OutputDebugStringEx,
// which takes printf-style arguments and so uses the C convention. The names
// carry the result type as a suffix (V none, I integer, PV pointer, HF file).
#pragma once

#include <windows.h>

extern "C" {

// Registers a driver module under its name; the library then finds the
// driver's resources (strings, dialog items) under that name.
void WINAPI RegisterDLLPrinterFnV(const char* pszDriverName, HINSTANCE hInstance);

// Path of the host's INI file, NUL-terminated. Asked afresh for every use.
const char* WINAPI HVTGetIniFileName(void);

// Loads string nId of the driver registered as pszDriverName into pszBuf.
int WINAPI LoadStringExFnI(UINT nId, char* pszBuf, int nBufChars, const char* pszDriverName);

// Sets the item texts of a dialog made from the driver's template.
void WINAPI LoadDialogItemsExFnV(const char* pszTemplate, HWND hDlg, const char* pszDriverName);

// Centres hDlg on hOwner.
void WINAPI CenterDialogFnV(HWND hDlg, HWND hOwner);

// Writes the host's module directory (where the print position file lives).
void WINAPI GetModuleDirectory(char* pszBuf, UINT nBufChars);

// Opens a database file and reads its 2272-byte header; nMode 1 also opens it
// for writing. Returns the file handle, or -1 (HFILE_ERROR) on failure.
HFILE WINAPI LoadDbsInfoFnHF(const char* pszPath, void* pHeader, int nMode);

// Writes the header's field descriptors (656 bytes each) to pFields.
void WINAPI LoadDbsListFnV(HFILE hFile, void* pHeader, void* pFields);

// A temporary buffer of at least dwSize bytes, or null; released with
// FreeTmpBufFnV.
void* WINAPI GetTmpBufFnPV(DWORD dwSize);
void WINAPI FreeTmpBufFnV(void* pBuf);

// printf-style diagnostic line.
void __cdecl OutputDebugStringEx(const char* pszFormat, ...);

} // extern "C"
