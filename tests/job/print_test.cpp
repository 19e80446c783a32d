// The print job end to end: labels printed through the real DLL reach the
// simulated printer, and the printed PNG equals the label placed at the
// centring offset, dot for dot, for both models, complete and incremental;
// the exact stream of file mode; what an unchanged label costs on the line;
// and every failure with its code, its debug lines, nothing left behind, and
// the next label printing correctly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/gdi_hooks.h"
#include "support/host_environment.h"
#include "support/host_job.h"
#include "support/png_image.h"
#include "support/process_counts.h"
#include "support/tlxsim_client.h"
#include "tests/driver/driver_dll.h"
#include "support/label_maker.h"

namespace {
constexpr int kCom12 = 14;      // the 12 dot/mm printer
constexpr int kCom8 = 15;       // the 8 dot/mm printer
constexpr DWORD kPrinter12 = 3; // printer numbers the host uses for them
constexpr DWORD kPrinter8 = 4;
constexpr int kMaxWidth12 = 56; // mm, from the INI file
constexpr int kMaxWidth8 = 112;

using veldrin_test::HostJob;

const std::string kCondition12 = "\x1BM000\r\x1BK012\r\x1B"
                                 "A51\r";
const std::string kPrintOne = "\x1BP0001\r\x1BR\r";

class PrintJob : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    sim_ = new veldrin_test::TlxSim;
    std::string error;
    ASSERT_TRUE(sim_->start(
        std::vector<veldrin_test::SimPrinter>{
            {.com = kCom12, .model = 12, .pace_ms = 5, .options = "capture=on"},
            {.com = kCom8, .model = 8, .pace_ms = 5, .options = "capture=on"}},
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
    host_.write_ini(
        "[VELDRIN Info]\r\n" +
        veldrin_test::HostEnvironment::printer_keys(kPrinter12, kCom12, 57600, kMaxWidth12) +
        veldrin_test::HostEnvironment::printer_keys(kPrinter8, kCom8, 57600, kMaxWidth8));
    for (int com : {kCom12, kCom8}) {
      sim_->command("dsr on", com);
      sim_->command("error off", com);
      sim_->command("reopen", com);
      sim_->command("reset", com);
    }
    ASSERT_EQ(0, api().InitPrinter(kPrinter12, 0));
    ASSERT_EQ(0, api().InitPrinter(kPrinter8, 0));
    host_.clear_debug();
  }
  void TearDown() override {
    api().ClosePrinter(kPrinter12 - 1);
    api().ClosePrinter(kPrinter8 - 1);
  }

  static const DriverApi& api() { return Driver(); }
  static int com_of(DWORD printer) { return printer == kPrinter12 ? kCom12 : kCom8; }

  std::string captured(int com) {
    std::string bytes;
    veldrin_test::read_file(sim_->out_dir(com) + "\\received.bin", &bytes);
    return bytes;
  }

  // Follows the job until the printer reports it done.
  void finish(DWORD printer) {
    LONG remaining = -1;
    LONG result = 2;
    for (int i = 0; i < 200 && result != 1; ++i) {
      result = api().IsPrintFinished(printer, &remaining, 0, 0);
      ASSERT_NE(-1, result) << "the job failed";
    }
    ASSERT_EQ(1, result);
  }

  // Prints one label (StartPrint or PrintOneLabel) and follows it to the end.
  void print(DWORD printer, const TestLabel& label, HostJob& job, bool start, int bpp = 24) {
    HBITMAP bitmap = LabelBitmap(label, bpp);
    ASSERT_NE(nullptr, bitmap);
    const SHORT result = start ? api().StartPrint(printer, 1, bitmap, &job.info)
                               : api().PrintOneLabel(printer, 1, bitmap, &job.info);
    DeleteObject(bitmap);
    ASSERT_EQ(0, result);
    finish(printer);
  }

  // The printed label `number` holds the label at (offset, 0) and nothing else.
  void expect_printed(DWORD printer, int number, const TestLabel& label, int offset) {
    std::string why;
    EXPECT_TRUE(PrintedAsLabel(*sim_, com_of(printer), number, label, offset, &why)) << why;
  }

  veldrin_test::HostEnvironment host_;
  static veldrin_test::TlxSim* sim_;
};
veldrin_test::TlxSim* PrintJob::sim_ = nullptr;

int offset_of(int maxWidthMm, int widthTenthMm, int dotsPerMm) {
  return veldrin_test::CentringOffsetDots(maxWidthMm, widthTenthMm, dotsPerMm);
}
} // namespace

