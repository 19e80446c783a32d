// Readiness, stop and job monitoring through the real DLL against simulated
// printers: the DSR line, the stop command on the wire, every reply letter
// with its code and message, replies split over polls or sent together,
// garbage, and two printers polled in turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/host_environment.h"
#include "support/tlxsim_client.h"
#include "tests/driver/driver_dll.h"

namespace {
constexpr int kComA = 12;
constexpr int kComB = 13;
constexpr DWORD kPrinterA = 2; // slot 1
constexpr DWORD kPrinterB = 5; // slot 4

class JobMonitoring : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    sim_ = new veldrin_test::TlxSim;
    std::string error;
    ASSERT_TRUE(sim_->start(std::vector<veldrin_test::SimPrinter>{{.com = kComA, .options = ""},
                                                                  {.com = kComB, .options = ""}},
                            &error))
        << error;
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(host_.ready());
    ASSERT_TRUE(sim_->running());
    host_.write_ini("[VELDRIN Info]\r\n" +
                    veldrin_test::HostEnvironment::printer_keys(kPrinterA, kComA) +
                    veldrin_test::HostEnvironment::printer_keys(kPrinterB, kComB));
    for (int com : {kComA, kComB}) {
      sim_->command("dsr on", com);
      sim_->command("reset", com);
    }
    ASSERT_EQ(0, api().InitPrinter(kPrinterA, 0));
    ASSERT_EQ(0, api().InitPrinter(kPrinterB, 0));
    host_.clear_debug();
  }
  void TearDown() override {
    api().ClosePrinter(kPrinterA - 1);
    api().ClosePrinter(kPrinterB - 1);
  }

  static const DriverApi& api() { return Driver(); }

  // Opens the printer's port the way polling does, so that what the printer
  // sends from now on is kept (opening a port discards what came before).
  void connect(DWORD printer) {
    LONG remaining = -7;
    ASSERT_EQ(2, api().IsPrintFinished(printer, &remaining, 0, 0));
  }

  // Polls until the result is something other than "no complete reply yet".
  LONG poll(DWORD printer, LONG* remaining) {
    LONG result = 2;
    for (int i = 0; i < 40 && result == 2; ++i)
      result = api().IsPrintFinished(printer, remaining, 0, 0);
    return result;
  }

  std::string error_text(DWORD printer, DWORD* code) {
    char buf[256] = "";
    *code = api().GetPrintError(printer, buf, sizeof(buf));
    return buf;
  }

  veldrin_test::HostEnvironment host_;
  static veldrin_test::TlxSim* sim_;
};
veldrin_test::TlxSim* JobMonitoring::sim_ = nullptr;
} // namespace

TEST_F(JobMonitoring, ReadyOnAFreshConnectionSendsStopAndClosesThePort) {
  EXPECT_EQ(1u, api().IsPrintReady(kPrinterA - 1, 0));
  EXPECT_GE(sim_->wait_log("stop", 3000, kComA), 0) << "the printer got the stop command";
  EXPECT_TRUE(veldrin_test::ComPortIsFree(kComA)) << "the stop closed the port again";
  // A second call connects afresh and stops again.
  EXPECT_EQ(1u, api().IsPrintReady(kPrinterA - 1, 0));
  EXPECT_EQ(14, sim_->number("received", kComA)) << "two stop commands of 7 bytes";
  DWORD code = 1;
  error_text(kPrinterA, &code);
  EXPECT_EQ(0u, code);
}

TEST_F(JobMonitoring, ReadyWithDsrOffReportsTheStateAndKeepsThePortOpen) {
  ASSERT_TRUE(sim_->ok("dsr off", kComA));
  EXPECT_EQ(0u, api().IsPrintReady(kPrinterA - 1, 0));
  EXPECT_FALSE(veldrin_test::ComPortIsFree(kComA)) << "the port stays open";
  EXPECT_EQ(0, sim_->number("received", kComA)) << "nothing is sent";
  DWORD code = 0;
  EXPECT_EQ("The state of the printer cannot be printed.", error_text(kPrinterA, &code));
  EXPECT_EQ(60806u, code);
  EXPECT_TRUE(veldrin_test::ComPortIsFree(kComA)) << "fetching the error closed the port";
  EXPECT_EQ("The state of the printer cannot be printed.", error_text(kPrinterA, &code));
  EXPECT_EQ(60806u, code) << "the code stays until something clears it";
  const std::vector<std::string> expected = {"GetPrintError--60806", "GetPrintError-CloseCom",
                                             "GetPrintError--60806", "GetPrintError-CloseCom"};
  EXPECT_EQ(expected, host_.debug_lines());
}

