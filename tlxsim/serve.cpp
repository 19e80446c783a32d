// `tlxsim serve`: each simulated printer owns a pseudo-terminal whose slave is linked where the
// host looks for its COM port, a line-state file shared with the preloaded modem-line library,
// and an output folder; one poll loop serves all lines and the TCP control channel.
#include "tlxsim/serve.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "tlxsim/lines_shared.h"
#include "tlxsim/png_io.h"

namespace tlxsim {
namespace {

constexpr size_t kQueueMax = 1 << 20;         // undrained bytes held before reading pauses
constexpr size_t kLogKeep = 100000;           // log lines kept for the control channel
constexpr uint64_t kLogFileMax = 64ull << 20; // log file size limit
constexpr uint64_t kIdleFlushUs = 100000;     // quiet time that settles a pending clear
constexpr int kLinePollMs = 5;                // how often host line changes are looked at
constexpr uint64_t kOwnerWaitUs = 60000000;   // --owned: time for the owner to connect
constexpr size_t kControlLineMax = 4096;      // longest control command

uint64_t now_us() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

bool mkdir_p(const std::string& path, mode_t mode) {
  if (path.empty())
    return true;
  std::string part;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    part = path.substr(0, pos);
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
      return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parent_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// Replaces `link` by a symbolic link to `target` in one step.
bool replace_link(const std::string& target, const std::string& link, std::string* error) {
  std::string parent = parent_of(link);
  if (!parent.empty() && !mkdir_p(parent, 0755)) {
    *error = parent + ": " + std::strerror(errno);
    return false;
  }
  std::string tmp = link + ".tlxsim-" + std::to_string(getpid());
  unlink(tmp.c_str());
  if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link.c_str()) != 0) {
    *error = link + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

std::string read_link(const std::string& link) {
  char buf[4096];
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

bool write_file_atomic(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f)
    return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  return ok && rename(tmp.c_str(), path.c_str()) == 0;
}

std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
    if (i > start)
      words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The rest of `line` after its first `n` words (for arguments that may hold spaces).
std::string rest_after_words(const std::string& line, size_t n) {
  size_t i = 0;
  for (size_t w = 0; w < n; ++w) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
    ++i;
  return line.substr(i);
}

template <typename T> T load(const T& v) {
  return __atomic_load_n(&v, __ATOMIC_ACQUIRE);
}
template <typename T> void store(T& v, T x) {
  __atomic_store_n(&v, x, __ATOMIC_RELEASE);
}

std::string settings_text(const tlx_lines& l) {
  if (load(l.settings_seq) == 0)
    return "baud=- data=- parity=- stop=-";
  const uint32_t c = load(l.cflag);
  const int bits = (c & CSIZE) == CS5 ? 5 : (c & CSIZE) == CS6 ? 6 : (c & CSIZE) == CS7 ? 7 : 8;
  const char* parity = !(c & PARENB)  ? "none"
                       : (c & CMSPAR) ? ((c & PARODD) ? "mark" : "space")
                       : (c & PARODD) ? "odd"
                                      : "even";
  const char* stop = !(c & CSTOPB) ? "1" : bits == 5 ? "1.5" : "2";
  char buf[120];
  std::snprintf(buf, sizeof buf, "baud=%u data=%d parity=%s stop=%s", load(l.baud), bits, parity,
                stop);
  return buf;
}

// One simulated printer and its line.
class SimPort final : public PrinterOutput {
public:
  SimPort(const PortOptions& o, const std::string& lines_dir, bool echo)
      : opts_(o), lines_dir_(lines_dir), echo_(echo), printer_(o.printer, *this), rate_(o.rate),
        dsr_(o.dsr), cts_(o.cts), loopback_(o.loopback), close_after_(o.close_after),
        line_(o.line) {
    printer_.set_silent(o.silent);
    if (o.error)
      printer_.set_error(o.error, o.error_count);
  }
  ~SimPort() override { release(); }

  const std::string& name() const { return opts_.name; }
  bool is_open() const { return master_ >= 0; }
  int master_fd() const { return master_; }
  bool wants_input() const { return master_ >= 0 && queue_.size() - head_ < kQueueMax; }

  bool start(std::string* error) {
    if (!mkdir_p(opts_.out, 0755)) {
      *error = opts_.out + ": " + std::strerror(errno);
      return false;
    }
    log_path_ = opts_.out + "/tlxsim.log";
    log_file_ = std::fopen(log_path_.c_str(), "w");
    if (!log_file_) {
      *error = log_path_ + ": " + std::strerror(errno);
      return false;
    }
    if (opts_.capture && !open_capture(error))
      return false;
    return open_line(error);
  }

  // A new pseudo-terminal, its line-state file and the link to it.
  bool open_line(std::string* error) {
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    unsigned number = 0;
    char path[128];
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0 || ioctl(m, TIOCGPTN, &number) != 0 ||
        ptsname_r(m, path, sizeof path) != 0) {
      *error = std::string("pseudo-terminal: ") + std::strerror(errno);
      if (m >= 0)
        close(m);
      return false;
    }
    // Holding the slave open keeps the master free of hang-ups while the host closes and
    // reopens the port; raw mode so that nothing is echoed or translated before the host sets it.
    int s = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t;
    if (s < 0 || tcgetattr(s, &t) != 0) {
      *error = std::string(path) + ": " + std::strerror(errno);
      close(m);
      if (s >= 0)
        close(s);
      return false;
    }
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    tcsetattr(s, TCSANOW, &t);
    master_ = m;
    slave_ = s;
    pts_number_ = number;
    pts_path_ = path;
    if (!map_lines(error) || (!opts_.link.empty() && !replace_link(pts_path_, opts_.link, error))) {
      close_line(nullptr);
      return false;
    }
    queue_.clear();
    head_ = 0;
    logged_out_ = 0;
    logged_settings_.clear();
    log("line open " + pts_path_);
    return true;
  }

  // The pseudo-terminal goes away (the host sees a hang-up); the link stays until reopened.
  void close_line(const char* why) {
    if (lines_) {
      store(lines_->alive, 0u);
      munmap(lines_, sizeof(tlx_lines));
      lines_ = nullptr;
      unlink(lines_path_.c_str());
    }
    if (master_ >= 0)
      close(master_);
    if (slave_ >= 0)
      close(slave_);
    master_ = slave_ = -1;
    queue_.clear();
    head_ = 0;
    if (why)
      log(std::string("line closed ") + why);
  }

  // Exit: the line goes and so does the link, if it still points at our line.
  void release() {
    if (is_open())
      close_line(nullptr);
    if (!opts_.link.empty() && !pts_path_.empty() && read_link(opts_.link) == pts_path_)
      unlink(opts_.link.c_str());
    pts_path_.clear();
    if (log_file_) {
      std::fclose(log_file_);
      log_file_ = nullptr;
    }
    if (capture_file_) {
      std::fclose(capture_file_);
      capture_file_ = nullptr;
    }
  }

  // The raw capture of everything taken off the line, started afresh.
  bool open_capture(std::string* error) {
    const std::string path = opts_.out + "/received.bin";
    if (capture_file_)
      std::fclose(capture_file_);
    capture_file_ = std::fopen(path.c_str(), "wb");
    capture_bytes_ = 0;
    if (!capture_file_ && error)
      *error = path + ": " + std::strerror(errno);
    return capture_file_ != nullptr;
  }

  void capture(const uint8_t* data, size_t n) {
    if (!capture_file_ || capture_bytes_ + n > kCaptureMax)
      return;
    std::fwrite(data, 1, n, capture_file_);
    std::fflush(capture_file_);
    capture_bytes_ += n;
  }

  void on_input(uint64_t now) {
    uint8_t buf[65536];
    while (wants_input()) {
      ssize_t r = read(master_, buf, sizeof buf);
      if (r > 0) {
        if (head_ == queue_.size())
          drain_clock_ = now; // an idle line banks no time
        queue_.insert(queue_.end(), buf, buf + r);
        continue;
      }
      if (r < 0 && (errno == EAGAIN || errno == EINTR))
        break;
      close_line("hangup");
      break;
    }
  }

  void service(uint64_t now) {
    poll_lines();
    drain(now);
    if (!idle_flushed_ && head_ == queue_.size() && now - last_rx_ >= kIdleFlushUs) {
      printer_.idle();
      idle_flushed_ = true;
      if (garbled_burst_) {
        static const uint8_t kParityError[] = {0x1B, 'T', 0x0D};
        reply(kParityError, sizeof kParityError);
        garbled_burst_ = false;
      }
    }
    printer_.run(now / 1000);
  }

  int timeout_ms(uint64_t now) const {
    int t = kLinePollMs;
    if (head_ < queue_.size())
      t = effective_baud() ? 1 : 0;
    uint64_t due = printer_.next_due_ms();
    if (due != UINT64_MAX) {
      uint64_t ms = now / 1000;
      t = std::min<int>(t, due <= ms ? 0 : int(std::min<uint64_t>(due - ms, 1000)));
    }
    return t;
  }

  std::string ready_line() const {
    return "port name=" + opts_.name + " pts=" + pts_path_ +
           " link=" + (opts_.link.empty() ? "-" : opts_.link) + " out=" + opts_.out +
           " model=" + std::to_string(int(opts_.printer.model)) +
           " head=" + std::to_string(head_mm()) + "\n";
  }

  // One control command addressed to this printer; `more` receives extra reply lines.
  std::string execute(const std::vector<std::string>& w, const std::string& line,
                      std::vector<std::string>* more) {
    const std::string& verb = w[0];
    const size_t argc = w.size() - 1;
    bool on = false;
    uint64_t n = 0;
    if ((verb == "dsr" || verb == "cts" || verb == "silent") && argc == 1 &&
        parse_switch(w[1], &on)) {
      if (verb == "silent")
        printer_.set_silent(on);
      else
        (verb == "dsr" ? dsr_ : cts_) = on;
      publish_in_lines();
      log(verb + (on ? " on" : " off"));
      return "ok";
    }
    if (verb == "loopback" && argc == 1) {
      if (!parse_loopback(w[1], &loopback_))
        return "err loopback takes on, data or off";
      publish_in_lines();
      log(std::string("loopback ") + loopback_text(loopback_));
      return "ok";
    }
    if (verb == "error" && argc >= 1) {
      if (argc == 1 && w[1] == "off") {
        printer_.set_error('E', 0);
        return "ok";
      }
      uint32_t count = 1;
      if (argc == 2 && w[2] == "always")
        count = UINT32_MAX;
      else if (argc == 2 && parse_number(w[2], 1, UINT32_MAX - 1, &n))
        count = uint32_t(n);
      else if (argc != 1)
        return "err usage: error LETTER [COUNT|always] | error off";
      if (w[1].size() != 1 || w[1][0] <= ' ' || w[1][0] > '~')
        return "err the error reply takes one letter";
      printer_.set_error(w[1][0], count);
      return "ok";
    }
    if (verb == "send" && argc >= 1) {
      std::string bytes;
      if (!parse_hex(rest_after_words(line, 1), &bytes))
        return "err send takes hexadecimal bytes";
      std::string hex;
      for (unsigned char c : bytes) {
        char h[4];
        std::snprintf(h, sizeof h, "%02X", c);
        hex += h;
      }
      log("send " + hex);
      return write_line(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())
                 ? "ok " + std::to_string(bytes.size())
                 : "err line closed";
    }
    if (verb == "line" && argc == 1) {
      if (w[1] == "off")
        line_.clear();
      else if (!parse_line_settings(w[1], &line_))
        return "err line takes BAUD-DATA-PARITY-STOP (57600-8-none-1) or off";
      return "ok";
    }
    if ((verb == "rate" || verb == "baud") && argc == 1) {
      if (!parse_rate(w[1], &rate_))
        return "err rate takes fast, line or bits per second";
      publish_rate();
      return "ok " + rate_text(rate_);
    }
    if (verb == "pace" && argc == 1 && parse_number(w[1], 0, 3600000, &n)) {
      printer_.set_pace(uint32_t(n));
      return "ok";
    }
    if (verb == "fault" && argc == 1) {
      if (!lines_)
        return "err line closed";
      uint32_t* counter = w[1] == "frame"     ? &lines_->err_frame
                          : w[1] == "parity"  ? &lines_->err_parity
                          : w[1] == "overrun" ? &lines_->err_overrun
                          : w[1] == "break"   ? &lines_->err_break
                                              : nullptr;
      if (!counter)
        return "err fault takes frame, parity, overrun or break";
      __atomic_fetch_add(counter, 1u, __ATOMIC_ACQ_REL);
      log("fault " + w[1]);
      return "ok";
    }
    if (verb == "close" && argc == 0) {
      if (!is_open())
        return "err line closed";
      close_line("by request");
      return "ok";
    }
    if (verb == "close" && argc == 2 && w[1] == "after" && parse_number(w[2], 0, 1ull << 40, &n)) {
      if (!is_open())
        return "err line closed";
      close_after_ = int64_t(n);
      if (n == 0)
        close_line("by request");
      return "ok";
    }
    if (verb == "reopen" && argc == 0) {
      if (is_open())
        close_line("for reopen");
      std::string error;
      close_after_ = -1;
      if (!open_line(&error))
        return "err " + error;
      publish_in_lines();
      return "ok " + pts_path_;
    }
    if (verb == "received" && argc == 0)
      return "ok " + std::to_string(received_);
    if (verb == "labels" && argc == 0)
      return "ok " + std::to_string(printer_.labels_printed());
    if (verb == "pending" && argc == 0)
      return "ok " + std::to_string(printer_.labels_pending());
    if (verb == "settings" && argc == 0)
      return "ok " + settings_reply();
    if (verb == "status" && argc == 0)
      return "ok " + status_reply();
    if (verb == "log" && argc <= 2) {
      uint64_t from = 0, count = UINT64_MAX;
      if ((argc >= 1 && !parse_number(w[1], 0, UINT64_MAX >> 1, &from)) ||
          (argc == 2 && !parse_number(w[2], 0, UINT64_MAX >> 1, &count)))
        return "err usage: log [FROM [COUNT]]";
      uint64_t end = log_base_ + log_.size();
      uint64_t first = std::max(from, log_base_);
      uint64_t last = first >= end ? first : std::min(end, first + count);
      for (uint64_t i = first; i < last; ++i)
        more->push_back(log_[size_t(i - log_base_)]);
      return "ok " + std::to_string(last - first);
    }
    if (verb == "reset" && argc == 0) {
      received_ = 0;
      printer_.reset_counters();
      log_.clear();
      log_base_ = 0;
      file_line("reset");
      if (capture_file_ && !open_capture(nullptr))
        return "err capture file";
      return "ok";
    }
    if (verb == "snapshot" && argc >= 1) {
      std::string path = rest_after_words(line, 1), error;
      if (!write_png(path, printer_.memory().snapshot(), &error))
        return "err " + error;
      return "ok " + std::to_string(printer_.memory().width()) + " " +
             std::to_string(printer_.memory().height());
    }
    return "err unknown command '" + verb + "' (try help)";
  }

  // PrinterOutput
  void log(const std::string& line) override {
    if (log_.size() >= kLogKeep) {
      log_.pop_front();
      ++log_base_;
    }
    log_.push_back(line);
    file_line(line);
    if (echo_)
      std::printf("%s: %s\n", opts_.name.c_str(), line.c_str());
  }

  void reply(const uint8_t* bytes, size_t n) override {
    if (!write_line(bytes, n))
      log("reply lost");
  }

  std::string save_label(uint32_t number, const Bitmap& image) override {
    if (!opts_.save)
      return std::string();
    char name[32];
    std::snprintf(name, sizeof name, "label-%04u.png", number);
    std::string error;
    if (!write_png(opts_.out + "/" + name, image, &error)) {
      log("error " + error);
      return std::string();
    }
    return name;
  }

private:
  uint32_t head_mm() const {
    return opts_.printer.head_mm ? opts_.printer.head_mm : default_head_mm(opts_.printer.model);
  }

  uint32_t effective_baud() const {
    if (rate_.mode == LineRate::Fixed)
      return rate_.baud;
    if (rate_.mode == LineRate::Line && lines_)
      return load(lines_->baud);
    return 0;
  }

  bool map_lines(std::string* error) {
    if (!mkdir_p(lines_dir_, 01777)) {
      *error = lines_dir_ + ": " + std::strerror(errno);
      return false;
    }
    chmod(lines_dir_.c_str(), 01777); // shared by every user's simulators, like /tmp
    lines_path_ = lines_dir_ + "/" TLX_LINES_FILE_PREFIX + std::to_string(pts_number_);
    int fd = open(lines_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 || ftruncate(fd, sizeof(tlx_lines)) != 0) {
      *error = lines_path_ + ": " + std::strerror(errno);
      if (fd >= 0)
        close(fd);
      return false;
    }
    void* p = mmap(nullptr, sizeof(tlx_lines), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED) {
      *error = lines_path_ + ": " + std::strerror(errno);
      return false;
    }
    lines_ = static_cast<tlx_lines*>(p);
    // A file left by a killed simulator may still be mapped by a host: mark it unusable first.
    store(lines_->magic, 0u);
    store(lines_->alive, 0u);
    std::memset(reinterpret_cast<char*>(lines_) + 2 * sizeof(uint32_t), 0,
                sizeof(tlx_lines) - 2 * sizeof(uint32_t));
    lines_->version = TLX_LINES_VERSION;
    lines_->sim_pid = getpid();
    lines_->pts = pts_number_;
    publish_in_lines();
    publish_rate();
    store(lines_->alive, 1u);
    store(lines_->magic, TLX_LINES_MAGIC);
    drained_mark_ = 0;
    return true;
  }

  void publish_in_lines() {
    if (!lines_)
      return;
    store(lines_->in_lines, uint32_t((dsr_ ? TIOCM_DSR : 0) | (cts_ ? TIOCM_CTS : 0)));
    store(lines_->loop_lines, loopback_ == Loopback::Lines ? 1u : 0u);
  }

  void publish_rate() {
    if (lines_)
      store(lines_->drain_bps, rate_.mode == LineRate::Fast   ? TLX_LINES_RATE_FAST
                               : rate_.mode == LineRate::Line ? TLX_LINES_RATE_HOST
                                                              : rate_.baud);
  }

  void poll_lines() {
    if (!lines_)
      return;
    const uint32_t out = load(lines_->out_lines) & (TIOCM_DTR | TIOCM_RTS);
    if (out != logged_out_) {
      logged_out_ = out;
      log(std::string("lines dtr=") + ((out & TIOCM_DTR) ? "1" : "0") +
          " rts=" + ((out & TIOCM_RTS) ? "1" : "0"));
    }
    const uint32_t seq = load(lines_->settings_seq);
    if (seq != seen_settings_) {
      seen_settings_ = seq;
      std::string s = settings_text(*lines_);
      if (s != logged_settings_) {
        logged_settings_ = s;
        log("settings " + s);
      }
    }
  }

  // Takes bytes off the line at the line rate and hands them to the printer.
  void drain(uint64_t now) {
    if (head_ == queue_.size()) {
      drain_clock_ = now;
      credit_ = 0;
      return;
    }
    size_t n = queue_.size() - head_;
    const uint32_t baud = effective_baud();
    if (baud) {
      credit_ += double(now - drain_clock_) * (baud / 10.0) / 1e6;
      drain_clock_ = now;
      n = std::min(n, size_t(credit_));
      credit_ -= double(n);
    }
    bool cut = false;
    if (close_after_ >= 0 && uint64_t(close_after_) <= n) {
      n = size_t(close_after_);
      cut = true;
    }
    if (n > 0) {
      const uint8_t* data = queue_.data() + head_;
      head_ += n;
      drained_mark_ += uint32_t(n);
      received_ += n;
      if (lines_)
        store(lines_->drained, drained_mark_);
      if (close_after_ > 0)
        close_after_ -= int64_t(n);
      last_rx_ = now;
      idle_flushed_ = false;
      capture(data, n);
      // A loopback jumper sends every byte straight back; the printer sees none of them.
      if (loopback_ != Loopback::Off) {
        if (!write_line(data, n))
          log("echo lost " + std::to_string(n) + " bytes");
      } else if (line_matches())
        printer_.receive(data, n, now / 1000);
      else
        garbled();
    }
    if (cut) {
      close_after_ = -1;
      close_line("after byte count");
      return;
    }
    if (head_ == queue_.size()) {
      queue_.clear();
      head_ = 0;
    } else if (head_ > (1u << 16) && head_ * 2 > queue_.size()) {
      queue_.erase(queue_.begin(), queue_.begin() + ptrdiff_t(head_));
      head_ = 0;
    }
  }

  // Whether the host set the line as the printer's own settings are (any, without them).
  bool line_matches() const { return line_.empty() || (lines_ && settings_text(*lines_) == line_); }

  // Bytes sent with other line settings than the printer's reach it as noise: it decodes
  // nothing of them, and once the line has been quiet a while answers a parity error.
  void garbled() {
    if (!garbled_burst_)
      log("garbled host " + (lines_ ? settings_text(*lines_) : std::string("-")) + " printer " +
          line_);
    garbled_burst_ = true;
  }

  bool write_line(const uint8_t* bytes, size_t n) {
    if (master_ < 0)
      return false;
    size_t done = 0;
    while (done < n) {
      ssize_t r = write(master_, bytes + done, n - done);
      if (r <= 0) {
        if (r < 0 && errno == EINTR)
          continue;
        return false; // the host side's input is full or gone
      }
      done += size_t(r);
    }
    return true;
  }

  void file_line(const std::string& line) {
    if (!log_file_)
      return;
    if (log_file_bytes_ + line.size() + 1 > kLogFileMax) {
      std::fputs("log truncated\n", log_file_);
      std::fclose(log_file_);
      log_file_ = nullptr;
      return;
    }
    std::fputs(line.c_str(), log_file_);
    std::fputc('\n', log_file_);
    std::fflush(log_file_);
    log_file_bytes_ += line.size() + 1;
  }

  std::string settings_reply() const {
    std::string s = lines_ ? settings_text(*lines_) : "baud=- data=- parity=- stop=-";
    const uint32_t out = lines_ ? load(lines_->out_lines) : 0;
    return "set=" + std::to_string(lines_ ? load(lines_->settings_seq) : 0) + " " + s +
           " dtr=" + ((out & TIOCM_DTR) ? "1" : "0") + " rts=" + ((out & TIOCM_RTS) ? "1" : "0");
  }

  std::string status_reply() const {
    const uint32_t out = lines_ ? load(lines_->out_lines) : 0;
    char err[8] = "-";
    if (printer_.error_letter())
      std::snprintf(err, sizeof err, "%c", printer_.error_letter());
    return "name=" + opts_.name + " open=" + (is_open() ? "1" : "0") +
           " pts=" + (pts_path_.empty() ? "-" : pts_path_) +
           " model=" + std::to_string(int(opts_.printer.model)) +
           " head=" + std::to_string(head_mm()) + " received=" + std::to_string(received_) +
           " pending_bytes=" + std::to_string(queue_.size() - head_) +
           " labels=" + std::to_string(printer_.labels_printed()) +
           " pending=" + std::to_string(printer_.labels_pending()) + " dsr=" + (dsr_ ? "1" : "0") +
           " cts=" + (cts_ ? "1" : "0") + " dtr=" + ((out & TIOCM_DTR) ? "1" : "0") +
           " rts=" + ((out & TIOCM_RTS) ? "1" : "0") + " rate=" + rate_text(rate_) +
           " pace=" + std::to_string(printer_.pace_ms()) + " error=" + err +
           " silent=" + (printer_.silent() ? "1" : "0") +
           " log=" + std::to_string(log_base_ + log_.size());
  }

  PortOptions opts_;             // as given on the command line
  std::string lines_dir_;        // folder of the line-state files
  bool echo_;                    // log lines to stdout too
  Printer printer_;              // the printer behind the line
  LineRate rate_;                // drain rate
  bool dsr_, cts_;               // lines the printer drives
  Loopback loopback_;            // a loopback jumper instead of the printer
  int64_t close_after_;          // bytes until the line is cut; -1 never
  int master_ = -1;              // pty master: the printer's end of the line
  int slave_ = -1;               // our own hold on the slave
  unsigned pts_number_ = 0;      // N of /dev/pts/N
  std::string pts_path_;         // /dev/pts/N
  std::string lines_path_;       // line-state file
  tlx_lines* lines_ = nullptr;   // mapped line state
  uint32_t drained_mark_ = 0;    // bytes drained on this line (published to the host side)
  std::vector<uint8_t> queue_;   // bytes read but not yet drained, from head_
  size_t head_ = 0;              // first undrained byte in queue_
  double credit_ = 0;            // bytes the line rate allows but not yet taken
  uint64_t drain_clock_ = 0;     // time credit_ was last brought up to date
  uint64_t last_rx_ = 0;         // time of the last drained byte
  bool idle_flushed_ = true;     // the decoder has been told the line is quiet
  uint64_t received_ = 0;        // bytes over the line since the last reset
  uint32_t logged_out_ = 0;      // DTR/RTS as last logged
  uint32_t seen_settings_ = 0;   // settings_seq last looked at
  std::string logged_settings_;  // line settings as last logged
  std::string line_;             // the printer's own line settings; "" takes any
  bool garbled_burst_ = false;   // noise received since the line was last quiet
  std::deque<std::string> log_;  // recent log lines
  uint64_t log_base_ = 0;        // index of log_.front()
  std::string log_path_;         // out/tlxsim.log
  FILE* log_file_ = nullptr;     // the log file while it is below its limit
  FILE* capture_file_ = nullptr; // received.bin, when capturing
  uint64_t capture_bytes_ = 0;   // bytes in it
  static constexpr uint64_t kCaptureMax = uint64_t(256) << 20; // the capture stops growing here
  uint64_t log_file_bytes_ = 0;                                // bytes written to it
};

// A connection on the control channel.
struct Client {
  int fd;            // socket
  std::string input; // bytes of an unfinished command line
};

class Server {
public:
  explicit Server(const ServeOptions& o) : opts_(o) {}
  ~Server() { cleanup(); }

