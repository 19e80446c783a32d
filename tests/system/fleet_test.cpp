// Eight printers at once, driven the way the host drives them: one simulator
// serves COM1..COM8, four 12 dot/mm and four 8 dot/mm printers with their own
// head widths, baud rates, data bits, stop bits and parity from the INI file
// (half of them drain the line at the rate the driver set), some printing two
// or three copies of each label. The host takes every slot in turn through a
// complete label (KtPrStartPrint) and then an incremental one with a changed
// counter (KtPrPrintOneLabel), polling the eight printers alternately, one
// KtPrIsPrintFinished each per round, until all report finished. Every
// printed label equals its picture at its centring offset, dot for dot; each
// printer got its own print conditions; the line settings each port saw are
// the INI file's; and when the printers are closed nothing the driver made is
// left behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/gdi_hooks.h"
#include "support/ledger_checks.h"
#include "support/host_environment.h"
#include "support/host_job.h"
#include "support/png_image.h"
#include "support/process_counts.h"
#include "support/tlxsim_client.h"
#include "tests/driver/driver_dll.h"
#include "support/label_maker.h"
#include "tests/system/system_fixture.h"

namespace {
using veldrin_test::HostJob;

// One printer of the fleet. Printer n is on COMn.
struct FleetPrinter {
  int number;         // printer number 1..8, also the COM port
  int dotsPerMm;      // 12 or 8
  int maxWidthMm;     // VDMAXnn, and the simulated head's width
  int baud;           // from the INI serial string
  int dataBits;       // 7 or 8
  int stopBits;       // code: 0 one, 2 two
  int parity;         // code: 0 none, 1 odd, 2 even
  const char* rate;   // how the simulator drains the line
  WORD widthTenthMm;  // label size
  WORD lengthTenthMm; // label length
  int quantity;       // copies of each label
};

const FleetPrinter kFleet[] = {
    {1, 12, 53, 57600, 8, 0, 0, "line", 200, 100, 1},
    {2, 8, 56, 19200, 7, 2, 2, "line", 200, 120, 2},
    {3, 12, 106, 38400, 8, 0, 1, "fast", 400, 150, 1},
    {4, 8, 112, 9600, 8, 2, 0, "fast", 500, 200, 3},
    {5, 12, 56, 19200, 7, 0, 1, "line", 160, 100, 1},
    {6, 8, 53, 57600, 8, 0, 2, "line", 300, 150, 1},
    {7, 12, 112, 9600, 7, 2, 1, "fast", 300, 200, 2},
    {8, 8, 106, 38400, 8, 0, 0, "fast", 450, 100, 1},
};
constexpr int kFleetSize = sizeof(kFleet) / sizeof(kFleet[0]);

const char* parity_name(int code) {
  return code == 0 ? "none" : code == 1 ? "odd" : "even";
}

// The print conditions printer n's host record carries: start position
// 0(10+n) mm, density n.
std::string start_field(int n) {
  char text[8];
  snprintf(text, sizeof(text), "%03d", 10 + n);
  return text;
}

class Fleet : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(host_.ready());
    std::vector<veldrin_test::SimPrinter> printers;
    std::string ini = "[VELDRIN Info]\r\n";
    for (const FleetPrinter& p : kFleet) {
      printers.push_back({.com = p.number,
                          .model = p.dotsPerMm,
                          .head_mm = p.maxWidthMm,
                          .baud = p.rate,
                          .pace_ms = 5,
                          .options = ""});
      ini += veldrin_test::HostEnvironment::printer_keys(p.number, p.number, p.baud, p.maxWidthMm,
                                                         p.dataBits, p.stopBits, p.parity);
    }
    ASSERT_TRUE(host_.write_ini(ini));
    std::string error;
    ASSERT_TRUE(sim_.start(printers, &error)) << error;
  }
  void TearDown() override {
    for (const FleetPrinter& p : kFleet)
      api().ClosePrinter(p.number - 1);
  }

  static const DriverApi& api() { return Driver(); }

  // Polls the printers that have not finished, one call each per round,
  // until every one reports its job finished.
  void poll_all_until_finished() {
    bool finished[kFleetSize] = {};
    int left = kFleetSize;
    const DWORD start = GetTickCount();
    while (left > 0 && GetTickCount() - start < 60000) {
      for (int i = 0; i < kFleetSize; ++i) {
        if (finished[i])
          continue;
        LONG remaining = -7;
        const LONG result = api().IsPrintFinished(kFleet[i].number, &remaining, 0, 0);
        ASSERT_NE(-1, result) << "printer " << kFleet[i].number << " failed";
        if (result == 1) {
          EXPECT_EQ(0, remaining);
          finished[i] = true;
          --left;
        }
      }
    }
    ASSERT_EQ(0, left) << "printers still not finished";
  }

  // The printed label `number` of printer p holds `label` at its centring offset and
  // nothing else.
  void expect_printed(const FleetPrinter& p, int number, const TestLabel& label) {
    SCOPED_TRACE(testing::Message() << "printer " << p.number << " label " << number);
    const int offset = veldrin_test::CentringOffsetDots(p.maxWidthMm, p.widthTenthMm, p.dotsPerMm);
    veldrin_test::Pixels png;
    ASSERT_TRUE(sim_.wait_labels(number, 10000, p.number));
    ASSERT_TRUE(veldrin_test::read_png(sim_.label_path(number, p.number), &png));
    EXPECT_EQ(p.maxWidthMm * p.dotsPerMm, png.width) << "the whole head";
    std::string why;
    EXPECT_TRUE(PrintedAsLabel(sim_, p.number, number, label, offset, &why)) << why;
  }

  veldrin_test::HostEnvironment host_;
  veldrin_test::TlxSim sim_;
};
} // namespace

