// Starting and steering the printer simulator from a Windows test program under Wine.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/tlxsim_client.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/test_files.h"

namespace veldrin_test {
namespace {

constexpr DWORD kStartTimeoutMs = 30000; // the simulator's start, ready file included
constexpr DWORD kStopTimeoutMs = 10000;  // its exit after quit
constexpr int kReplyTimeoutMs = 10000;   // one control reply

std::string env(const char* name) {
  char buf[4096];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

// Quotes a Unix path for sh.
std::string sh_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string key_value(const std::string& line, const std::string& key) {
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    if (word.size() > key.size() && word.compare(0, key.size() + 1, key + "=") == 0)
      return word.substr(key.size() + 1);
  return std::string();
}

bool winsock_ready() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

// Runs a Unix command line through sh, without waiting for it.
bool run_unix(const std::string& script_unix_path) {
  std::string cmd = "Z:\\bin\\sh \"" + script_unix_path + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

} // namespace

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition())
      return true;
    if (GetTickCount() - start > timeout_ms)
      return false;
    Sleep(10);
  }
}

bool TlxSim::fail(std::string* error, const std::string& message) {
  if (error)
    *error = message;
  stop();
  return false;
}

bool TlxSim::start(const std::vector<SimPrinter>& printers, std::string* error) {
  stop();
  const std::string binary = env("TLXSIM");
  const std::string prefix = env("VELDRIN_WINEPREFIX");
  if (binary.empty() || prefix.empty())
    return fail(error, "TLXSIM and VELDRIN_WINEPREFIX must be set (run through tools/wine-run)");
  if (printers.empty())
    return fail(error, "no printer to simulate");
  if (!winsock_ready())
    return fail(error, "Winsock did not start");
  work_dir_ = make_temp_dir("tlxsim");
  const std::string unix_dir = unix_path(work_dir_);
  if (work_dir_.empty() || unix_dir.empty())
    return fail(error, "cannot make the simulator's folder");

  // The preloaded modem-line library is for Wine, not for the simulator (a sanitizer build
  // refuses to start with a library loaded ahead of its runtime).
  std::string script = "unset LD_PRELOAD\nexport WINEPREFIX=" + sh_quote(prefix) + "\nexec " +
                       sh_quote(binary) + " serve";
  coms_.clear();
  for (const SimPrinter& p : printers) {
    std::string name = "com" + std::to_string(p.com);
    std::string arg = name + ",name=" + name + ",model=" + std::to_string(p.model) +
                      ",baud=" + p.baud + ",pace=" + std::to_string(p.pace_ms) +
                      ",out=" + unix_dir + "/" + name;
    if (p.head_mm)
      arg += ",head=" + std::to_string(p.head_mm);
    if (!p.options.empty())
      arg += "," + p.options;
    script += " --port " + sh_quote(arg);
    coms_.push_back(p.com);
  }
  script += " --ready " + sh_quote(unix_dir + "/ready") + " --owned --max-seconds 14400 >" +
            sh_quote(unix_dir + "/tlxsim.out") + " 2>&1 </dev/null\n";
  if (!write_file(work_dir_ + "\\start.sh", script) || !run_unix(unix_dir + "/start.sh"))
    return fail(error, "cannot start " + binary);

  std::string ready;
  if (!wait_until([&] { return read_file(work_dir_ + "\\ready", &ready) && !ready.empty(); },
                  kStartTimeoutMs)) {
    std::string out;
    read_file(work_dir_ + "\\tlxsim.out", &out);
    return fail(error, "the simulator did not get ready: " + out);
  }
  const std::string control = ready.substr(0, ready.find('\n'));
  const int port = std::atoi(key_value(control, "port").c_str());
  pid_ = key_value(control, "pid");

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(u_short(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (s != INVALID_SOCKET)
      closesocket(s);
    return fail(error, "cannot connect to the simulator's control port " + std::to_string(port));
  }
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  sock_ = s;
  if (command("ping") != "ok tlxsim")
    return fail(error, "the simulator does not answer");
  return true;
}

void TlxSim::stop() {
  if (sock_ != INVALID_SOCKET_VALUE) {
    std::string reply;
    if (send_line("quit"))
      read_line(&reply);
    closesocket(SOCKET(sock_));
    sock_ = INVALID_SOCKET_VALUE;
    // The ready file goes last, after the links: then the COM ports are free again.
    if (!wait_until([&] { return !file_exists(work_dir_ + "\\ready"); }, kStopTimeoutMs) &&
        !pid_.empty()) {
      write_file(work_dir_ + "\\kill.sh", "kill -9 " + pid_ + "\n");
      run_unix(unix_path(work_dir_) + "/kill.sh");
      Sleep(200);
    }
  }
  if (!work_dir_.empty())
    remove_tree(work_dir_);
  work_dir_.clear();
  pending_.clear();
  pid_.clear();
}

std::string TlxSim::prefix_for(int com) const {
  return com == 0 ? std::string() : "@com" + std::to_string(com) + " ";
}

bool TlxSim::send_line(const std::string& line) {
  std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    int r = send(SOCKET(sock_), text.data() + done, int(text.size() - done), 0);
    if (r <= 0)
      return false;
    done += size_t(r);
  }
  return true;
}

