// The printer simulator steered from a Windows program under Wine.
#include <winsock2.h>

#include "tlxsim/client/tlxsim_client.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tlxsim {
namespace {
std::string env(const char* name) {
  char buf[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string key_value(const std::string& line, const std::string& key) {
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    if (word.rfind(key + "=", 0) == 0)
      return word.substr(key.size() + 1);
  return "";
}

std::string at(int com) {
  return "@com" + std::to_string(com) + " ";
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); !condition(); Sleep(10))
    if (GetTickCount() - start > timeoutMs)
      return false;
  return true;
}

bool TlxSim::start(const std::vector<SimPrinter>& printers, std::string* error) {
  stop();
  dir_ = new TempDir("tlxsim");
  const std::string binary = env("TLXSIM"), prefix = env("VELDRIN_WINEPREFIX");
  const std::string dir = unix_path(dir_->path());
  if (binary.empty() || prefix.empty() || dir.empty()) {
    *error = "run through tools/wine-run (TLXSIM, VELDRIN_WINEPREFIX)";
    return false;
  }
  // The modem-line library is for Wine, not for the simulator. --owned: the
  // simulator goes when this program's control connection does.
  std::string script = "unset LD_PRELOAD\nexport WINEPREFIX='" + prefix + "'\nexec '" + binary +
                       "' serve --owned --max-seconds 3600 --quiet --ready '" + dir + "/ready'";
  for (const SimPrinter& p : printers) {
    const std::string name = "com" + std::to_string(p.com);
    script += " --port " + name + ",name=" + name + ",model=" + std::to_string(p.model) +
              ",baud=" + p.baud + ",pace=" + std::to_string(p.pace_ms) + ",out=" + dir + "/" +
              name + ",capture=on" + (p.head_mm ? ",head=" + std::to_string(p.head_mm) : "") +
              p.options;
  }
  script += " >'" + dir + "/tlxsim.out' 2>&1 </dev/null\n";
  std::string cmd = "Z:\\bin\\sh \"" + dir + "/start.sh\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string ready;
  if (!write_file(dir_->file("start.sh"), script) ||
      !CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    *error = "cannot start " + binary;
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!WaitUntil([&] { return read_file(dir_->file("ready"), &ready) && !ready.empty(); }, 30000)) {
    *error = "the simulator did not get ready: " + read_file(dir_->file("tlxsim.out"));
    return false;
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(u_short(atoi(key_value(ready.substr(0, ready.find('\n')), "port").c_str())));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    *error = "cannot reach the simulator's control port";
    return false;
  }
  sock_ = s;
  return true;
}

void TlxSim::stop() {
  if (running()) {
    std::string reply;
    if (send_line("quit"))
      read_line(&reply);
    closesocket(SOCKET(sock_));
    sock_ = ~UINT_PTR(0);
    // The ready file goes last, after the COM links: then the ports are free.
    WaitUntil(
        [&] { return GetFileAttributesA(dir_->file("ready").c_str()) == INVALID_FILE_ATTRIBUTES; },
        10000);
  }
  delete dir_;
  dir_ = nullptr;
  pending_.clear();
}

bool TlxSim::send_line(const std::string& line) {
  const std::string text = line + "\n";
  return ::send(SOCKET(sock_), text.data(), int(text.size()), 0) == int(text.size());
}

bool TlxSim::read_line(std::string* line) {
  for (size_t nl; (nl = pending_.find('\n')) == std::string::npos;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(SOCKET(sock_), &set);
    timeval tv{10, 0};
    char buf[4096];
    const int r =
        select(0, &set, nullptr, nullptr, &tv) > 0 ? recv(SOCKET(sock_), buf, sizeof buf, 0) : 0;
    if (r <= 0)
      return false;
    pending_.append(buf, size_t(r));
  }
  const size_t nl = pending_.find('\n');
  *line = pending_.substr(0, nl);
  pending_.erase(0, nl + 1);
  return true;
}

std::string TlxSim::command(const std::string& line, int com) {
  std::string reply;
  if (!running() || !send_line(at(com) + line) || !read_line(&reply))
    return "err channel";
  return reply;
}

long long TlxSim::number(const std::string& query, int com) {
  const std::string r = command(query, com);
  return r.rfind("ok ", 0) == 0 ? atoll(r.c_str() + 3) : -1;
}

bool TlxSim::send(const std::string& bytes, int com) {
  std::string hex;
  char two[4];
  for (char c : bytes)
    hex += (snprintf(two, sizeof two, " %02X",
                     c == '^'   ? 0x1B
                     : c == '|' ? 0x0D
                                : uint8_t(c)),
            two);
  return ok("send" + hex, com);
}

std::string TlxSim::label_path(int n, int com) const {
  char name[32];
  snprintf(name, sizeof name, "com%d\\label-%04d.png", com, n);
  return dir_->file(name);
}

std::string TlxSim::captured(int com) const {
  return read_file(dir_->file("com" + std::to_string(com) + "\\received.bin"));
}

bool PortFree(int com) {
  const std::string name = "\\\\.\\COM" + std::to_string(com);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  const bool usable = GetCommState(h, &dcb);
  CloseHandle(h);
  return usable;
}

} // namespace tlxsim
