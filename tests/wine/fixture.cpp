// The host's side of the Wine tests.
#include "tests/wine/fixture.h"

#include <cstdlib>

namespace veldrin_test {
const std::map<UINT, std::string> kMessages = {
    {39999, "VELDRIN"},
    {60001, "TLX-Pro series(12dot, COM Type)"},
    {60002, "Error or alert message"},
    {60003, "TLX-Pro series(8dot,COM Type)"},
    {60601, "Parameter \"%s\" is out of range.Please input the numerical value from %d to %d."},
    {60602, "Print density"},
    {60603, "COM port number"},
    {60604, "Print start position"},
    {60800, "The RS-232 communication error occurred."},
    {60801, "The processing that the printer initialized failed."},
    {60802, "The discontinuance operation of the printer failed"},
    {60803, "The error of the memory of the personal computer occurred while printing."},
    {60804, "The specified bit map image data cannot be transmitted."},
    {60805, "The error occurred while printing."},
    {60806, "The state of the printer cannot be printed."},
    {60807, "Because the format is not opened, it doesn't put it in the printer setting."},
    {60808, "The preservation of the position where the commodity was begun the print failed. "
            "Please confirm the file of the data base at the \r\n print beginning position."},
    {60809, "The error occurred when the command or data was transmitted to the printer."},
    {60810, "The error of the set occurred."},
    {60811, "The ribbon was used completely. Please give changing to me."},
    {60812, "The error of parity occurred."},
    {60813, "Fleming's error occurred."},
    {60814, "The error of overrunning occurred."},
    {60815, "An uncertain command was received. "},
    {60816, "The residual number of sheets data was not able to be received, and the print duty "
            "became a time-out."},
    {60817, "The print duty discontinued it because it had received abnormal residual number of "
            "sheets data \"9999\". "},
};

std::string Printable(std::string bytes) {
  for (char& c : bytes)
    c = c == '\x1B' ? '^' : c == '\r' ? '|' : c;
  return bytes;
}

std::string Hex(const void* bytes, size_t n) {
  std::string s;
  char two[3];
  for (size_t i = 0; i < n; ++i)
    s += (snprintf(two, 3, "%02X", static_cast<const BYTE*>(bytes)[i]), two);
  return s;
}

namespace {
DriverApi g_api;
TlxSim* g_sim = nullptr;
} // namespace

// A crash ends the program at once with the exception code as its exit
// status, reported, rather than in Wine's debugger.
LONG WINAPI report_crash(EXCEPTION_POINTERS* e) {
  fprintf(stderr, "crash: exception %08lx at %p\n", e->ExceptionRecord->ExceptionCode,
          e->ExceptionRecord->ExceptionAddress);
  ExitProcess(e->ExceptionRecord->ExceptionCode);
}

void Wine::SetUpTestSuite() {
  SetUnhandledExceptionFilter(report_crash);
  if (g_api.hModule == nullptr) {
    if (!LoadDriver(nullptr, &g_api) || !HookImports(g_api.hModule))
      abort();
  }
  g_sim = new TlxSim;
  std::vector<SimPrinter> printers;
  for (const Printer& p : kPrinters)
    printers.push_back({.com = p.com(), .model = p.dots, .head_mm = p.headMm, .options = ""});
  std::string error;
  ASSERT_TRUE(g_sim->start(printers, &error)) << error;
}

void Wine::TearDownTestSuite() {
  delete g_sim;
  g_sim = nullptr;
}

void Wine::SetUp() {
  ASSERT_TRUE(g_sim->running());
  ASSERT_TRUE(host_.write_ini(ini_text()));
  for (const Printer& p : kPrinters) {
    reset(p);
    ASSERT_EQ(0, api().InitPrinter(p.number, 0));
    // No label format: no stored print position from an earlier test.
    LabelFormatParams none{};
    api().IoControl(p.number, 17, &none, nullptr);
  }
  host_.clear_debug();
  restore();
  StartCalls();
}

void Fail(const std::string& what, const char* arg) {
  auto write = [arg](HANDLE h, LPCVOID d, DWORD c, LPDWORD w, LPOVERLAPPED o) {
    if (strncmp(static_cast<const char*>(d), arg, strlen(arg)) != 0)
      return Real<kWriteFile>()(h, d, c, w, o);
    return SetLastError(ERROR_WRITE_FAULT), FALSE;
  };
  const int nth = atoi(arg);
  if (what == "CreateCompatibleDC")
    Replace<kCreateCompatibleDC>([](HDC) { return HDC(); });
  if (what == "GlobalAlloc")
    Replace<kGlobalAlloc>([nth, n = 0](UINT f, SIZE_T s) mutable {
      return ++n == nth ? HGLOBAL() : Real<kGlobalAlloc>()(f, s);
    });
  if (what == "GetDIBits")
    Replace<kGetDIBits>([](HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT) { return 0; });
  if (what == "CreateBitmap")
    Replace<kCreateBitmap>([](int, int, UINT, UINT, const void*) { return HBITMAP(); });
  if (what == "SelectObject")
    Replace<kSelectObject>([](HDC, HGDIOBJ) { return HGDIOBJ(); });
  if (what == "GetBitmapBits")
    Replace<kGetBitmapBits>(
        [](HBITMAP b, LONG n, LPVOID bits) { return Real<kGetBitmapBits>()(b, n - 1, bits); });
  if (what == "EscapeCommFunction")
    Replace<kEscapeCommFunction>([nth](HANDLE h, DWORD f) {
      return f == DWORD(nth) ? FALSE : Real<kEscapeCommFunction>()(h, f);
    });
  if (what == "WriteFile")
    Replace<kWriteFile>(write);
  if (what == "GetCommState")
    Replace<kGetCommState>([](HANDLE, LPDCB) { return FALSE; });
  if (what == "SetCommState")
    Replace<kSetCommState>([](HANDLE, LPDCB) { return FALSE; });
  if (what == "SetCommTimeouts")
    Replace<kSetCommTimeouts>([](HANDLE, LPCOMMTIMEOUTS) { return FALSE; });
  if (what == "SetupComm")
    Replace<kSetupComm>([](HANDLE, DWORD, DWORD) { return FALSE; });
}

void Wine::restore() {
  RestoreCalls();
  Replace<kSleep>([](DWORD ms) {
    if (ms < 3500)
      Real<kSleep>()(ms);
  });
}

void Wine::TearDown() {
  StopCalls();
  RestoreCalls();
  for (const Printer& p : kPrinters)
    api().ClosePrinter(p.slot());
}

const DriverApi& Wine::api() {
  return g_api;
}

TlxSim& Wine::sim() {
  return *g_sim;
}

std::string Wine::ini_text(const std::string& more) {
  std::string text = "[VELDRIN Info]\r\n";
  for (const Printer& p : kPrinters)
    text += PrinterKeys(p.number, p.com(), 57600, p.headMm);
  return text + more;
}

Picture Wine::label(const Printer& p, int counter) {
  return MakeLabel(20 * p.dots, 10 * p.dots, p.number * 7, counter);
}

SHORT Wine::print(const Printer& p, const Picture& label, HostJob& job, bool start, int bpp) {
  HBITMAP bitmap = LabelBitmap(label, bpp);
  const SHORT result = start ? api().StartPrint(p.number, 1, bitmap, &job.info)
                             : api().PrintOneLabel(p.number, 1, bitmap, &job.info);
  DeleteObject(bitmap);
  return result;
}

LONG Wine::poll(const Printer& p, LONG* remaining, DWORD timeoutMs) {
  LONG result = 2;
  for (const DWORD start = GetTickCount(); result == 2 && GetTickCount() - start < timeoutMs;)
    result = api().IsPrintFinished(p.number, remaining, 0, 0);
  return result;
}

std::string Wine::printed(const Printer& p, int n, const Picture& label) {
  return PrintedDifference(sim(), p.com(), n, label, p.offset20);
}

void Wine::reset(const Printer& p) {
  for (const char* healthy :
       {"dsr on", "error off", "silent off", "line off", "pace 5", "rate fast"})
    EXPECT_TRUE(sim().ok(healthy, p.com()));
  WaitUntil([&] { return sim().number("pending", p.com()) == 0; }, 10000);
  sim().command("reset", p.com());
}

} // namespace veldrin_test