TEST_F(JobMonitoring, ReadyOnAnOpenPortOnlyLooksAtDsr) {
  ASSERT_TRUE(sim_->ok("dsr off", kComA));
  EXPECT_EQ(0u, api().IsPrintReady(kPrinterA - 1, 0)); // leaves the port open
  ASSERT_TRUE(sim_->ok("dsr on", kComA));
  EXPECT_EQ(1u, api().IsPrintReady(kPrinterA - 1, 0));
  EXPECT_FALSE(veldrin_test::ComPortIsFree(kComA)) << "no stop, no close on an open port";
  EXPECT_EQ(0, sim_->number("received", kComA));
}

TEST_F(JobMonitoring, AMissingPortIsACommunicationError) {
  host_.write_ini("[VELDRIN Info]\r\n" + veldrin_test::HostEnvironment::printer_keys(3, 40));
  ASSERT_EQ(0, api().InitPrinter(3, 0));
  EXPECT_EQ(0u, api().IsPrintReady(2, 0));
  DWORD code = 0;
  EXPECT_EQ("The RS-232 communication error occurred.", error_text(3, &code));
  EXPECT_EQ(60800u, code);
  EXPECT_EQ(0u, api().StopPrint(3));
  error_text(3, &code);
  EXPECT_EQ(60800u, code);
}

TEST_F(JobMonitoring, StopSendsTheStopCommandAndFeedIsTheSame) {
  EXPECT_EQ(1u, api().StopPrint(kPrinterA));
  EXPECT_EQ(1u, api().FeedLabel(kPrinterA, 12345));
  ASSERT_TRUE(
      veldrin_test::wait_until([&] { return sim_->number("received", kComA) == 14; }, 3000));
  EXPECT_TRUE(veldrin_test::ComPortIsFree(kComA));
}

TEST_F(JobMonitoring, RemainingCountReplies) {
  struct Case {
    const char* hex; // what the printer sends
    LONG result;
    LONG remaining;
  } cases[] = {
      {"1B 4F 30 30 31 32 0D", 0, 12},
      {"1B 4F 30 30 30 30 0D", 1, 0},
      {"1B 4F 39 39 39 39 0D", 1, 0}, // 9999 is taken as nothing left
      {"1B 4F 30 30 30 31 0D", 0, 1},
  };
  connect(kPrinterA);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    ASSERT_TRUE(sim_->ok(std::string("send ") + c.hex, kComA));
    LONG remaining = -7;
    EXPECT_EQ(c.result, poll(kPrinterA, &remaining));
    EXPECT_EQ(c.remaining, remaining);
  }
  EXPECT_EQ("Received Data:----\x1BO0001\r", host_.debug_lines().back());
}

