// What a run of labels costs: 20 labels of 50 x 30 mm at 12 dots/mm with a
// counter that changes from label to label, printed through the real
// VELDRIN.dll to a simulated printer whose line drains at the baud rate the
// driver set (9600 and 57600), complete and incremental. Per label: bytes on
// the line, wall time of the print call (the 3.5 s pause before each
// comparison left out), the time the line itself needs for those bytes
// (bytes x 10 / baud), and the CPU time the driver used on the host's thread.
//
// Needs the simulator of the native build (./veldrin build); run by bench/run.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "labelhost/driver_api.h"
#include "labelhost/label_image.h"
#include "support/host.h"
#include "tlxsim/client/tlxsim_client.h"

namespace {
constexpr int kCom = 16;
constexpr DWORD kPrinter = 1;
constexpr int kLabels = 20;
constexpr double kComparePauseMs = 3500.0;

double thread_cpu_ms() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// Polls until the printer reports the label printed; false on an error.
bool follow_to_end(const DriverApi& api) {
  LONG remaining = -1;
  for (int i = 0; i < 400; ++i) {
    const LONG result = api.IsPrintFinished(kPrinter, &remaining, 0, 0);
    if (result != 0 && result != 2)
      return result == 1;
  }
  return false;
}

double now_ms() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

struct RunFigures {
  double bytes = 0; // sums over the labels counted
  double wallMs = 0;
  double lineMs = 0;
  double cpuMs = 0;
  int labels = 0;
};

// Prints the run; figures of labels 2..20 (the first is always complete).
bool run(const DriverApi& api, tlxsim::TlxSim& sim, int baud, bool incremental,
         RunFigures* following, RunFigures* first) {
  veldrin_test::HostJob job(261, 500, 300);
  memcpy(job.condition.achStartPos, "000", 3);
  job.info.bIncremental = incremental ? 1 : 0;
  job.add_extra("LOT-A");

  for (int n = 1; n <= kLabels; ++n) {
    HBITMAP label = DrawLabel(600, 360, n, kLabels);
    sim.command("reset", kCom);
    const double cpu0 = thread_cpu_ms();
    const double t0 = now_ms();
    const SHORT result = n == 1 ? api.StartPrint(kPrinter, 1, label, &job.info)
                                : api.PrintOneLabel(kPrinter, 1, label, &job.info);
    const double wall = now_ms() - t0;
    const double cpu = thread_cpu_ms() - cpu0;
    DeleteObject(label);
    if (result != 0 || !follow_to_end(api)) {
      char message[256] = "";
      printf("label %d failed: %lu %s\n", n, api.GetPrintError(kPrinter, message, 256), message);
      return false;
    }
    // The stop command of KtPrStartPrint is not part of the label.
    const double bytes = static_cast<double>(sim.number("received", kCom)) - (n == 1 ? 7 : 0);
    RunFigures& f = n == 1 ? *first : *following;
    f.bytes += bytes;
    f.wallMs += wall - (incremental && n > 1 ? kComparePauseMs : 0.0);
    f.lineMs += bytes * 10.0 * 1000.0 / baud;
    f.cpuMs += cpu;
    ++f.labels;
  }
  return true;
}

void print_row(const char* mode, int baud, const RunFigures& f) {
  const double n = f.labels;
  printf("  %-12s %6d  %9.0f  %10.1f  %10.1f  %6.2f  %8.2f\n", mode, baud, f.bytes / n,
         f.wallMs / n, f.lineMs / n, f.wallMs / f.lineMs, f.cpuMs / n);
}
} // namespace

int main() {
  DriverApi api;
  if (!LoadDriver(nullptr, &api))
    return 1;
  veldrin_test::HostFiles host;
  printf("20 labels of 50 x 30 mm at 12 dots/mm (600 x 360 dots), a counter changing on each\n");
  printf("per label, averaged; wall time without the 3.5 s pause before a comparison\n\n");
  printf("  %-12s %6s  %9s  %10s  %10s  %6s  %8s\n", "labels 2..20", "baud", "bytes", "wall ms",
         "line ms", "ratio", "cpu ms");
  int failures = 0;
  for (int baud : {9600, 57600}) {
    tlxsim::TlxSim sim;
    std::string error;
    if (!sim.start({{.com = kCom, .baud = "line", .pace_ms = 10, .options = ""}}, &error)) {
      printf("simulator: %s\n", error.c_str());
      return 1;
    }
    host.write_ini("[VELDRIN Info]\r\n" + veldrin_test::PrinterKeys(kPrinter, kCom, baud, 56));
    for (bool incremental : {false, true}) {
      RunFigures following, first;
      api.InitPrinter(kPrinter, 0);
      if (!api.IsPrintReady(kPrinter - 1, 0) ||
          !run(api, sim, baud, incremental, &following, &first)) {
        ++failures;
        continue;
      }
      print_row(incremental ? "incremental" : "complete", baud, following);
      if (incremental)
        print_row("  (label 1)", baud, first);
    }
    api.ClosePrinter(kPrinter - 1);
  }
  return failures == 0 ? 0 : 1;
}
