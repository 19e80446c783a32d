// Runs `tlxsim serve` as a child process for the native end-to-end tests: a fresh folder for its
// links, line-state files and output, its control channel, and the host end of its lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tlxsim_test {

class SimProcess {
public:
  SimProcess();
  ~SimProcess(); // stops the simulator if it still runs and removes the folder
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the simulator with these serve arguments (plus --ready, --lines-dir and --quiet) and
  // waits until it is ready and the control channel is connected.
  bool start(const std::vector<std::string>& args, std::string* error);
  // One control command; its reply line (and any lines after it in *more for `log`).
  std::string command(const std::string& line);
  std::vector<std::string> log(const std::string& printer = "", size_t from = 0);
  // Sends `quit` (or SIGTERM) and returns the exit status, or -1.
  int quit();
  int terminate();
  void disconnect(); // closes the control connection
  // Polls `condition` every 5 ms for at most `timeout_ms`.
  static bool wait_for(const std::function<bool()>& condition, int timeout_ms);
  // A field of a reply's key=value list ("labels" of "ok ... labels=2 ..."), "" if absent.
  static std::string field(const std::string& reply, const std::string& key);

  std::string dir;                                       // the test's folder
  std::string lines_dir;                                 // line-state files
  pid_t pid = -1;                                        // simulator process
  std::vector<std::map<std::string, std::string>> ports; // "port" lines of the ready file
  int control_port = 0;                                  // TCP port of the control channel

private:
  int sock_ = -1;       // control connection
  std::string pending_; // bytes read past the last reply line
  std::string read_line();
};

// The host's end of a simulated line: the pty slave opened through its link, in raw mode.
class HostLine {
public:
  explicit HostLine(const std::string& path);
  ~HostLine();
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  bool write_all(const std::string& bytes);
  // Reads until `n` bytes came or `timeout_ms` passed.
  std::string read_bytes(size_t n, int timeout_ms);

private:
  int fd_ = -1; // the pty slave
};

} // namespace tlxsim_test
