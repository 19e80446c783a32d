// Options of `tlxsim serve`: port arguments, their defaults and their errors, and the value
// parsers the control channel shares.
#include "tlxsim/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace tlxsim;

namespace {

TEST(PortArg, DefaultsFromALinkPath) {
  PortOptions p;
  std::string error;
  ASSERT_TRUE(parse_port_arg("/pfx/dosdevices/com3", "", 0, &p, &error)) << error;
  EXPECT_EQ(p.link, "/pfx/dosdevices/com3");
  EXPECT_EQ(p.name, "com3");
  EXPECT_EQ(p.printer.model, Model::Dots12);
  EXPECT_EQ(p.printer.head_mm, 0u);
  EXPECT_EQ(p.rate.mode, LineRate::Fast);
  EXPECT_EQ(p.out, "tlxsim-out/com3");
  EXPECT_TRUE(p.save);
  EXPECT_TRUE(p.dsr);
  EXPECT_TRUE(p.cts);
  EXPECT_EQ(p.error, 0);
  EXPECT_FALSE(p.silent);
  EXPECT_EQ(p.close_after, -1);
}

TEST(PortArg, ComNameResolvesInTheWinePrefix) {
  PortOptions p;
  std::string error;
  ASSERT_TRUE(parse_port_arg("COM7,model=8", "/home/u/.wine/dosdevices", 0, &p, &error)) << error;
  EXPECT_EQ(p.link, "/home/u/.wine/dosdevices/com7");
  EXPECT_EQ(p.name, "com7");
  EXPECT_EQ(p.printer.model, Model::Dots8);
  EXPECT_FALSE(parse_port_arg("com7", "", 0, &p, &error)) << "no prefix to put the link in";
}

TEST(PortArg, EveryKey) {
  PortOptions p;
  std::string error;
  ASSERT_TRUE(parse_port_arg("-,name=left,model=8,head=56,baud=9600,pace=250,out=/o,save=none,"
                             "dsr=off,cts=off,error=F,silent,close-after=123",
                             "", 4, &p, &error))
      << error;
  EXPECT_EQ(p.link, "");
  EXPECT_EQ(p.name, "left");
  EXPECT_EQ(p.printer.model, Model::Dots8);
  EXPECT_EQ(p.printer.head_mm, 56u);
  EXPECT_EQ(p.rate.mode, LineRate::Fixed);
  EXPECT_EQ(p.rate.baud, 9600u);
  EXPECT_EQ(p.printer.pace_ms, 250u);
  EXPECT_EQ(p.out, "/o");
  EXPECT_FALSE(p.save);
  EXPECT_FALSE(p.dsr);
  EXPECT_FALSE(p.cts);
  EXPECT_EQ(p.error, 'F');
  EXPECT_TRUE(p.silent);
  EXPECT_EQ(p.close_after, 123);
}

TEST(PortArg, ComLinksGoWhereThePrefixPinsItsPorts) {
  char tmpl[] = "/tmp/tlxsim-prefix-XXXXXX";
  std::string prefix = mkdtemp(tmpl);
  EXPECT_EQ(com_link_dir(prefix), prefix + "/dosdevices");
  ASSERT_EQ(mkdir((prefix + "/serial-ports").c_str(), 0755), 0);
  EXPECT_EQ(com_link_dir(prefix), prefix + "/serial-ports");
  EXPECT_EQ(com_link_dir(""), "");
  rmdir((prefix + "/serial-ports").c_str());
  rmdir(prefix.c_str());
}

TEST(PortArg, UnnamedWithoutLinkIsNumbered) {
  PortOptions p;
  std::string error;
  ASSERT_TRUE(parse_port_arg("-", "", 2, &p, &error));
  EXPECT_EQ(p.name, "p3");
  EXPECT_EQ(p.out, "tlxsim-out/p3");
}

struct BadPortArg {
  const char* arg;     // --port value
  const char* message; // start of the expected error
};

class BadPortArgs : public testing::TestWithParam<BadPortArg> {};

TEST_P(BadPortArgs, AreRejectedWithAReason) {
  PortOptions p;
  std::string error;
  EXPECT_FALSE(parse_port_arg(GetParam().arg, "/pfx", 0, &p, &error));
  EXPECT_EQ(error.rfind(GetParam().message, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Arg, BadPortArgs,
    testing::Values(
        BadPortArg{"", "--port needs"}, BadPortArg{",model=8", "--port needs"},
        BadPortArg{"-,model=10", "model must be"}, BadPortArg{"-,head=0", "head must be"},
        BadPortArg{"-,head=301", "head must be"}, BadPortArg{"-,baud=slow", "baud must be"},
        BadPortArg{"-,baud=0", "baud must be"}, BadPortArg{"-,pace=-1", "pace must be"},
        BadPortArg{"-,save=some", "save must be"}, BadPortArg{"-,dsr=maybe", "dsr must be"},
        BadPortArg{"-,error=EF", "error takes"}, BadPortArg{"-,name=a b", "bad name"},
        BadPortArg{"-,name=@x", "bad name"}, BadPortArg{"-,colour=red", "unknown port"}));

TEST(ServeArgs, PortsAndGlobalOptions) {
  ServeOptions o;
  std::string error;
  ASSERT_TRUE(parse_serve_args({"--port", "com1", "--port", "com2,model=8", "--control-port",
                                "4100", "--ready", "/r", "--owned", "--max-seconds", "60",
                                "--quiet", "--lines-dir", "/l"},
                               "/pfx", &o, &error))
      << error;
  ASSERT_EQ(o.ports.size(), 2u);
  EXPECT_EQ(o.ports[1].printer.model, Model::Dots8);
  EXPECT_EQ(o.control_port, 4100);
  EXPECT_EQ(o.ready_file, "/r");
  EXPECT_TRUE(o.owned);
  EXPECT_EQ(o.max_seconds, 60u);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.lines_dir, "/l");
}

TEST(ServeArgs, Errors) {
  ServeOptions o;
  std::string error;
  EXPECT_FALSE(parse_serve_args({}, "", &o, &error));
  EXPECT_EQ(error, "no --port given");
  EXPECT_FALSE(parse_serve_args({"--port", "-,name=a", "--port", "-,name=a"}, "", &o, &error));
  EXPECT_EQ(error, "two ports named a");
  EXPECT_FALSE(parse_serve_args({"--port", "/x/com1", "--port", "/x/com1,name=b"}, "", &o, &error));
  EXPECT_EQ(error, "two ports linked at /x/com1");
  EXPECT_FALSE(parse_serve_args({"--port"}, "", &o, &error));
  EXPECT_EQ(error, "--port needs a value");
  EXPECT_FALSE(parse_serve_args({"--port", "-", "--control-port", "70000"}, "", &o, &error));
  EXPECT_FALSE(parse_serve_args({"--port", "-", "--frobnicate"}, "", &o, &error));
  EXPECT_EQ(error, "unknown option '--frobnicate'");
}

TEST(Values, Hex) {
  std::string b;
  ASSERT_TRUE(parse_hex("1B4F 30 31 3233 0d", &b));
  EXPECT_EQ(b, "\x1bO0123\r");
  EXPECT_FALSE(parse_hex("1B4", &b)) << "odd digit count";
  EXPECT_FALSE(parse_hex("1 B", &b)) << "byte split by a space";
  EXPECT_FALSE(parse_hex("zz", &b));
  EXPECT_FALSE(parse_hex("", &b));
}

TEST(Values, RatesAndSwitches) {
  LineRate r;
  ASSERT_TRUE(parse_rate("FAST", &r));
  EXPECT_EQ(r.mode, LineRate::Fast);
  ASSERT_TRUE(parse_rate("line", &r));
  EXPECT_EQ(r.mode, LineRate::Line);
  ASSERT_TRUE(parse_rate("19200", &r));
  EXPECT_EQ(r.mode, LineRate::Fixed);
  EXPECT_EQ(r.baud, 19200u);
  EXPECT_EQ(rate_text(r), "19200");
  EXPECT_FALSE(parse_rate("0", &r));
  bool on = false;
  EXPECT_TRUE(parse_switch("ON", &on) && on);
  EXPECT_TRUE(parse_switch("0", &on) && !on);
  EXPECT_FALSE(parse_switch("maybe", &on));
}

} // namespace