TEST_F(Fleet, EightPrintersCompleteThenIncrementalPolledInTurn) {
  ASSERT_TRUE(InstallHooksIn(api().hModule));
  // The jobs, one per printer, kept for both labels as the host keeps its records.
  std::vector<std::unique_ptr<HostJob>> jobs;
  std::vector<TestLabel> first, second;
  for (const FleetPrinter& p : kFleet) {
    auto job =
        std::make_unique<HostJob>(p.dotsPerMm == 12 ? 261 : 264, p.widthTenthMm, p.lengthTenthMm);
    job->info.bIncremental = 1;
    job->condition.nContrast = static_cast<SHORT>(p.number);
    memcpy(job->condition.achStartPos, start_field(p.number).c_str(), 3);
    jobs.push_back(std::move(job));
    const int w = p.widthTenthMm * p.dotsPerMm / 10;
    const int h = p.lengthTenthMm * p.dotsPerMm / 10;
    first.push_back(MakeTestLabel(w, h, 100 + p.number, 1));
    second.push_back(MakeTestLabel(w, h, 100 + p.number, 2));
  }

  veldrin_test::WarmUpProcess(sim_, kFleet[0].number);
  const size_t handlesBefore = veldrin_test::CountOpenHandles();
  StartRecording();

  // Setting up and the complete labels, printer by printer.
  for (int i = 0; i < kFleetSize; ++i) {
    const FleetPrinter& p = kFleet[i];
    SCOPED_TRACE(testing::Message() << "printer " << p.number);
    HostJob& job = *jobs[i];
    ASSERT_EQ(1u, api().GetPrintData(p.number, &job.data));
    EXPECT_EQ(p.dotsPerMm * 10, job.data.wDotsPer10mm);
    EXPECT_EQ(p.number, job.data.bPrinterNo);
    ASSERT_EQ(0, api().InitPrinter(p.number, 0));
    LabelFormatParams params{};
    snprintf(params.szProduct, sizeof(params.szProduct), "Product %d", p.number);
    snprintf(params.szFormat, sizeof(params.szFormat), "Format %d", p.number);
    LONG size = sizeof(params);
    ASSERT_EQ(1, api().IoControl(p.number, 17, &params, &size));
    ASSERT_EQ(1u, api().IsPrintReady(p.number - 1, 0));
    HBITMAP bitmap = LabelBitmap(first[i]);
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(0, api().StartPrint(p.number, p.quantity, bitmap, &job.info));
    DeleteObject(bitmap);
  }
  poll_all_until_finished();
  std::vector<long long> firstBytes, firstLog;
  for (const FleetPrinter& p : kFleet) {
    firstBytes.push_back(sim_.number("received", p.number));
    firstLog.push_back(static_cast<long long>(sim_.log(0, p.number).size()));
  }

  // The next label of every printer: only its counter changed.
  for (int i = 0; i < kFleetSize; ++i) {
    const FleetPrinter& p = kFleet[i];
    HBITMAP bitmap = LabelBitmap(second[i]);
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(0, api().PrintOneLabel(p.number, p.quantity, bitmap, &jobs[i]->info)) << p.number;
    DeleteObject(bitmap);
  }
  poll_all_until_finished();
  for (const FleetPrinter& p : kFleet) {
    EXPECT_EQ("1", sim_.settings("dtr", p.number)) << "DTR raised after the job, " << p.number;
    EXPECT_EQ("1", sim_.settings("rts", p.number)) << "RTS raised after the job, " << p.number;
  }

  // Each slot keeps its last label's bitmap while its port is open; closing
  // the printers releases them, and nothing else the driver made is left.
  const CallLedger open = PeekRecording();
  EXPECT_EQ(static_cast<size_t>(kFleetSize), open.liveBitmaps.size())
      << "one kept bitmap per incremental slot";
  for (const FleetPrinter& p : kFleet)
    EXPECT_EQ(1u, api().ClosePrinter(p.number - 1));
  const CallLedger closed = StopRecording();
  ExpectNothingLeft(closed);
  const size_t handlesAfter = veldrin_test::CountOpenHandles();
  EXPECT_LE(handlesAfter, handlesBefore) << "ports and events closed";

  for (int i = 0; i < kFleetSize; ++i) {
    const FleetPrinter& p = kFleet[i];
    SCOPED_TRACE(testing::Message() << "printer " << p.number);
    for (int copy = 1; copy <= p.quantity; ++copy) {
      expect_printed(p, copy, first[i]);
      expect_printed(p, p.quantity + copy, second[i]);
    }
    EXPECT_EQ(2 * p.quantity, sim_.number("labels", p.number)) << "no label printed twice or lost";

    // What each printer decoded: its own conditions on both labels, a clear
    // before the first only, and far fewer bytes for the second.
    const std::vector<std::string> log = sim_.log(0, p.number);
    const std::string start = "start field=" + start_field(p.number);
    const std::string density = "density value=" + std::to_string(p.number) + " mode=1";
    int starts = 0, densities = 0, clearsLater = 0, imagesLater = 0;
    for (size_t n = 0; n < log.size(); ++n) {
      starts += log[n] == start;
      densities += log[n] == density;
      if (static_cast<long long>(n) >= firstLog[i]) {
        clearsLater += log[n] == "clear";
        imagesLater += log[n].rfind("image ", 0) == 0;
      }
      EXPECT_EQ(std::string::npos, log[n].find("skip")) << log[n];
    }
    EXPECT_EQ(2, starts) << "start position " << start_field(p.number);
    EXPECT_EQ(2, densities) << "density " << p.number;
    EXPECT_EQ(0, clearsLater) << "the second label is not cleared first";
    EXPECT_GE(imagesLater, 1) << "the changed counter is sent";
    const long long secondBytes = sim_.number("received", p.number) - firstBytes[i];
    EXPECT_LT(secondBytes * 4, firstBytes[i]) << "only the counter's rectangles";

    // The line as the driver set it from the INI file.
    EXPECT_EQ(std::to_string(p.baud), sim_.settings("baud", p.number));
    EXPECT_EQ(std::to_string(p.dataBits), sim_.settings("data", p.number));
    EXPECT_EQ(parity_name(p.parity), sim_.settings("parity", p.number));
    EXPECT_EQ(p.stopBits == 0 ? "1" : "2", sim_.settings("stop", p.number));
    EXPECT_EQ(p.rate, sim_.status("rate", p.number));
  }
}