TEST_F(PrintJob, CompleteLabelsPrintDotForDot) {
  struct Case {
    DWORD printer;
    WORD widthTenthMm, lengthTenthMm;
    int bpp; // depth of the host's bitmap
  } cases[] = {
      {kPrinter12, 400, 300, 24}, // 480 dots: a multiple of 16
      {kPrinter12, 500, 150, 32}, // 600 dots: a multiple of 8, not of 16
      {kPrinter12, 415, 200, 8},  // 498 dots: not a multiple of 8
      {kPrinter8, 400, 250, 24},  // 320 dots
      {kPrinter8, 413, 250, 1},   // 330 dots
  };
  int printed[2] = {0, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "printer " << c.printer << " width " << c.widthTenthMm);
    const bool twelve = c.printer == kPrinter12;
    const int dpm = twelve ? 12 : 8;
    HostJob job(twelve ? 261 : 264, c.widthTenthMm, c.lengthTenthMm);
    const TestLabel label =
        MakeTestLabel(c.widthTenthMm * dpm / 10, c.lengthTenthMm * dpm / 10, c.widthTenthMm, 7);
    print(c.printer, label, job, true, c.bpp);
    expect_printed(c.printer, ++printed[twelve ? 0 : 1], label,
                   offset_of(twelve ? kMaxWidth12 : kMaxWidth8, c.widthTenthMm, dpm));
  }
}

TEST_F(PrintJob, IncrementalLabelsSendOnlyWhatChanged) {
  for (DWORD printer : {kPrinter12, kPrinter8}) {
    SCOPED_TRACE(printer);
    const bool twelve = printer == kPrinter12;
    const int dpm = twelve ? 12 : 8;
    const int com = com_of(printer);
    HostJob job(twelve ? 261 : 264, 500, 300);
    job.info.bIncremental = 1;
    job.add_extra("EXTRA-1");
    const int offset = offset_of(twelve ? kMaxWidth12 : kMaxWidth8, 500, dpm);
    const TestLabel first = MakeTestLabel(500 * dpm / 10, 300 * dpm / 10, 42, 1);

    // The first label after KtPrStartPrint goes complete.
    print(printer, first, job, true);
    expect_printed(printer, 1, first, offset);
    EXPECT_EQ(0u, captured(com).find("\x1BZ1\r\x1BS\r\x1BZ1\r")) << "stop, then clear";

    // The same label again: only the conditions, the extra record and the print.
    ASSERT_TRUE(sim_->ok("reset", com));
    print(printer, first, job, false);
    const std::string condition = twelve ? kCondition12
                                         : std::string("\x1BM0300\r\x1BK012\r\x1B"
                                                       "A51\r");
    EXPECT_EQ(condition + "EXTRA-1" + kPrintOne, captured(com));
    expect_printed(printer, 1, first, offset);

    // A changed counter: its region only, and the label prints whole.
    ASSERT_TRUE(sim_->ok("reset", com));
    const TestLabel second = MakeTestLabel(500 * dpm / 10, 300 * dpm / 10, 42, 2);
    print(printer, second, job, false);
    const std::string stream = captured(com);
    EXPECT_EQ(0u, stream.find(condition + "\x1B"
                                          "B"))
        << "conditions, then an image area";
    EXPECT_EQ(std::string::npos, stream.find("\x1BZ1\r")) << "no clear";
    EXPECT_LT(stream.size(), 2000u) << "far less than the whole label";
    expect_printed(printer, 1, second, offset);

    // After a new start the label goes complete again, even unchanged.
    ASSERT_TRUE(sim_->ok("reset", com));
    print(printer, second, job, true);
    EXPECT_NE(std::string::npos, captured(com).find("\x1BZ1\r\x1BM")) << "a clear before it";
    expect_printed(printer, 1, second, offset);
    EXPECT_EQ("1", sim_->status("dtr", com));
    EXPECT_EQ("1", sim_->status("rts", com));
  }
}

