// libtlxlines.so in both ABIs, through a probe that makes Wine's terminal requests under
// LD_PRELOAD: modem lines both ways, recorded and shadowed line settings, transmitter-empty at the
// line rate, error counts, and untouched behaviour on every other terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "sim_process.h"
#include "tlxsim/lines_shared.h"

extern char** environ;

using namespace tlxsim_test;

namespace {

struct Abi {
  const char* name;  // for the test names
  const char* probe; // probe program of this ABI
  const char* lib;   // libtlxlines.so of this ABI
};

const Abi kAbis[] = {
    {"x86_64", TLXLINES_PROBE64, TLXLINES_LIB64},
#ifdef TLXLINES_PROBE32
    {"i386", TLXLINES_PROBE32, TLXLINES_LIB32},
#endif
};

class Preload : public testing::TestWithParam<Abi> {
protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim.start({"--port", sim.dir + "/com1,out=" + sim.dir + "/out"}, &error)) << error;
    link = sim.dir + "/com1";
  }

  // Runs the probe on `target` with the library preloaded; its key=value lines (a key that comes
  // twice keeps its last value) and "exit", the probe's exit status.
  std::map<std::string, std::string> probe(const std::string& target,
                                           const std::vector<std::string>& steps) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "LD_PRELOAD=", 11) && std::strncmp(*e, TLX_LINES_DIR_ENV "=", 17))
        env_strings.push_back(*e);
    env_strings.push_back(std::string("LD_PRELOAD=") + GetParam().lib);
    env_strings.push_back(std::string(TLX_LINES_DIR_ENV "=") + sim.lines_dir);
    std::vector<char*> envp;
    for (auto& s : env_strings)
      envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {GetParam().probe, target};
    args.insert(args.end(), steps.begin(), steps.end());
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t r; (r = read(out[0], buf, sizeof buf)) > 0;)
      text.append(buf, size_t(r));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::map<std::string, std::string> result;
    result["exit"] = WIFEXITED(status) ? std::to_string(WEXITSTATUS(status)) : "signal";
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      size_t eq = line.find('=');
      result[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return result;
  }

  SimProcess sim;
  std::string link;
};

std::string hex(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%x", v);
  return b;
}

TEST_P(Preload, ModemLinesGoBothWays) {
  EXPECT_EQ(probe(link, {"mget"})["mget"], hex(TIOCM_DSR | TIOCM_CTS));
  EXPECT_EQ(sim.command("dsr off"), "ok");
  EXPECT_EQ(probe(link, {"mget"})["mget"], hex(TIOCM_CTS));

  auto r = probe(link, {"mbis=" + hex(TIOCM_DTR).substr(2), "mget"});
  EXPECT_EQ(r["mbis"], "0");
  EXPECT_EQ(r["mget"], hex(TIOCM_CTS | TIOCM_DTR));
  EXPECT_TRUE(SimProcess::wait_for(
      [&] { return SimProcess::field(sim.command("settings"), "dtr") == "1"; }, 3000));
  EXPECT_EQ(SimProcess::field(sim.command("settings"), "rts"), "0");

  r = probe(link, {"mset=" + hex(TIOCM_RTS | TIOCM_DSR).substr(2), "mget"});
  EXPECT_EQ(r["mget"], hex(TIOCM_CTS | TIOCM_RTS)) << "DSR is the printer's: not set by the host";
  r = probe(link, {"mbic=" + hex(TIOCM_RTS).substr(2), "mget"});
  EXPECT_EQ(r["mget"], hex(TIOCM_CTS));
  EXPECT_TRUE(SimProcess::wait_for(
      [&] { return sim.command("settings").find("dtr=0 rts=0") != std::string::npos; }, 3000));
}

TEST_P(Preload, LineSettingsAreRecordedAndReadBackAsSet) {
  // Size and parity changed on their own, as Wine's SetCommState changes them.
  auto r = probe(link, {"set=19200,8,N,2", "set=19200,7,E,2", "get"});
  EXPECT_EQ(r["set"], "0") << "a real port accepts 7 data bits and parity";
  EXPECT_EQ(r["get"], "19200,7,E,2");
  EXPECT_TRUE(SimProcess::wait_for(
      [&] {
        return sim.command("settings").find("baud=19200 data=7 parity=even stop=2") !=
               std::string::npos;
      },
      3000))
      << sim.command("settings");
  r = probe(link, {"set=9600,8,O,1", "get"});
  EXPECT_EQ(r["get"], "9600,8,O,1");
  EXPECT_TRUE(SimProcess::wait_for(
      [&] {
        return sim.command("settings").find("baud=9600 data=8 parity=odd stop=1") !=
               std::string::npos;
      },
      3000));
  // The settings persist with the port, as on real hardware: a new open reads them back.
  EXPECT_EQ(probe(link, {"get"})["get"], "9600,8,O,1");
}

