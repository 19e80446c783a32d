// Diagnostic output: each line goes to OutputDebugStringA and, when
// ZOVAV_DEBUG_LOG names a file, is appended to it, one call per line (a
// newline is added unless the text already ends with one).
#include <windows.h>
#include <cstdarg>
#include <cstdio>

#include "host/zovav.h"

void __cdecl OutputDebugStringEx(const char* pszFormat, ...) {
  if (pszFormat == nullptr)
    return;
  char text[2048];
  va_list args;
  va_start(args, pszFormat);
  int n = vsnprintf(text, sizeof(text) - 1, pszFormat, args);
  va_end(args);
  if (n < 0)
    return;
  if (n > static_cast<int>(sizeof(text)) - 2)
    n = static_cast<int>(sizeof(text)) - 2;
  OutputDebugStringA(text);

  char path[MAX_PATH];
  DWORD len = GetEnvironmentVariableA("ZOVAV_DEBUG_LOG", path, sizeof(path));
  if (len == 0 || len >= sizeof(path))
    return;
  if (n == 0 || text[n - 1] != '\n')
    text[n++] = '\n';
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(file);
}