TEST_F(PrintJob, FileModeWritesTheCompleteLabelsStreamOnly) {
  // 24 dots by 2 rows: the first byte of row 0 black, the second byte of row 1.
  TestLabel label;
  label.width = 24;
  label.height = 2;
  label.black.assign(48, 0);
  for (int x = 0; x < 8; ++x) {
    label.black[x] = 1;
    label.black[24 + 8 + x] = 1;
  }
  veldrin_test::TempDir dir("veldrin-file");
  const std::string path = dir.file("label.prn");
  HFILE file = _lcreat(path.c_str(), 0);
  ASSERT_NE(HFILE_ERROR, file);
  HostJob job(261, 20, 10); // 2.0 mm wide: 3 bytes per row
  job.info.bToFile = 1;
  job.info.hFile = file;
  job.info.bIncremental = 1;
  job.add_extra("NOT-IN-FILE");
  HBITMAP bitmap = LabelBitmap(label);
  EXPECT_EQ(0, api().PrintOneLabel(kPrinter12, 1, bitmap, &job.info));
  _lclose(file);
  DeleteObject(bitmap);

  std::string stream;
  ASSERT_TRUE(veldrin_test::read_file(path, &stream));
  // Offset ((560 - 20) x 12 + 19) / 20 = 324; 3 bytes = 6 characters per row.
  EXPECT_EQ("\x1BZ1\r" + kCondition12 +
                "\x1B"
                "B0324"
                "0000"
                "0006"
                "0002"
                "??0000"
                "00??00\r",
            stream);
  EXPECT_EQ(0, sim_->number("received", kCom12)) << "no port is used";
  EXPECT_TRUE(veldrin_test::ComPortIsFree(kCom12)) << "the port was never opened";
}

TEST_F(PrintJob, FailuresReportTheirCodesAndTheNextLabelPrints) {
  const TestLabel label = MakeTestLabel(480, 120, 9, 3);
  const int offset = offset_of(kMaxWidth12, 400, 12);
  struct Case {
    const char* name;
    DWORD code;
  } cases[] = {
      {"null bitmap", 60804},       {"file mode without a file", 60804},
      {"negative quantity", 60805}, {"line cut mid-label", 60809},
      {"port missing", 60800},
  };
  int printed = 0;
  ASSERT_TRUE(InstallHooksIn(Driver().hModule));
  // Wine makes the objects behind OutputDebugStringA on its first call; let
  // that happen before handles are counted.
  OutputDebugStringA("");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostJob job(261, 400, 100);
    HBITMAP bitmap = LabelBitmap(label);
    // Counted with the port closed, so that the driver holds no handle at
    // either count: after the error fetch it must hold none again.
    api().ClosePrinter(kPrinter12 - 1);
    const size_t handlesBefore = veldrin_test::CountOpenHandles();
    host_.clear_debug();
    StartRecording();
    SHORT result = 0;
    const std::string name = c.name;
    if (name == "null bitmap") {
      result = api().PrintOneLabel(kPrinter12, 1, nullptr, &job.info);
    } else if (name == "file mode without a file") {
      job.info.bToFile = 1;
      result = api().PrintOneLabel(kPrinter12, 1, bitmap, &job.info);
    } else if (name == "negative quantity") {
      result = api().PrintOneLabel(kPrinter12, -1, bitmap, &job.info);
    } else if (name == "line cut mid-label") {
      ASSERT_TRUE(sim_->ok("close after 500", kCom12));
      result = api().StartPrint(kPrinter12, 1, bitmap, &job.info);
    } else {
      // The port the slot had open stays in use until it is closed.
      api().ClosePrinter(kPrinter12 - 1);
      host_.write_ini("[VELDRIN Info]\r\n" +
                      veldrin_test::HostEnvironment::printer_keys(kPrinter12, 40, 9600, 56));
      api().InitPrinter(kPrinter12, 0);
      result = api().PrintOneLabel(kPrinter12, 1, bitmap, &job.info);
    }
    const CallLedger ledger = StopRecording();
    EXPECT_EQ(-1, result);
    const std::vector<std::string> failLines = {"GlobalUnlock(hBuf)", "GlobalFree(hBuf)",
                                                "PrintOneLabel--Return NG"};
    std::vector<std::string> lines = host_.debug_lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(failLines, std::vector<std::string>(lines.end() - 3, lines.end()));
    char message[256] = "";
    EXPECT_EQ(c.code, api().GetPrintError(kPrinter12, message, sizeof(message)));
    EXPECT_TRUE(ledger.liveBitmaps.empty()) << "no bitmap left behind";
    EXPECT_TRUE(ledger.liveMemoryDcs.empty());
    EXPECT_TRUE(ledger.liveBlocks.empty()) << "no global block left behind";
    DeleteObject(bitmap);
    EXPECT_LE(veldrin_test::CountOpenHandles(), handlesBefore) << "no handle left behind";

    // Recovery: the line back, the settings reloaded, a fresh start.
    ASSERT_TRUE(sim_->ok("reopen", kCom12));
    host_.write_ini("[VELDRIN Info]\r\n" + veldrin_test::HostEnvironment::printer_keys(
                                               kPrinter12, kCom12, 57600, kMaxWidth12));
    ASSERT_EQ(0, api().InitPrinter(kPrinter12, 0));
    ASSERT_EQ(1u, api().IsPrintReady(kPrinter12 - 1, 0));
    HostJob good(261, 400, 100);
    print(kPrinter12, label, good, true);
    expect_printed(kPrinter12, ++printed, label, offset);
  }
}

