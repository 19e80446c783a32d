// The host's database file access as the print position file needs it: open
// a file and read its header, read its field descriptors, and temporary
// buffers.
#include <windows.h>
#include <cstring>

#include "host/database.h"
#include "host/zovav.h"

HFILE WINAPI LoadDbsInfoFnHF(const char* pszPath, void* pHeader, int nMode) {
  if (pszPath == nullptr || pHeader == nullptr)
    return HFILE_ERROR;
  HFILE file = _lopen(pszPath, nMode == 1 ? OF_READWRITE : OF_READ);
  if (file == HFILE_ERROR)
    return HFILE_ERROR;
  if (_lread(file, pHeader, kDbsInfoSize) != kDbsInfoSize) {
    _lclose(file);
    return HFILE_ERROR;
  }
  return file;
}

void WINAPI LoadDbsListFnV(HFILE hFile, void* pHeader, void* pFields) {
  if (pHeader == nullptr || pFields == nullptr)
    return;
  const DbsInfo* info = static_cast<const DbsInfo*>(pHeader);
  const UINT bytes = static_cast<UINT>(info->wFieldCount) * kDbsFieldSize;
  // Read from where the file stands, as a library that trusts its caller to
  // have left the pointer behind the header would: no seek of its own.
  const UINT n = _lread(hFile, pFields, bytes);
  const UINT got = n != static_cast<UINT>(HFILE_ERROR) ? n : 0;
  // A file that ends early leaves zeroed descriptors rather than stale bytes.
  memset(static_cast<char*>(pFields) + got, 0, bytes - got);
}

void* WINAPI GetTmpBufFnPV(DWORD dwSize) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, dwSize);
}

void WINAPI FreeTmpBufFnV(void* pBuf) {
  if (pBuf == nullptr)
    return;
  HeapFree(GetProcessHeap(), 0, pBuf);
}
