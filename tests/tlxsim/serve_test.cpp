// `tlxsim serve` end to end, natively: the host end of the pty link, the control channel, the
// line-state file the preloaded library shares, faults, line cuts and reopening, clean exit; and
// `tlxsim render`.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "png_check.h"
#include "protocol_text.h"
#include "sim_process.h"
#include "tlxsim/lines_shared.h"

using namespace tlxsim_test;

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string link_target(const std::string& link) {
  char buf[256];
  ssize_t n = readlink(link.c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

// The line-state record of a port, mapped as the preloaded library maps it.
class LinesView {
public:
  explicit LinesView(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0) {
      void* p = mmap(nullptr, sizeof(tlx_lines), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      close(fd);
      if (p != MAP_FAILED)
        rec = static_cast<tlx_lines*>(p);
    }
  }
  ~LinesView() {
    if (rec)
      munmap(rec, sizeof(tlx_lines));
  }
  uint32_t get(const uint32_t& field) const { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
  tlx_lines* rec = nullptr;
};

std::string pts_number(const std::string& pts) {
  return pts.substr(pts.rfind('/') + 1);
}

class Serve : public testing::Test {
protected:
  void start(const std::string& port_options = "", const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"--port",
                                     sim.dir + "/com3,out=" + sim.dir + "/out" + port_options};
    args.insert(args.end(), more.begin(), more.end());
    std::string error;
    ASSERT_TRUE(sim.start(args, &error)) << error;
    ASSERT_EQ(sim.ports.size(), 1u);
    link = sim.dir + "/com3";
  }
  std::string lines_file() const {
    return sim.lines_dir + "/pts-" + pts_number(sim.ports[0].at("pts"));
  }

  SimProcess sim;
  std::string link;
};

TEST_F(Serve, ReadyFileDescribesThePort) {
  start(",model=8,head=56");
  const auto& p = sim.ports[0];
  EXPECT_EQ(p.at("name"), "com3");
  EXPECT_EQ(p.at("link"), link);
  EXPECT_EQ(p.at("out"), sim.dir + "/out");
  EXPECT_EQ(p.at("model"), "8");
  EXPECT_EQ(p.at("head"), "56");
  EXPECT_EQ(link_target(link), p.at("pts"));
  EXPECT_TRUE(exists(lines_file()));
  EXPECT_EQ(sim.command("ping"), "ok tlxsim");
  EXPECT_EQ(sim.command("ports"), "ok com3");
}

TEST_F(Serve, PrintJobRoundTrip) {
  start(",pace=20");
  HostLine host(link);
  ASSERT_TRUE(host.ok());
  std::string job = clear_cmd() + condition12("012", '5') +
                    image_header("0036", "0000", "0002", "0002") + raster({0x80, 0x01}) + CR +
                    print_cmd("0002");
  ASSERT_TRUE(host.write_all(job));
  EXPECT_EQ(host.read_bytes(14, 5000), "\x1bO0001\r\x1bO0000\r");
  EXPECT_EQ(sim.command("labels"), "ok 2");
  EXPECT_EQ(sim.command("received"), "ok " + std::to_string(job.size()));
  std::vector<std::string> expected = {"line open " + sim.ports[0].at("pts"),
                                       "clear",
                                       "media field=000 model=12",
                                       "start field=012",
                                       "density value=5 mode=1",
                                       "image x=36 y=0 bytes=1 height=2 rows=2 data=4",
                                       "quantity 2",
                                       "print quantity=2",
                                       "label 1 saved label-0001.png",
                                       "reply O0001",
                                       "label 2 saved label-0002.png",
                                       "reply O0000"};
  EXPECT_EQ(sim.log(), expected);
  // The log file holds the same lines.
  std::ifstream f(sim.dir + "/out/tlxsim.log");
  std::vector<std::string> file_lines;
  for (std::string l; std::getline(f, l);)
    file_lines.push_back(l);
  EXPECT_EQ(file_lines, expected);
  for (const char* name : {"label-0001.png", "label-0002.png"}) {
    GreyImage img;
    std::string error;
    ASSERT_TRUE(load_png(sim.dir + "/out/" + name, &img, &error)) << error;
    EXPECT_EQ(img.width, 1272u);
    EXPECT_EQ(img.height, 2u);
    EXPECT_EQ(img.count_black(), 2u);
    EXPECT_TRUE(img.black(36, 0));
    EXPECT_TRUE(img.black(43, 1));
  }
}

TEST_F(Serve, ControlSendsBytesAndFaults) {
  start();
  HostLine host(link);
  EXPECT_EQ(sim.command("send 1B4F 30 30 31 32 0D"), "ok 7");
  EXPECT_EQ(host.read_bytes(7, 3000), "\x1bO0012\r");
  EXPECT_EQ(sim.command("send 1B4"), "err send takes hexadecimal bytes");

  EXPECT_EQ(sim.command("error T"), "ok");
  host.write_all(print_cmd("0001"));
  EXPECT_EQ(host.read_bytes(3, 3000), "\x1bT\r");
  EXPECT_EQ(sim.command("labels"), "ok 0");

  EXPECT_EQ(sim.command("silent on"), "ok");
  host.write_all(print_cmd("0001"));
  EXPECT_TRUE(SimProcess::wait_for([&] { return sim.command("labels") == "ok 1"; }, 3000));
  EXPECT_EQ(host.read_bytes(1, 200), "") << "no reply while silent";
  EXPECT_EQ(sim.command("silent off"), "ok");

  EXPECT_EQ(sim.command("error E 2"), "ok");
  EXPECT_EQ(SimProcess::field(sim.command("status"), "error"), "E");
  host.write_all(print_cmd("0001") + print_cmd("0001") + print_cmd("0001"));
  EXPECT_EQ(host.read_bytes(13, 3000), "\x1b"
                                       "E\r\x1b"
                                       "E\r\x1bO0000\r");

  EXPECT_EQ(sim.command("error EF"), "err the error reply takes one letter");
  EXPECT_EQ(sim.command("frobnicate"), "err unknown command 'frobnicate' (try help)");
  EXPECT_EQ(sim.command("@nobody ping"), "err no printer named nobody");
}

TEST_F(Serve, LineStateFileCarriesBothSidesLines) {
  start();
  LinesView lines(lines_file());
  ASSERT_NE(lines.rec, nullptr);
  EXPECT_EQ(lines.get(lines.rec->magic), TLX_LINES_MAGIC);
  EXPECT_EQ(lines.get(lines.rec->alive), 1u);
  EXPECT_EQ(int32_t(lines.get(lines.rec->sim_pid)), sim.pid);
  EXPECT_EQ(lines.get(lines.rec->in_lines), uint32_t(TIOCM_DSR | TIOCM_CTS));
  EXPECT_EQ(sim.command("dsr off"), "ok");
  EXPECT_EQ(lines.get(lines.rec->in_lines), uint32_t(TIOCM_CTS));
  EXPECT_EQ(sim.command("cts off"), "ok");
  EXPECT_EQ(lines.get(lines.rec->in_lines), 0u);
  EXPECT_EQ(sim.command("dsr on"), "ok");
  EXPECT_EQ(lines.get(lines.rec->in_lines), uint32_t(TIOCM_DSR));

  // The host side (the preloaded library) raises DTR and records line settings.
  __atomic_store_n(&lines.rec->out_lines, uint32_t(TIOCM_DTR), __ATOMIC_RELEASE);
  __atomic_store_n(&lines.rec->cflag, uint32_t(B19200 | CS7 | PARENB | CSTOPB | CREAD),
                   __ATOMIC_RELEASE);
  __atomic_store_n(&lines.rec->baud, 19200u, __ATOMIC_RELEASE);
  __atomic_fetch_add(&lines.rec->settings_seq, 1u, __ATOMIC_ACQ_REL);
  EXPECT_TRUE(SimProcess::wait_for(
      [&] {
        return sim.command("settings") ==
               "ok set=1 baud=19200 data=7 parity=even stop=2 dtr=1 rts=0";
      },
      3000))
      << sim.command("settings");
  auto log = sim.log();
  EXPECT_NE(std::find(log.begin(), log.end(), "lines dtr=1 rts=0"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "settings baud=19200 data=7 parity=even stop=2"),
            log.end());

  EXPECT_EQ(sim.command("fault break"), "ok");
  EXPECT_EQ(sim.command("fault frame"), "ok");
  EXPECT_EQ(lines.get(lines.rec->err_break), 1u);
  EXPECT_EQ(lines.get(lines.rec->err_frame), 1u);
  EXPECT_EQ(sim.command("fault smoke"), "err fault takes frame, parity, overrun or break");
}

TEST_F(Serve, FastLineCountsDrainedBytes) {
  start();
  LinesView lines(lines_file());
  HostLine host(link);
  host.write_all(std::string(1000, '0'));
  EXPECT_TRUE(SimProcess::wait_for([&] { return lines.get(lines.rec->drained) == 1000u; }, 3000));
}

TEST_F(Serve, ThrottledLineDrainsAtTheLineRate) {
  start(",baud=9600");
  LinesView lines(lines_file());
  HostLine host(link);
  auto t0 = std::chrono::steady_clock::now();
  host.write_all(std::string(600, '0'));
  ASSERT_TRUE(SimProcess::wait_for([&] { return lines.get(lines.rec->drained) == 600u; }, 5000));
  double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("600 bytes at 9600 baud drained in %.0f ms (line time 625 ms)\n", ms);
  EXPECT_GE(ms, 550.0) << "960 bytes per second cannot drain 600 bytes sooner";
  EXPECT_EQ(sim.command("rate fast"), "ok fast");
}

TEST_F(Serve, CloseNowAndReopenWithANewLine) {
  start(",pace=0");
  std::string old_pts = sim.ports[0].at("pts");
  std::string old_lines = lines_file();
  {
    HostLine host(link);
    ASSERT_TRUE(host.ok());
    EXPECT_EQ(sim.command("close"), "ok");
    EXPECT_EQ(SimProcess::field(sim.command("status"), "open"), "0");
    pollfd p{host.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR)) << "the host sees the line hang up";
    EXPECT_FALSE(exists(old_lines)) << "line-state file removed";
    EXPECT_EQ(link_target(link), old_pts) << "the link stays until the line is reopened";
    EXPECT_EQ(sim.command("close"), "err line closed");
    EXPECT_EQ(sim.command("send 00"), "err line closed");
  }
  std::string reply = sim.command("reopen");
  ASSERT_EQ(reply.rfind("ok /dev/pts/", 0), 0u) << reply;
  std::string new_pts = reply.substr(3);
  EXPECT_EQ(link_target(link), new_pts);
  EXPECT_TRUE(exists(sim.lines_dir + "/pts-" + pts_number(new_pts)));
  HostLine host(link);
  ASSERT_TRUE(host.ok());
  host.write_all(print_cmd("0001"));
  EXPECT_EQ(host.read_bytes(7, 3000), "\x1bO0000\r");
}

TEST_F(Serve, CloseAfterSomeBytesCutsTheJobThere) {
  start();
  HostLine host(link);
  EXPECT_EQ(sim.command("close after 10"), "ok");
  host.write_all(clear_cmd() + condition12("000", '5')); // 4 + 17 bytes
  EXPECT_TRUE(SimProcess::wait_for(
      [&] { return SimProcess::field(sim.command("status"), "open") == "0"; }, 3000));
  auto log = sim.log();
  std::vector<std::string> expected = {"line open " + sim.ports[0].at("pts"), "clear",
                                       "media field=000 model=12", "line closed after byte count"};
  EXPECT_EQ(log, expected) << "ten bytes: the clear, ESC M 000 CR, and no more";
}

TEST_F(Serve, HostOpensAndClosesThePortManyTimes) {
  start(",pace=0");
  for (int i = 0; i < 40; ++i) {
    HostLine host(link);
    ASSERT_TRUE(host.ok()) << "open " << i;
    host.write_all(print_cmd("0001"));
    ASSERT_EQ(host.read_bytes(7, 3000), "\x1bO0000\r") << "round " << i;
  }
  EXPECT_EQ(sim.command("labels"), "ok 40");
}

TEST_F(Serve, ResetStartsCountersLogAndNumberingAgain) {
  start(",pace=0");
  HostLine host(link);
  host.write_all(print_cmd("0002"));
  ASSERT_EQ(host.read_bytes(14, 3000).size(), 14u);
  EXPECT_EQ(sim.command("reset"), "ok");
  EXPECT_EQ(sim.command("labels"), "ok 0");
  EXPECT_EQ(sim.command("received"), "ok 0");
  EXPECT_TRUE(sim.log().empty());
  host.write_all(print_cmd("0001"));
  ASSERT_EQ(host.read_bytes(7, 3000).size(), 7u);
  EXPECT_EQ(sim.log(), (std::vector<std::string>{"quantity 1", "print quantity=1",
                                                 "label 1 saved label-0001.png", "reply O0000"}));
}

TEST_F(Serve, QuitRemovesLinkLineStateAndReadyFile) {
  start();
  std::string lines = lines_file();
  EXPECT_EQ(sim.quit(), 0);
  EXPECT_FALSE(exists(link));
  EXPECT_FALSE(exists(lines));
  EXPECT_FALSE(exists(sim.dir + "/ready"));
  EXPECT_TRUE(exists(sim.dir + "/out/tlxsim.log")) << "output stays";
}

TEST_F(Serve, SigtermCleansUpToo) {
  start();
  std::string lines = lines_file();
  EXPECT_EQ(sim.terminate(), 0);
  EXPECT_FALSE(exists(link));
  EXPECT_FALSE(exists(lines));
}

TEST_F(Serve, ExistingLinkIsReplacedAndAForeignLinkIsLeftAlone) {
  // A stale link where the port goes.
  ASSERT_EQ(symlink("/dev/null", (sim.dir + "/com3").c_str()), 0);
  start();
  EXPECT_EQ(link_target(link), sim.ports[0].at("pts"));
  // Someone else takes the link over: the simulator must not remove it on exit.
  unlink(link.c_str());
  ASSERT_EQ(symlink("/dev/zero", link.c_str()), 0);
  EXPECT_EQ(sim.quit(), 0);
  EXPECT_EQ(link_target(link), "/dev/zero");
}

TEST_F(Serve, OwnedSimulatorExitsWhenItsOwnerDisconnects) {
  start("", {"--owned"});
  EXPECT_EQ(sim.command("ping"), "ok tlxsim");
  sim.disconnect();
  int status = 0;
  EXPECT_TRUE(
      SimProcess::wait_for([&] { return waitpid(sim.pid, &status, WNOHANG) == sim.pid; }, 5000));
  sim.pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(exists(link));
}

TEST(ServeTwo, PrintersAreAddressedByName) {
  SimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.start({"--port", sim.dir + "/a,out=" + sim.dir + "/oa", "--port",
                         "-,name=b,model=8,out=" + sim.dir + "/ob"},
                        &error))
      << error;
  ASSERT_EQ(sim.ports.size(), 2u);
  EXPECT_EQ(sim.ports[1].at("link"), "-");
  EXPECT_EQ(sim.command("ports"), "ok a b");
  EXPECT_EQ(sim.command("@b dsr off"), "ok");
  EXPECT_EQ(SimProcess::field(sim.command("@b status"), "dsr"), "0");
  EXPECT_EQ(SimProcess::field(sim.command("@b status"), "model"), "8");
  EXPECT_EQ(SimProcess::field(sim.command("status"), "dsr"), "1") << "the first is the default";
  EXPECT_EQ(SimProcess::field(sim.command("@a status"), "dsr"), "1");
  // The unlinked port is still reachable through its pty.
  HostLine host(sim.ports[1].at("pts"));
  ASSERT_TRUE(host.ok());
  host.write_all(print_cmd("0001"));
  EXPECT_EQ(host.read_bytes(7, 3000), "\x1bO0000\r");
  EXPECT_EQ(sim.command("@b labels"), "ok 1");
  EXPECT_EQ(sim.command("@a labels"), "ok 0");
}