TEST_F(PrintJob, DsrOffStopsTheHostBeforeTheLabel) {
  ASSERT_TRUE(sim_->ok("dsr off", kCom12));
  EXPECT_EQ(0u, api().IsPrintReady(kPrinter12 - 1, 0));
  char message[256] = "";
  EXPECT_EQ(60806u, api().GetPrintError(kPrinter12, message, sizeof(message)));
  EXPECT_STREQ("The state of the printer cannot be printed.", message);
  ASSERT_TRUE(sim_->ok("dsr on", kCom12));
  ASSERT_EQ(1u, api().IsPrintReady(kPrinter12 - 1, 0));
  HostJob job(261, 400, 100);
  const TestLabel label = MakeTestLabel(480, 120, 5, 5);
  print(kPrinter12, label, job, true);
  expect_printed(kPrinter12, 1, label, offset_of(kMaxWidth12, 400, 12));
}

TEST_F(PrintJob, APrinterErrorReplyEndsTheJobWithItsCode) {
  ASSERT_TRUE(sim_->ok("error F", kCom12));
  HostJob job(261, 400, 100);
  const TestLabel label = MakeTestLabel(480, 120, 5, 5);
  HBITMAP bitmap = LabelBitmap(label);
  ASSERT_EQ(0, api().StartPrint(kPrinter12, 1, bitmap, &job.info));
  DeleteObject(bitmap);
  LONG remaining = -1, result = 2;
  for (int i = 0; i < 100 && result == 2; ++i)
    result = api().IsPrintFinished(kPrinter12, &remaining, 0, 0);
  EXPECT_EQ(-1, result);
  char message[256] = "";
  EXPECT_EQ(60811u, api().GetPrintError(kPrinter12, message, sizeof(message)));
  EXPECT_STREQ("The ribbon was used completely. Please give changing to me.", message);
}

TEST_F(PrintJob, ASilentPrinterTimesOut) {
  host_.write_ini("[VELDRIN Info]\r\nReplyTimeout=1500\r\n" +
                  veldrin_test::HostEnvironment::printer_keys(kPrinter12, kCom12, 57600, 56));
  ASSERT_EQ(0, api().InitPrinter(kPrinter12, 0));
  ASSERT_TRUE(sim_->ok("silent on", kCom12));
  HostJob job(261, 400, 100);
  const TestLabel label = MakeTestLabel(480, 120, 5, 5);
  HBITMAP bitmap = LabelBitmap(label);
  ASSERT_EQ(0, api().StartPrint(kPrinter12, 1, bitmap, &job.info));
  DeleteObject(bitmap);
  const DWORD start = GetTickCount();
  LONG remaining = -1, result = 2;
  while (result == 2 && GetTickCount() - start < 20000)
    result = api().IsPrintFinished(kPrinter12, &remaining, 0, 0);
  EXPECT_EQ(-1, result);
  EXPECT_GE(GetTickCount() - start + 50, 1500u) << "not before the time-out";
  char message[256] = "";
  EXPECT_EQ(60816u, api().GetPrintError(kPrinter12, message, sizeof(message)));
  sim_->command("silent off", kCom12);
}
