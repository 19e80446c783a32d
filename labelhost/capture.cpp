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
std::string g_lastRead; // the last bytes read, at most kKeptReply
constexpr size_t kKeptReply = 32;
DWORD g_sent = 0;                     // bytes written to the port so far
void (*g_sentWatch)(DWORD) = nullptr; // told after each write

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
  if (direction == '<') {
    g_lastRead.append(static_cast<const char*>(data), n);
    g_lastRead.erase(0, g_lastRead.size() > kKeptReply ? g_lastRead.size() - kKeptReply : 0);
  } else if (direction == '>' && (g_sent += n, g_sentWatch != nullptr)) {
    g_sentWatch(g_sent);
  }
  if (g_file == nullptr)
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
  // A later command of the same process (check + check, print --capture +
  // check) starts afresh: its reply and its count forgotten, the last
  // capture's file left as written (each line is flushed; the process's end
  // closes it), the driver's imports still redirected.
  static bool redirected = false;
  g_lastRead.clear();
  g_sent = 0;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  g_writeFile = reinterpret_cast<decltype(&WriteFile)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "WriteFile")));
  g_readFile = reinterpret_cast<decltype(&ReadFile)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "ReadFile")));
  g_getOverlappedResult = reinterpret_cast<decltype(&GetOverlappedResult)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetOverlappedResult")));
  g_lwrite = reinterpret_cast<decltype(&_lwrite)>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "_lwrite")));
  g_file = path != nullptr ? fopen(path, "w") : nullptr; // text: CRLF, as Notepad shows them
  if (path != nullptr && g_file == nullptr) {
    fprintf(stderr, "labelhost: cannot create the capture file %s\n", path);
    return false;
  }
  if (g_file != nullptr)
    fputs("# VELDRIN capture\n", g_file);
  g_startTick = GetTickCount();
  if (redirected)
    return true;
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
  redirected = patched;
  return patched;
}

void WatchSends(void (*sent)(DWORD bytes)) {
  g_sentWatch = sent;
}

std::string LastReplyText() {
  if (g_lastRead.empty())
    return "none: nothing came from the printer";
  // The last complete frame: ESC letter CR, or ESC letter and four digits CR.
  const std::string& r = g_lastRead;
  for (size_t at = r.size(); at-- > 0;) {
    const size_t cr = r[at] == '\x1B' ? r.find('\r', at) : std::string::npos;
    if (cr != at + 2 && cr != at + 6)
      continue;
    const char letter = r[at + 1];
    const std::string digits = r.substr(at + 2, cr - at - 2);
    std::string meaning;
    switch (letter) {
    case 'O':
      meaning = digits == "0000" ? "no labels left to print: the job's end"
                                 : digits + ": labels still to print";
      break;
    case 'E':
      meaning = "the printer reports an error (its display or lamps say which)";
      break;
    case 'F':
      meaning = "the printer reports its ribbon used up";
      break;
    case 'T':
      meaning = "the printer received bytes with a parity error";
      break;
    case 'G':
      meaning = "the printer received bytes with a framing error";
      break;
    case 'V':
      meaning = "the printer received more than it could take (overrun)";
      break;
    default:
      meaning = "a reply the driver does not know";
    }
    return "ESC " + std::string(1, letter) + digits + " CR: " + meaning;
  }
  std::string hex;
  for (const char c : r) {
    char byte[4];
    snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(c));
    hex += byte;
  }
  return hex + "(no complete reply)";
}
