// Soak: a long run of incremental labels with a changing counter on one
// printer at a fast line rate, through the real VELDRIN.dll, measuring what
// the host process holds before and after: kernel handles, the GDI objects
// and global memory blocks the driver made and did not release (its calls
// are watched through its import table, since Wine's GetGuiResources counts
// nothing), and the process's private memory. The last label printed must
// equal its source dot for dot. Run by tools/soak; prints its figures.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "labelhost/driver_api.h"
#include "bench/process_counts.h"
#include "support/hooks.h"
#include "support/host.h"
#include "support/labels.h"
#include "tlxsim/client/tlxsim_client.h"

namespace {
constexpr int kCom = 17;
constexpr DWORD kPrinter = 2;

struct Holdings {
  size_t handles;    // kernel handles of the process
  size_t privateKiB; // committed private memory
  size_t workingKiB; // working set
};

Holdings holdings() {
  Holdings h{};
  h.handles = veldrin_test::CountOpenHandles();
  h.privateKiB = veldrin_test::CommittedPrivateBytes() / 1024;
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  h.workingKiB = pmc.WorkingSetSize / 1024;
  return h;
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
} // namespace

int main(int argc, char** argv) {
  const int labels = argc > 1 ? atoi(argv[1]) : 1000;
  DriverApi api;
  if (!LoadDriver(nullptr, &api) || !HookImports(api.hModule)) {
    printf("cannot load and watch VELDRIN.dll\n");
    return 1;
  }
  veldrin_test::HostFiles host;
  host.write_ini("[VELDRIN Info]\r\n" + veldrin_test::PrinterKeys(kPrinter, kCom, 57600, 56));
  tlxsim::TlxSim sim;
  std::string error;
  if (!sim.start({{.com = kCom, .model = 12, .pace_ms = 1, .options = ",save=none"}}, &error)) {
    printf("simulator: %s\n", error.c_str());
    return 1;
  }

  veldrin_test::HostJob job(261, 500, 300);
  memcpy(job.condition.achStartPos, "000", 3);
  job.info.bIncremental = 1;

  if (api.InitPrinter(kPrinter, 0) != 0 || !api.IsPrintReady(kPrinter - 1, 0)) {
    printf("the printer is not ready\n");
    return 1;
  }
  // The first label opens the port and makes the kept bitmap: measure after it.
  veldrin_test::Picture label = veldrin_test::MakeLabel(600, 360, 7, 0);
  HBITMAP bitmap = veldrin_test::LabelBitmap(label);
  if (api.StartPrint(kPrinter, 1, bitmap, &job.info) != 0 || !follow_to_end(api))
    return 1;
  DeleteObject(bitmap);
  const Holdings before = holdings();
  tlxsim::TempDir dir("veldrin-soak");
  StartCalls(false); // only the tally: the log must not grow with the run
  const DWORD start = GetTickCount();
  int failures = 0;
  for (int n = 1; n <= labels; ++n) {
    label = veldrin_test::MakeLabel(600, 360, 7, n);
    bitmap = veldrin_test::LabelBitmap(label);
    if (api.PrintOneLabel(kPrinter, 1, bitmap, &job.info) != 0 || !follow_to_end(api)) {
      char message[256] = "";
      printf("label %d failed: %lu %s\n", n, api.GetPrintError(kPrinter, message, 256), message);
      ++failures;
    }
    DeleteObject(bitmap);
    if (n % 50 == 0) {
      const Holdings now = holdings();
      printf("%5d labels, %lu s: handles %zu, private %zu KiB, working set %zu KiB\n", n,
             (GetTickCount() - start) / 1000, now.handles, now.privateKiB, now.workingKiB);
      fflush(stdout);
    }
  }
  const Leftovers left = Left();
  StopCalls();
  const Holdings after = holdings();

  // The last label as the printer holds it, against its source.
  const std::string png = dir.file("last.png");
  sim.command("snapshot " + tlxsim::unix_path(png), kCom);
  veldrin_test::Picture printed;
  size_t wrong = 0;
  if (!veldrin_test::ReadPicture(png, &printed)) {
    printf("snapshot: cannot read %s\n", png.c_str());
    ++failures;
  } else {
    const int offset = ((560 - 500) * 12 + 19) / 20;
    for (int y = 0; y < label.height; ++y)
      for (int x = 0; x < label.width; ++x)
        wrong += printed.is_black(offset + x, y) != label.is_black(x, y);
  }
  api.ClosePrinter(kPrinter - 1);

  printf("\n%d incremental labels in %lu s, %d failed\n", labels, (GetTickCount() - start) / 1000,
         failures);
  printf("kernel handles      %6zu -> %6zu\n", before.handles, after.handles);
  printf("private memory      %6zu -> %6zu KiB\n", before.privateKiB, after.privateKiB);
  printf("working set         %6zu -> %6zu KiB\n", before.workingKiB, after.workingKiB);
  printf("GDI made by the driver and not released: %d bitmaps, %d DCs (the kept label: 1)\n",
         left.bitmaps, left.memoryDcs);
  printf("global blocks made and not freed: %d; screen DCs held: %d\n", left.blocks,
         left.screenDcs);
  printf("last label against its source: %zu dots differ\n", wrong);
  const bool clean = failures == 0 && wrong == 0 && left.blocks == 0 && left.memoryDcs == 0 &&
                     left.bitmaps <= 1 && after.handles <= before.handles;
  return clean ? 0 : 1;
}