TEST_F(JobMonitoring, ErrorRepliesGiveTheirCodesAndMessages) {
  struct Case {
    const char* hex;
    DWORD code;
    const char* message;
  } cases[] = {
      {"1B 45 0D", 60810, "The error of the set occurred."},
      {"1B 46 0D", 60811, "The ribbon was used completely. Please give changing to me."},
      {"1B 54 0D", 60812, "The error of parity occurred."},
      {"1B 47 0D", 60813, "Fleming's error occurred."},
      {"1B 56 0D", 60814, "The error of overrunning occurred."},
      {"1B 58 0D", 60815, "An uncertain command was received. "},
      {"1B 6F 30 30 30 30 0D", 60815, "An uncertain command was received. "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    connect(kPrinterA); // fetching the error closed the port
    ASSERT_TRUE(sim_->ok(std::string("send ") + c.hex, kComA));
    LONG remaining = -7;
    EXPECT_EQ(-1, poll(kPrinterA, &remaining));
    EXPECT_EQ(-7, remaining) << "the count is only written for a count reply";
    DWORD code = 0;
    EXPECT_EQ(c.message, error_text(kPrinterA, &code));
    EXPECT_EQ(c.code, code);
  }
}

TEST_F(JobMonitoring, AReplySplitOverPollsIsKeptUntilWhole) {
  connect(kPrinterA);
  ASSERT_TRUE(sim_->ok("send 1B 4F 30", kComA));
  LONG remaining = -7;
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(2, api().IsPrintFinished(kPrinterA, &remaining, 0, 0));
  ASSERT_TRUE(sim_->ok("send 30 31 32 0D", kComA));
  EXPECT_EQ(0, poll(kPrinterA, &remaining));
  EXPECT_EQ(12, remaining);
}

TEST_F(JobMonitoring, TheLastOfTwoFramesCounts) {
  connect(kPrinterA);
  ASSERT_TRUE(sim_->ok("send 1B 45 0D 1B 4F 30 30 30 33 0D", kComA));
  LONG remaining = -7;
  EXPECT_EQ(0, poll(kPrinterA, &remaining));
  EXPECT_EQ(3, remaining);
  DWORD code = 1;
  error_text(kPrinterA, &code);
  EXPECT_EQ(0u, code);
}

TEST_F(JobMonitoring, SevenBytesWithoutAFrameAreDiscarded) {
  ASSERT_TRUE(sim_->ok("dsr off", kComA));
  api().IsPrintReady(kPrinterA - 1, 0); // leaves 60806 behind and the port open
  ASSERT_TRUE(sim_->ok("send 61 62 63 64 65 66 67", kComA));
  LONG remaining = -7;
  EXPECT_EQ(-1, poll(kPrinterA, &remaining));
  DWORD code = 0;
  error_text(kPrinterA, &code);
  EXPECT_EQ(60806u, code) << "garbage leaves the code as it was";
  // The bytes are gone: a following reply stands on its own.
  ASSERT_TRUE(api().InitPrinter(kPrinterA, 0) == 0);
  connect(kPrinterA);
  ASSERT_TRUE(sim_->ok("send 1B 4F 30 30 30 30 0D", kComA));
  EXPECT_EQ(1, poll(kPrinterA, &remaining));
}

TEST_F(JobMonitoring, WaitGivesUpAfterItsPolls) {
  LONG remaining = 0;
  // Nothing arrives: every poll says "no reply yet", and the wait ends with 0.
  EXPECT_EQ(0u, api().WaitPrintFinished(kPrinterA, 0));
  EXPECT_EQ(0, sim_->number("received", kComA)) << "polling sends nothing";
  ASSERT_TRUE(sim_->ok("send 1B 4F 30 30 30 30 0D", kComA));
  EXPECT_EQ(1u, api().WaitPrintFinished(kPrinterA, 0));
  ASSERT_TRUE(sim_->ok("send 1B 46 0D", kComA));
  EXPECT_EQ(0u, api().WaitPrintFinished(kPrinterA, 0));
  (void)remaining;
}

TEST_F(JobMonitoring, TwoPrintersPolledInTurnKeepTheirBytesApart) {
  connect(kPrinterA);
  connect(kPrinterB);
  ASSERT_TRUE(sim_->ok("send 1B 4F 30 30", kComA)); // half a reply on A
  LONG a = -7, b = -7;
  EXPECT_EQ(2, api().IsPrintFinished(kPrinterA, &a, 0, 0));
  ASSERT_TRUE(sim_->ok("send 1B 4F 30 30 30 35 0D", kComB));
  EXPECT_EQ(0, poll(kPrinterB, &b));
  EXPECT_EQ(5, b);
  EXPECT_EQ(2, api().IsPrintFinished(kPrinterA, &a, 0, 0));
  ASSERT_TRUE(sim_->ok("send 30 37 0D", kComA));
  EXPECT_EQ(0, poll(kPrinterA, &a));
  EXPECT_EQ(7, a);
}

TEST_F(JobMonitoring, PrinterNumbersOutsideOneToEightUseTheFirstSlot) {
  // Printer 1 (slot 0) is on COM A for this test.
  host_.write_ini("[VELDRIN Info]\r\n" + veldrin_test::HostEnvironment::printer_keys(1, kComA));
  ASSERT_EQ(0, api().InitPrinter(1, 0));
  connect(1);
  for (DWORD number : {0u, 9u, 255u}) {
    SCOPED_TRACE(number);
    ASSERT_TRUE(sim_->ok("send 1B 4F 30 30 30 34 0D", kComA));
    LONG remaining = -7;
    EXPECT_EQ(0, poll(number, &remaining));
    EXPECT_EQ(4, remaining);
  }
  // KtPrIsPrintReady takes the slot index: 0 is the same slot as printer 1.
  EXPECT_EQ(1u, api().IsPrintReady(0, 0));
  api().ClosePrinter(0);
}
