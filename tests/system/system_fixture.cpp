// The host side of the fault and bad-input programs.
#include "tests/system/system_fixture.h"

#include <cstdio>
#include <vector>

#include "support/png_image.h"
#include "support/test_files.h"

namespace veldrin_test {

void WarmUpProcess(TlxSim& sim, int com) {
  SCOPED_TRACE("warming up");
  Driver().GetPrintError(1, nullptr, 0); // "GetPrintError--0"
  TempDir dir("veldrin-warm");
  char value[8];
  GetPrivateProfileStringA("Warm", "Up", "", value, sizeof(value), dir.file("warm.ini").c_str());
  HFILE file = _lcreat(dir.file("label.prn").c_str(), 0);
  ASSERT_NE(HFILE_ERROR, file);
  HostJob job(261, kLabelWidth, kLabelLength);
  job.info.bToFile = 1;
  job.info.hFile = file;
  HBITMAP bitmap = LabelBitmap(MakeTestLabel(240, 120, 1, 1));
  EXPECT_EQ(0, Driver().PrintOneLabel(1, 1, bitmap, &job.info));
  DeleteObject(bitmap);
  _lclose(file);
  const std::string snapshot = dir.file("snapshot.png");
  ASSERT_TRUE(sim.ok("snapshot " + unix_path(snapshot), com));
  Pixels pixels;
  std::string error;
  ASSERT_TRUE(read_png(snapshot, &pixels, &error)) << error;
}

TlxSim* SystemTest::sim_ = nullptr;
std::vector<int> SystemTest::coms_;

void SystemTest::StartSimulator(const std::vector<SimPrinter>& more) {
  sim_ = new TlxSim;
  std::vector<SimPrinter> printers;
  for (const SystemPrinter& p : kPrinters)
    printers.push_back({.com = p.com,
                        .model = p.dotsPerMm,
                        .head_mm = p.maxWidthMm,
                        .baud = "fast",
                        .pace_ms = 5,
                        .options = "capture=on"});
  printers.insert(printers.end(), more.begin(), more.end());
  coms_.clear();
  for (const SimPrinter& p : printers)
    coms_.push_back(p.com);
  std::string error;
  ASSERT_TRUE(sim_->start(printers, &error)) << error;
}

void SystemTest::TearDownTestSuite() {
  delete sim_;
  sim_ = nullptr;
}

void SystemTest::SetUp() {
  ASSERT_TRUE(host_.ready());
  ASSERT_TRUE(sim_->running());
  ASSERT_TRUE(host_.write_ini(ini_text()));
  for (int com : coms_) {
    sim_->command("dsr on", com);
    sim_->command("error off", com);
    sim_->command("silent off", com);
    sim_->command("pace 5", com);
    ASSERT_TRUE(sim_->ok("reopen", com));
    reset_printer(com);
  }
  for (const SystemPrinter& p : kPrinters)
    ASSERT_EQ(0, api().InitPrinter(p.number, 0));
  host_.clear_debug();
}

void SystemTest::TearDown() {
  for (const SystemPrinter& p : kPrinters)
    api().ClosePrinter(p.slot());
}

std::string SystemTest::ini_text(const std::string& more) {
  std::string text = "[VELDRIN Info]\r\n" + more;
  for (const SystemPrinter& p : kPrinters)
    text += HostEnvironment::printer_keys(static_cast<int>(p.number), p.com, 57600, p.maxWidthMm);
  return text;
}

bool SystemTest::port_held(int com) {
  return !ComPortIsFree(com);
}

TestLabel SystemTest::label_for(const SystemPrinter& p, int counter) {
  return MakeTestLabel(kLabelWidth * p.dotsPerMm / 10, kLabelLength * p.dotsPerMm / 10,
                       p.number * 7, counter);
}

LONG SystemTest::poll_until_answer(DWORD printer, LONG* remaining, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  LONG result = 2;
  while (result == 2 && GetTickCount() - start < timeoutMs)
    result = api().IsPrintFinished(printer, remaining, 0, 0);
  return result;
}

bool SystemTest::finish(DWORD printer) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 10000) {
    LONG remaining = -7;
    const LONG result = api().IsPrintFinished(printer, &remaining, 0, 0);
    if (result == 1)
      return true;
    if (result == -1)
      return false;
  }
  return false;
}

SHORT SystemTest::print(const SystemPrinter& p, const TestLabel& label, HostJob& job, bool start) {
  HBITMAP bitmap = LabelBitmap(label);
  if (bitmap == nullptr)
    return -2;
  const SHORT result = start ? api().StartPrint(p.number, 1, bitmap, &job.info)
                             : api().PrintOneLabel(p.number, 1, bitmap, &job.info);
  DeleteObject(bitmap);
  return result;
}

void SystemTest::expect_printed(const SystemPrinter& p, int number, const TestLabel& label) {
  expect_printed_at(p.com, number, label,
                    CentringOffsetDots(p.maxWidthMm, kLabelWidth, p.dotsPerMm));
}

void SystemTest::expect_printed_at(int com, int number, const TestLabel& label, int offset) {
  std::string why;
  EXPECT_TRUE(PrintedAsLabel(*sim_, com, number, label, offset, &why)) << why;
}

std::string SystemTest::error_text(DWORD printer, DWORD* code) {
  char buf[256];
  memset(buf, 'x', sizeof(buf));
  buf[sizeof(buf) - 1] = '\0';
  *code = api().GetPrintError(printer, buf, sizeof(buf));
  return buf;
}

std::string SystemTest::captured(int com) {
  std::string bytes;
  read_file(sim_->out_dir(com) + "\\received.bin", &bytes);
  return bytes;
}

void SystemTest::reset_printer(int com) {
  wait_until([&] { return sim_->number("pending", com) == 0; }, 10000);
  sim_->command("reset", com);
}

} // namespace veldrin_test
