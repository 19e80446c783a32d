// Runs `tlxsim serve` as a child process for the native end-to-end tests.
#include "sim_process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#ifndef TLXSIM_BINARY
#error "TLXSIM_BINARY must name the simulator to run"
#endif

namespace tlxsim_test {
namespace {

std::map<std::string, std::string> key_values(const std::string& line) {
  std::map<std::string, std::string> kv;
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    size_t eq = word.find('=');
    if (eq != std::string::npos)
      kv[word.substr(0, eq)] = word.substr(eq + 1);
  }
  return kv;
}

int wait_exit(pid_t pid, int timeout_ms) {
  int status = 0;
  for (int waited = 0; waited <= timeout_ms; waited += 5) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

} // namespace

SimProcess::SimProcess() {
  char tmpl[] = "/tmp/tlxsim-test-XXXXXX";
  dir = mkdtemp(tmpl);
  lines_dir = dir + "/lines";
}

SimProcess::~SimProcess() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (sock_ >= 0)
    close(sock_);
  std::system(("rm -rf '" + dir + "'").c_str());
}

bool SimProcess::start(const std::vector<std::string>& args, std::string* error) {
  std::vector<std::string> all = {TLXSIM_BINARY, "serve"};
  all.insert(all.end(), args.begin(), args.end());
  for (const char* a : {"--ready", "", "--lines-dir", "", "--quiet"})
    all.push_back(a);
  all[all.size() - 4] = dir + "/ready";
  all[all.size() - 2] = lines_dir;
  pid = fork();
  if (pid == 0) {
    int out = open((dir + "/tlxsim.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> argv;
    for (std::string& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string ready;
  bool up = wait_for(
      [&] {
        std::ifstream f(dir + "/ready");
        std::stringstream s;
        s << f.rdbuf();
        ready = s.str();
        return !ready.empty() || waitpid(pid, nullptr, WNOHANG) == pid;
      },
      20000);
  if (!up || ready.empty()) {
    std::ifstream f(dir + "/tlxsim.out");
    std::stringstream s;
    s << f.rdbuf();
    *error = "simulator did not start: " + s.str();
    pid = -1;
    return false;
  }
  std::istringstream in(ready);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("control ", 0) == 0)
      control_port = std::atoi(key_values(line)["port"].c_str());
    else if (line.rfind("port ", 0) == 0)
      ports.push_back(key_values(line));
  }
  sock_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(control_port));
  if (connect(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    *error = std::string("control connect: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::string SimProcess::read_line() {
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    pollfd p{sock_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0)
      return "(no reply)";
    char buf[4096];
    ssize_t r = recv(sock_, buf, sizeof buf, 0);
    if (r <= 0)
      return "(connection closed)";
    pending_.append(buf, size_t(r));
  }
}

std::string SimProcess::command(const std::string& line) {
  std::string text = line + "\n";
  if (send(sock_, text.data(), text.size(), MSG_NOSIGNAL) != ssize_t(text.size()))
    return "(send failed)";
  return read_line();
}

std::vector<std::string> SimProcess::log(const std::string& printer, size_t from) {
  std::string reply =
      command((printer.empty() ? "" : "@" + printer + " ") + "log " + std::to_string(from));
  std::vector<std::string> lines;
  if (reply.rfind("ok ", 0) != 0)
    return {reply};
  int n = std::atoi(reply.c_str() + 3);
  for (int i = 0; i < n; ++i)
    lines.push_back(read_line());
  return lines;
}

int SimProcess::quit() {
  if (command("quit") != "ok")
    return -1;
  int rc = wait_exit(pid, 10000);
  if (rc >= 0)
    pid = -1;
  return rc;
}

int SimProcess::terminate() {
  kill(pid, SIGTERM);
  int rc = wait_exit(pid, 10000);
  if (rc >= 0)
    pid = -1;
  return rc;
}

void SimProcess::disconnect() {
  if (sock_ >= 0)
    close(sock_);
  sock_ = -1;
}

bool SimProcess::wait_for(const std::function<bool()>& condition, int timeout_ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (condition())
      return true;
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string SimProcess::field(const std::string& reply, const std::string& key) {
  auto kv = key_values(reply);
  auto it = kv.find(key);
  return it == kv.end() ? std::string() : it->second;
}

HostLine::HostLine(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ >= 0) {
    termios t;
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
  }
}

HostLine::~HostLine() {
  if (fd_ >= 0)
    close(fd_);
}

bool HostLine::write_all(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t r = write(fd_, bytes.data() + done, bytes.size() - done);
    if (r < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 1000);
      continue;
    }
    if (r <= 0)
      return false;
    done += size_t(r);
  }
  return true;
}

std::string HostLine::read_bytes(size_t n, int timeout_ms) {
  std::string got;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (got.size() < n) {
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       end - std::chrono::steady_clock::now())
                       .count());
    if (left <= 0)
      break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0)
      break;
    char buf[256];
    ssize_t r = read(fd_, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0)
      break;
    got.append(buf, size_t(r));
  }
  return got;
}

} // namespace tlxsim_test