TEST_P(Preload, OtherTerminalsAreUntouched) {
  auto r = probe("ptmx", {"mget", "lsr", "set=19200,7,E,2", "set=9600,8,N,1", "get"});
  EXPECT_EQ(r["mget"].rfind("err:", 0), 0u) << r["mget"];
  EXPECT_EQ(r["lsr"], "err");
  EXPECT_EQ(r["set"], "0") << "the last set (8N1) passes";
  EXPECT_EQ(r["get"], "9600,8,N,1");
  // glibc refuses a change of size or parity alone on a pty; the library must not hide that on
  // terminals that are not simulated ports.
  EXPECT_EQ(probe("ptmx", {"set=19200,8,N,1", "set=19200,7,E,1"})["set"], "err:22");
  // Other files too.
  EXPECT_EQ(probe("/dev/null", {"mget"})["mget"].rfind("err:", 0), 0u);
}

TEST_P(Preload, TransmitterEmptyWaitsForTheDrainAtTheLineRate) {
  EXPECT_EQ(probe(link, {"lsr", "outq"}),
            (std::map<std::string, std::string>{{"exit", "0"}, {"lsr", "1"}, {"outq", "0"}}));
  EXPECT_EQ(sim.command("rate 9600"), "ok 9600");
  auto r = probe(link, {"write=600", "outq", "temt"});
  EXPECT_EQ(r["write"], "600");
  EXPECT_GT(std::atoi(r["outq"].c_str()), 500) << "right after the write most of it is queued";
  std::printf("[%s] 600 bytes at 9600 baud: transmitter empty after %s ms (line time 625 ms)\n",
              GetParam().name, r["temt"].c_str());
  EXPECT_GE(std::atoi(r["temt"].c_str()), 550) << "960 bytes per second";
  EXPECT_EQ(probe(link, {"lsr", "outq"}),
            (std::map<std::string, std::string>{{"exit", "0"}, {"lsr", "1"}, {"outq", "0"}}));
  // The simulator saw the bytes the host counted.
  EXPECT_EQ(sim.command("received"), "ok 600");

  EXPECT_EQ(sim.command("rate fast"), "ok fast");
  r = probe(link, {"write=600", "temt"});
  std::printf("[%s] 600 bytes on a fast line: transmitter empty after %s ms\n", GetParam().name,
              r["temt"].c_str());
  EXPECT_LT(std::atoi(r["temt"].c_str()), 500);
}

TEST_P(Preload, LineErrorsShowInTheInterruptCounts) {
  EXPECT_EQ(probe(link, {"icount"})["icount"], "0,0,0,0");
  EXPECT_EQ(sim.command("fault frame"), "ok");
  EXPECT_EQ(sim.command("fault break"), "ok");
  EXPECT_EQ(sim.command("fault break"), "ok");
  EXPECT_EQ(probe(link, {"icount"})["icount"], "1,0,0,2");
}

TEST_P(Preload, AClosedLineIsNoLongerServed) {
  EXPECT_EQ(sim.command("close"), "ok");
  // The link now points at a pty that is gone (or reused by someone else).
  auto r = probe(link, {"mget"});
  EXPECT_TRUE(r["open"].rfind("err:", 0) == 0 || r["mget"].rfind("err:", 0) == 0)
      << r["open"] << r["mget"];
}

TEST_P(Preload, TheOpenPortIsExclusive) {
  auto r = probe(link, {"open2", "close", "open2"});
  EXPECT_EQ(r["exit"], "0");
  EXPECT_EQ(r["close"], "0");
  EXPECT_EQ(r["open2"], "0") << "free again once the first descriptor is closed";
  EXPECT_EQ(probe(link, {"open2"})["open2"], "err:13") << "EACCES while held";
  // A holder that exited without closing holds nothing: each probe opens afresh.
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(probe(link, {"mget"})["exit"], "0");
  // Other terminals are not exclusive.
  EXPECT_EQ(probe("ptmx", {"open2"})["open2"], "0");
}

INSTANTIATE_TEST_SUITE_P(Abis, Preload, testing::ValuesIn(kAbis),
                         [](const testing::TestParamInfo<Abi>& i) { return i.param.name; });

} // namespace
