// The host's side of the Wine tests.
#include "tests/wine/fixture.h"

#include <algorithm>
#include <cstdlib>

namespace veldrin_test {
// clang-format off
const std::map<UINT, std::string> kMessages = {
    {39999, "VELDRIN"}, {60002, "Error or alert message"},
    {60001, "TLX-Pro series(12dot, COM Type)"}, {60003, "TLX-Pro series(8dot,COM Type)"},
    {60601, "Parameter \"%s\" is out of range.Please input the numerical value from %d to %d."},
    {60602, "Print density"}, {60603, "COM port number"}, {60604, "Print start position"},
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
    {60810, "The error of the set occurred."}, {60812, "The error of parity occurred."},
    {60811, "The ribbon was used completely. Please give changing to me."},
    {60813, "Fleming's error occurred."}, {60814, "The error of overrunning occurred."},
    {60815, "An uncertain command was received. "},
    {60816, "The residual number of sheets data was not able to be received, and the print duty "
            "became a time-out."},
    {60817, "The print duty discontinued it because it had received abnormal residual number of "
            "sheets data \"9999\". "},
};
// clang-format on

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

// A crash ends the program at once with the exception code as its exit
// status, reported, rather than in Wine's debugger.
LONG WINAPI report_crash(EXCEPTION_POINTERS* e) {
  fprintf(stderr, "crash: exception %08lx at %p\n", e->ExceptionRecord->ExceptionCode,
          e->ExceptionRecord->ExceptionAddress);
  ExitProcess(e->ExceptionRecord->ExceptionCode);
}

// The file the release archive ships: release\VELDRIN.dll beside bin\.
std::string released_driver() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  strcpy(strrchr(path, '\\'), "\\..\\release\\VELDRIN.dll");
  return path;
}

// The simulator, started once for the whole program, and the driver.
struct Printers : ::testing::Environment {
  void SetUp() override {
    SetUnhandledExceptionFilter(report_crash);
    g_sim = new TlxSim;
    std::vector<SimPrinter> printers;
    for (const Printer& p : kPrinters)
      printers.push_back({.com = p.com(), .model = p.dots, .head_mm = p.headMm, .options = ""});
    std::string error;
    ASSERT_TRUE(g_sim->start(printers, &error)) << error;
    // Loaded once: under Wine 8 a second load of the driver, after serial
    // waits have run, can hang in the loader (its thread list loops).
    ASSERT_TRUE(LoadDriver(released_driver().c_str(), &g_api));
    ASSERT_TRUE(HookImports(g_api.hModule));
  }
  void TearDown() override { delete g_sim; }
};
const auto* const g_printers = ::testing::AddGlobalTestEnvironment(new Printers);
} // namespace

void Wine::SetUp() {
  ASSERT_TRUE(g_sim != nullptr && g_sim->running());
  ASSERT_TRUE(host_.write_ini(ini_text()));
  for (const Printer& p : kPrinters) {
    reset(p);
    ASSERT_EQ(0, api().InitPrinter(p.number, 0));
    // No label format: no print position kept from an earlier test. The
    // rows about request 17 send it to one printer only after this.
    LabelFormatParams none{};
    api().IoControl(p.number, 17, &none, nullptr);
  }
  host_.clear_debug();
  restore();
  StartCalls();
}

void FailWrite(const std::string& prefix) {
  Replace<kWriteFile>([prefix](HANDLE h, LPCVOID d, DWORD c, LPDWORD w, LPOVERLAPPED o) {
    if (Printable(std::string(static_cast<const char*>(d), c)).rfind(prefix, 0) != 0)
      return Real<kWriteFile>()(h, d, c, w, o);
    return SetLastError(ERROR_WRITE_FAULT), FALSE;
  });
}

int RunLabelhost(const std::string& args, std::string* output, int holdCom) {
  const std::string port = "\\\\.\\COM" + std::to_string(holdCom);
  HANDLE held = holdCom ? CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr)
                        : INVALID_HANDLE_VALUE;
  *output = "\n";
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  strcpy(strrchr(exe, '\\'), "\\..\\release\\bringup\\labelhost.exe");
  std::string command = "\"" + std::string(exe) + "\" " + args;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  // Room for all its output, so that it never waits for this program to read.
  if (!CreatePipe(&read, &write, &inherit, 1 << 20))
    return 99;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  CloseHandle(write);
  DWORD status = 99;
  // A labelhost that hangs fails its row in 45 s (a check takes a few), in 5 s once one has failed.
  const DWORD limit = ::testing::Test::HasFailure() ? 5000 : 45000;
  if (started && WaitForSingleObject(pi.hProcess, limit) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 98);
    WaitForSingleObject(pi.hProcess, 10000);
  }
  char buf[4096];
  for (DWORD n; started && ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0;)
    output->append(buf, n);
  CloseHandle(read);
  if (held != INVALID_HANDLE_VALUE)
    CloseHandle(held);
  if (!started)
    return 99;
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}

std::string LinesOf(const std::string& text, const std::string& key, const char* stop) {
  std::string found;
  for (size_t at = 0; (at = text.find("\n" + key, at)) != std::string::npos; ++at) {
    const size_t from = at + 1 + key.size();
    found +=
        (found.empty() ? "" : " | ") + text.substr(from, text.find_first_of(stop, from) - from);
  }
  return found;
}
void Wine::restore() {
  RestoreCalls();
  Replace<kSleep>([](DWORD ms) {
    if (ms < 3500)
      Real<kSleep>()(ms);
  });
}

void Wine::TearDown() {
  // A cancelled operation may still write into its OVERLAPPED record and
  // buffer: the driver's next call on that handle must wait for it to end.
  const std::vector<Call> calls = Calls();
  for (auto c = calls.begin(); c != calls.end(); ++c)
    if (c->fn == kCancelIo) {
      const auto next = std::find_if(c + 1, calls.end(), [&](const Call& n) {
        return n.fn == kGetOverlappedResult && n.arg[0] == c->arg[0];
      });
      EXPECT_TRUE(next != calls.end() && next->arg[3] == TRUE) << "no wait after a cancel";
    }
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

// Once a test has failed, its waits are cut to half a second: a broken driver
// fails the rest of its rows quickly, and the program goes on.
DWORD Wine::bounded(DWORD ms) {
  return HasFailure() && ms > 500 ? 500 : ms;
}

LONG Wine::poll(const Printer& p, LONG* remaining, DWORD timeoutMs) {
  LONG result = 2;
  timeoutMs = bounded(timeoutMs);
  for (const DWORD start = GetTickCount(); result == 2 && GetTickCount() - start < timeoutMs;)
    result = api().IsPrintFinished(p.number, remaining, 0, 0);
  return result;
}

std::string Wine::printed(const Printer& p, int n, const Picture& label) {
  return PrintedDifference(sim(), p.com(), n, label, p.offset20, bounded(10000));
}

std::string Wine::received(const Printer& p) {
  return Printable(sim().captured(p.com()));
}

void Wine::reset(const Printer& p) {
  for (const char* healthy : {"dsr on", "cts on", "loopback off", "error off", "silent off",
                              "line off", "pace 5", "rate fast"})
    EXPECT_TRUE(sim().ok(healthy, p.com()));
  WaitUntil([&] { return sim().number("pending", p.com()) == 0; }, bounded(10000));
  sim().command("reset", p.com());
}

} // namespace veldrin_test