  bool start(std::string* error) {
    for (const PortOptions& p : opts_.ports) {
      ports_.push_back(std::make_unique<SimPort>(p, opts_.lines_dir, !opts_.quiet));
      if (!ports_.back()->start(error)) {
        *error = p.name + ": " + *error;
        return false;
      }
    }
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(opts_.control_port));
    socklen_t len = sizeof a;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listen_, 8) != 0 || getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len)) {
      *error = std::string("control socket: ") + std::strerror(errno);
      return false;
    }
    control_port_ = ntohs(a.sin_port);

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signals_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    std::signal(SIGPIPE, SIG_IGN);

    std::string ready =
        "control port=" + std::to_string(control_port_) + " pid=" + std::to_string(getpid()) + "\n";
    for (auto& p : ports_)
      ready += p->ready_line();
    std::fputs(ready.c_str(), stdout);
    std::fflush(stdout);
    if (!opts_.ready_file.empty() && !write_file_atomic(opts_.ready_file, ready)) {
      *error = opts_.ready_file + ": " + std::strerror(errno);
      return false;
    }
    started_ = now_us();
    return true;
  }

  int run() {
    while (!quit_) {
      std::vector<pollfd> fds;
      fds.push_back({signals_, POLLIN, 0});
      fds.push_back({listen_, POLLIN, 0});
      for (const Client& c : clients_)
        fds.push_back({c.fd, POLLIN, 0});
      const size_t first_port = fds.size();
      uint64_t now = now_us();
      int timeout = kLinePollMs;
      for (auto& p : ports_) {
        fds.push_back({p->wants_input() ? p->master_fd() : -1, POLLIN, 0});
        timeout = std::min(timeout, p->timeout_ms(now));
      }
      if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
        return 1;
      now = now_us();
      if (fds[0].revents) {
        signalfd_siginfo info;
        while (read(signals_, &info, sizeof info) > 0)
          quit_ = true;
      }
      if (fds[1].revents & POLLIN)
        accept_client();
      for (size_t i = 0; i < ports_.size(); ++i)
        if (fds[first_port + i].revents && ports_[i]->is_open())
          ports_[i]->on_input(now);
      serve_clients(fds);
      for (auto& p : ports_)
        p->service(now);
      if (opts_.owned && !had_client_ && now - started_ > kOwnerWaitUs)
        quit_ = true;
      if (opts_.max_seconds && now - started_ > uint64_t(opts_.max_seconds) * 1000000u)
        quit_ = true;
    }
    return 0;
  }

  void cleanup() {
    for (Client& c : clients_)
      close(c.fd);
    clients_.clear();
    ports_.clear(); // releases lines, state files and links
    if (listen_ >= 0)
      close(listen_);
    if (signals_ >= 0)
      close(signals_);
    listen_ = signals_ = -1;
    if (!opts_.ready_file.empty())
      unlink(opts_.ready_file.c_str());
  }