bool TlxSim::read_line(std::string* line) {
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      *line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(SOCKET(sock_), &set);
    timeval tv{kReplyTimeoutMs / 1000, 0};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0)
      return false;
    char buf[4096];
    int r = recv(SOCKET(sock_), buf, sizeof buf, 0);
    if (r <= 0)
      return false;
    pending_.append(buf, size_t(r));
  }
}

std::string TlxSim::command(const std::string& line, int com) {
  if (!running())
    return "err channel: simulator not running";
  std::string reply;
  if (!send_line(prefix_for(com) + line) || !read_line(&reply))
    return "err channel: no reply";
  return reply;
}

long long TlxSim::number(const std::string& query, int com) {
  std::string r = command(query, com);
  return r.rfind("ok ", 0) == 0 ? std::atoll(r.c_str() + 3) : -1;
}

std::string TlxSim::status(const std::string& key, int com) {
  return key_value(command("status", com), key);
}

std::string TlxSim::settings(const std::string& key, int com) {
  return key_value(command("settings", com), key);
}

std::vector<std::string> TlxSim::log(size_t from, int com) {
  std::vector<std::string> lines;
  std::string reply = command("log " + std::to_string(from), com);
  if (reply.rfind("ok ", 0) != 0)
    return lines;
  const long n = std::atol(reply.c_str() + 3);
  std::string line;
  for (long i = 0; i < n && read_line(&line); ++i)
    lines.push_back(line);
  return lines;
}

bool TlxSim::wait_labels(long long n, DWORD timeout_ms, int com) {
  return wait_until([&] { return number("labels", com) >= n; }, timeout_ms);
}

long long TlxSim::wait_log(const std::string& prefix, DWORD timeout_ms, int com, size_t from) {
  long long found = -1;
  wait_until(
      [&] {
        std::vector<std::string> lines = log(from, com);
        for (size_t i = 0; i < lines.size(); ++i)
          if (lines[i].rfind(prefix, 0) == 0) {
            found = static_cast<long long>(from + i);
            return true;
          }
        return false;
      },
      timeout_ms);
  return found;
}

std::string TlxSim::out_dir(int com) const {
  if (com == 0 && !coms_.empty())
    com = coms_.front();
  return work_dir_ + "\\com" + std::to_string(com);
}

std::string TlxSim::label_path(int number, int com) const {
  char name[32];
  std::snprintf(name, sizeof name, "\\label-%04d.png", number);
  return out_dir(com) + name;
}

bool ComPortIsFree(int com) {
  char name[32];
  snprintf(name, sizeof(name), "\\\\.\\COM%d", com);
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  const bool usable = GetCommState(h, &dcb) != FALSE;
  CloseHandle(h);
  return usable;
}

} // namespace veldrin_test
