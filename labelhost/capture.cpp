// The capture of the driver's transfers: its WriteFile, ReadFile,
// GetOverlappedResult and _lwrite calls pass through here. A transfer is
// noted when it completes, with the bytes it really moved: at once when the call completes
// it, else when GetOverlappedResult reports the pending transfer done (the
// driver's buffer holds the bytes until then).
#include "labelhost/capture.h"

#include <cstdio>
#include <utility>

#include "labelhost/import_patch.h"

namespace {
FILE* g_file = nullptr;
DWORD g_startTick = 0;

// The pending transfers by their OVERLAPPED: the buffer and the direction.
struct Pending {
  const OVERLAPPED* ov;
  const BYTE* data;
  char direction;
};
Pending g_pending[8]; // one per printer slot is all the driver keeps open

decltype(&WriteFile) g_writeFile;
decltype(&ReadFile) g_readFile;
decltype(&GetOverlappedResult) g_getOverlappedResult;
decltype(&_lwrite) g_lwrite;

void note(char direction, const void* data, DWORD n) {
  if (n == 0)
    return;
  const DWORD ms = GetTickCount() - g_startTick;
  fprintf(g_file, "%lu.%03lu %c ", ms / 1000, ms % 1000, direction);
  for (DWORD i = 0; i < n; ++i)
    fprintf(g_file, "%02X", static_cast<const BYTE*>(data)[i]);
  fputc('\n', g_file);
  fflush(g_file); // a crash or a killed process keeps what came before
}

// Remembers a transfer that went pending, in place of an older entry of the
// same OVERLAPPED or a free one.
void keep_pending(const OVERLAPPED* ov, const void* data, char direction) {
  Pending* slot = nullptr;
  for (Pending& p : g_pending)
    if (p.ov == ov || (slot == nullptr && p.ov == nullptr))
      slot = &p;
  if (slot != nullptr)
    *slot = {ov, static_cast<const BYTE*>(data), direction};
}

BOOL after(BOOL done, char direction, const void* data, const DWORD* n, LPOVERLAPPED ov) {
  const DWORD error = GetLastError();
  if (done && n != nullptr)
    note(direction, data, *n);
  else if (!done && error == ERROR_IO_PENDING && ov != nullptr)
    keep_pending(ov, data, direction);
  SetLastError(error);
  return done;
}

BOOL WINAPI write_file(HANDLE h, LPCVOID data, DWORD count, LPDWORD n, LPOVERLAPPED ov) {
  return after(g_writeFile(h, data, count, n, ov), '>', data, n, ov);
}

BOOL WINAPI read_file(HANDLE h, LPVOID data, DWORD count, LPDWORD n, LPOVERLAPPED ov) {
  return after(g_readFile(h, data, count, n, ov), '<', data, n, ov);
}

// File mode: the label goes into the host's file.
UINT WINAPI lwrite(HFILE file, LPCCH data, UINT count) {
  const UINT n = g_lwrite(file, data, count);
  if (n != UINT(HFILE_ERROR))
    note('=', data, n);
  return n;
}

BOOL WINAPI get_overlapped_result(HANDLE h, LPOVERLAPPED ov, LPDWORD n, BOOL wait) {
  const BOOL done = g_getOverlappedResult(h, ov, n, wait);
  const DWORD error = GetLastError();
  // A cancelled transfer may still have moved bytes: noted as well.
  for (Pending& p : g_pending)
    if (p.ov == ov && (done || error != ERROR_IO_INCOMPLETE)) {
      if (n != nullptr)
        note(p.direction, p.data, *n);
      p = Pending{};
    }
  SetLastError(error);
  return done;
}
} // namespace

bool StartCapture(HMODULE driver, const char* path) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  g_writeFile = reinterpret_cast<decltype(&WriteFile)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "WriteFile")));
  g_readFile = reinterpret_cast<decltype(&ReadFile)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "ReadFile")));
  g_getOverlappedResult = reinterpret_cast<decltype(&GetOverlappedResult)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetOverlappedResult")));
  g_lwrite = reinterpret_cast<decltype(&_lwrite)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "_lwrite")));
  g_file = fopen(path, "w"); // text: CRLF line ends, as Notepad shows them
  if (g_file == nullptr) {
    fprintf(stderr, "labelhost: cannot create the capture file %s\n", path);
    return false;
  }
  fputs("# VELDRIN capture\n", g_file);
  g_startTick = GetTickCount();
  const std::pair<void*, void*> redirects[] = {
      {reinterpret_cast<void*>(g_writeFile), reinterpret_cast<void*>(write_file)},
      {reinterpret_cast<void*>(g_readFile), reinterpret_cast<void*>(read_file)},
      {reinterpret_cast<void*>(g_getOverlappedResult),
       reinterpret_cast<void*>(get_overlapped_result)},
      {reinterpret_cast<void*>(g_lwrite), reinterpret_cast<void*>(lwrite)}};
  bool patched = true;
  for (const auto& [original, replacement] : redirects)
    patched = PatchImport(driver, original, replacement) && patched;
  if (!patched)
    fprintf(stderr, "labelhost: the driver's transfers cannot be captured\n");
  return patched;
}
