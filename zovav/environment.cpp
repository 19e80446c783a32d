// Where the host keeps its files. The stand-in takes them from the
// environment, read afresh on every call so tests can switch files mid-run:
//   ZOVAV_INI         path of the host's INI file
//                     (default: HOST.INI beside the running program)
//   ZOVAV_MODULE_DIR  directory GetModuleDirectory reports
//                     (default: the running program's directory)
#include <windows.h>
#include <cstring>

#include "host/zovav.h"

namespace {
// Directory of the running program, without a trailing backslash.
void program_directory(char* buf, DWORD size) {
  DWORD n = GetModuleFileNameA(nullptr, buf, size);
  if (n == 0 || n >= size) {
    lstrcpynA(buf, ".", static_cast<int>(size));
    return;
  }
  char* slash = strrchr(buf, '\\');
  if (slash != nullptr)
    *slash = '\0';
}
} // namespace

const char* WINAPI HVTGetIniFileName(void) {
  static char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ZOVAV_INI", path, sizeof(path));
  if (n > 0 && n < sizeof(path))
    return path;
  program_directory(path, sizeof(path));
  lstrcatA(path, "\\HOST.INI");
  return path;
}

void WINAPI GetModuleDirectory(char* pszBuf, UINT nBufChars) {
  if (pszBuf == nullptr || nBufChars == 0)
    return;
  DWORD n = GetEnvironmentVariableA("ZOVAV_MODULE_DIR", pszBuf, nBufChars);
  if (n > 0 && n < nBufChars)
    return;
  program_directory(pszBuf, nBufChars);
}