private:
  void accept_client() {
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      return;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clients_.push_back(Client{fd, std::string()});
    had_client_ = true;
  }

  void serve_clients(const std::vector<pollfd>& fds) {
    std::vector<int> ready;
    for (size_t i = 0; i < clients_.size(); ++i)
      if (fds[2 + i].revents)
        ready.push_back(clients_[i].fd);
    for (int fd : ready) {
      auto it = std::find_if(clients_.begin(), clients_.end(),
                             [fd](const Client& c) { return c.fd == fd; });
      char buf[4096];
      ssize_t r = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
      if (r < 0 && (errno == EAGAIN || errno == EINTR))
        continue;
      bool gone = r <= 0;
      if (!gone) {
        it->input.append(buf, size_t(r));
        size_t nl;
        while (!gone && (nl = it->input.find('\n')) != std::string::npos) {
          std::string line = it->input.substr(0, nl);
          it->input.erase(0, nl + 1);
          if (!line.empty() && line.back() == '\r')
            line.pop_back();
          gone = !answer(fd, line);
        }
        if (it->input.size() > kControlLineMax)
          gone = !send_all(fd, "err line too long\n");
      }
      if (gone) {
        close(fd);
        clients_.erase(it);
        if (opts_.owned)
          quit_ = true; // the owner went away
      }
    }
  }

  static bool send_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t r = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (r < 0 && errno == EINTR)
        continue;
      if (r <= 0) {
        if (errno == EAGAIN) {
          pollfd p{fd, POLLOUT, 0};
          if (poll(&p, 1, 5000) > 0)
            continue;
        }
        return false;
      }
      done += size_t(r);
    }
    return true;
  }

  // Carries out one command line and writes its reply; false if the client is gone.
  bool answer(int fd, const std::string& line) {
    std::vector<std::string> more;
    std::string reply = execute(line, &more);
    std::string text = reply + "\n";
    for (const std::string& m : more)
      text += m + "\n";
    return send_all(fd, text);
  }

  std::string execute(const std::string& raw, std::vector<std::string>* more) {
    std::vector<std::string> w = split_words(raw);
    std::string line = raw;
    SimPort* port = ports_.front().get();
    if (!w.empty() && w[0][0] == '@') {
      port = nullptr;
      for (auto& p : ports_)
        if (p->name() == w[0].substr(1))
          port = p.get();
      if (!port)
        return "err no printer named " + w[0].substr(1);
      w.erase(w.begin());
      line = rest_after_words(raw, 1);
    }
    if (w.empty())
      return "err empty command";
    if (w[0] == "ping")
      return "ok tlxsim";
    if (w[0] == "quit") {
      quit_ = true;
      return "ok";
    }
    if (w[0] == "ports") {
      std::string names;
      for (auto& p : ports_)
        names += " " + p->name();
      return "ok" + names;
    }
    if (w[0] == "help")
      return "ok ping ports quit [@NAME] status settings received labels pending log reset "
             "dsr cts loopback silent error line send rate pace fault close reopen snapshot";
    return port->execute(w, line, more);
  }

  ServeOptions opts_;                           // as given on the command line
  std::vector<std::unique_ptr<SimPort>> ports_; // the printers, in --port order
  std::vector<Client> clients_;                 // control connections
  int listen_ = -1;                             // control channel
  int signals_ = -1;                            // SIGTERM/SIGINT/SIGHUP
  int control_port_ = 0;                        // TCP port of the control channel
  uint64_t started_ = 0;                        // time serving began
  bool had_client_ = false;                     // a control client has connected (--owned)
  bool quit_ = false;                           // leave the loop
};

} // namespace

int serve(const ServeOptions& options) {
  ServeOptions o = options;
  if (o.lines_dir.empty()) {
    const char* env = std::getenv(TLX_LINES_DIR_ENV);
    struct stat st;
    if (env && *env)
      o.lines_dir = env;
    else if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode))
      o.lines_dir = TLX_LINES_DEFAULT_DIR;
    else
      o.lines_dir = TLX_LINES_FALLBACK_DIR;
  }
  Server server(o);
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "tlxsim: %s\n", error.c_str());
    return 1;
  }
  int rc = server.run();
  server.cleanup();
  return rc;
}

} // namespace tlxsim
