// Running programs from Wine tests.
#include "support/programs.h"

#include <cstdio>

#include "support/test_files.h"

namespace veldrin_test {

std::string BuildProgramPath(const std::string& name) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  const std::string self(path, n);
  return self.substr(0, self.find_last_of('\\') + 1) + name;
}

namespace {
// Starts a process and waits for it; its exit code, or -1.
int run_and_wait(std::string command, STARTUPINFOA* si, BOOL inherit, DWORD timeoutMs) {
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr, si,
                      &pi))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
} // namespace

int RunProgram(const std::string& commandLine, const std::string& outputFile, std::string* output,
               DWORD timeoutMs) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return -1;
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  const int code = run_and_wait(commandLine, &si, TRUE, timeoutMs);
  CloseHandle(out);
  output->clear();
  HANDLE in = CreateFileA(outputFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  if (in != INVALID_HANDLE_VALUE) {
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(in, buf, sizeof(buf), &n, nullptr) && n > 0)
      output->append(buf, n);
    CloseHandle(in);
  }
  return code;
}

bool RunUnixCommand(const std::string& command, DWORD timeoutMs) {
  // Wine gives a Unix process no usable exit code, so the
  // command leaves a mark when it is done. It runs without the modem-line
  // library, which belongs to Wine (a sanitizer build refuses to start behind it).
  static int runs = 0;
  char name[64];
  snprintf(name, sizeof(name), "veldrin-unix-%lu-%d.done", GetCurrentProcessId(), ++runs);
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  const std::string done = std::string(temp) + name;
  const std::string doneUnix = unix_path(done);
  if (doneUnix.empty())
    return false;
  DeleteFileA(done.c_str());
  std::string script = "unset LD_PRELOAD; " + command + "; touch '" + doneUnix + "'";
  std::string quoted;
  for (char c : script)
    quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string line = "Z:\\bin\\sh -c \"" + quoted + "\"";
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > timeoutMs)
      return false;
    Sleep(10);
  }
  DeleteFileA(done.c_str());
  return true;
}

} // namespace veldrin_test