TEST(ServeStart, BadArgumentsExitWithUsage) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl(TLXSIM_BINARY, TLXSIM_BINARY, "serve", "--port", "-,model=9", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

// `tlxsim render`: a stream captured to a file becomes the PNG of the image memory.
class Render : public testing::Test {
protected:
  Render() {
    char tmpl[] = "/tmp/tlxsim-render-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  ~Render() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  int render(const std::string& stream, const std::vector<std::string>& options) {
    std::ofstream(dir + "/s.bin", std::ios::binary) << stream;
    std::string cmd = std::string(TLXSIM_BINARY) + " render";
    for (const auto& o : options)
      cmd += " " + o;
    cmd += " '" + dir + "/s.bin' '" + dir + "/s.png' > '" + dir + "/out.txt' 2>&1";
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  GreyImage image() {
    GreyImage img;
    std::string error;
    EXPECT_TRUE(load_png(dir + "/s.png", &img, &error)) << error;
    return img;
  }
  std::string output() {
    std::ifstream f(dir + "/out.txt");
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  std::string dir;
};

TEST_F(Render, RecognisesThe12DotModel) {
  ASSERT_EQ(render(clear_cmd() + condition12("000", '5') +
                       image_header("0010", "0001", "0002", "0001") + raster({0xC0}) + CR +
                       print_cmd("0001"),
                   {}),
            0)
      << output();
  GreyImage img = image();
  EXPECT_EQ(img.width, 1272u);
  EXPECT_EQ(img.height, 2u);
  EXPECT_EQ(img.count_black(), 2u);
  EXPECT_TRUE(img.black(10, 1));
  EXPECT_TRUE(img.black(11, 1));
  EXPECT_NE(output().find("rendered model=12 1272x2"), std::string::npos) << output();
}

TEST_F(Render, RecognisesThe8DotModelFromTheMediaCommand) {
  ASSERT_EQ(render(clear_cmd() + condition8("050", "000", '5') +
                       image_header("0000", "0000", "001", "001") + raster({0x01}) + CR,
                   {}),
            0)
      << output();
  GreyImage img = image();
  EXPECT_EQ(img.width, 896u);
  EXPECT_TRUE(img.black(7, 0));
  EXPECT_EQ(img.count_black(), 1u);
}

TEST_F(Render, ModelAndHeadGivenOnTheCommandLine) {
  ASSERT_EQ(render(image_header("0000", "0000", "001", "001") + raster({0xFF}) + CR,
                   {"--model", "8", "--head", "53"}),
            0)
      << output();
  GreyImage img = image();
  EXPECT_EQ(img.width, 424u);
  EXPECT_EQ(img.count_black(), 8u);
}

TEST_F(Render, MissingStreamFails) {
  EXPECT_EQ(std::system((std::string(TLXSIM_BINARY) + " render /nonexistent " + dir +
                         "/x.png > /dev/null 2>&1")
                            .c_str()) >>
                8,
            1);
}

} // namespace
