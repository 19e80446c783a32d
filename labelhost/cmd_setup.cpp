// labelhost setup and conddlg: the two ways the host goes into the driver's
// settings. "setup" opens the driver's printer settings dialog for a printer
// with a sample label format (KtPrPrinterSetup), as the host's printer menu
// does; "conddlg" shows a stand-in of the host's own print-condition dialog
// and lets the driver adjust it (KtPrCondDlgCB). With --screenshot (or
// --report) they run unattended: a timer takes the picture, prints the
// driver's message boxes and closes everything with Cancel or OK.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/records.h"
#include "labelhost/commands.h"
#include "labelhost/host_dialog.h"
#include "labelhost/job_records.h"
#include "labelhost/window_capture.h"

namespace {
constexpr UINT kTimerMs = 250;

// What the timer does once the dialog is up.
struct Unattended {
  const char* caption;    // the dialog to wait for
  const char* screenshot; // PNG to save, or null
  bool report;            // print the host dialog's controls
  bool close;             // close the dialog (with Cancel) afterwards
  int ticks;              // timer ticks so far
  bool failed;            // the picture could not be taken
  UINT_PTR timer;         // the timer, 0 when none
};
Unattended g_unattended;

struct FindArgs {
  const char* caption; // wanted caption
  HWND found;          // the dialog found
};

BOOL CALLBACK find_dialog(HWND wnd, LPARAM lParam) {
  FindArgs* args = reinterpret_cast<FindArgs*>(lParam);
  char cls[32] = "";
  char caption[128] = "";
  GetClassNameA(wnd, cls, sizeof(cls));
  GetWindowTextA(wnd, caption, sizeof(caption));
  if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd) || strcmp(caption, args->caption) != 0)
    return TRUE;
  args->found = wnd;
  return FALSE;
}

void report_controls(HWND dlg) {
  for (int i = 0; i < kHostControlCount; ++i) {
    const HostControl& c = kHostControls[i];
    HWND w = GetDlgItem(dlg, c.id);
    char text[64] = "";
    GetWindowTextA(w, text, sizeof(text));
    printf("control %u: %s %s%s \"%s\"\n", c.id, IsWindowEnabled(w) ? "enabled" : "disabled",
           (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0 ? "shown" : "hidden",
           IsDlgButtonChecked(dlg, c.id) == BST_CHECKED ? " checked" : "", text);
  }
}

// An alert of the driver, when unattended: its text printed, then OK.
bool close_alert() {
  FindArgs args{"Error or alert message", nullptr};
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&args));
  if (args.found == nullptr)
    return false;
  char text[512] = "";
  GetDlgItemTextA(args.found, 0xFFFF, text, sizeof(text)); // the message box's text
  printf("message box: %s\n", text);
  PostMessageA(GetDlgItem(args.found, IDOK), BM_CLICK, 0, 0);
  return true;
}

// The second tick takes the picture, so the dialog has been painted.
void CALLBACK on_timer(HWND, UINT, UINT_PTR id, DWORD) {
  Unattended& u = g_unattended;
  if (close_alert())
    return;
  FindArgs args{u.caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&args));
  if (args.found == nullptr || ++u.ticks < 2)
    return;
  KillTimer(nullptr, id);
  u.timer = 0;
  if (u.screenshot != nullptr) {
    if (SaveWindowPng(args.found, u.screenshot))
      printf("picture of \"%s\" saved in %s\n", u.caption, u.screenshot);
    else
      u.failed = true;
  }
  if (u.report)
    report_controls(args.found);
  if (u.close)
    PostMessageA(GetDlgItem(args.found, IDCANCEL), BM_CLICK, 0, 0);
}

void start_unattended(const char* caption, const char* screenshot, bool report) {
  g_unattended =
      Unattended{caption, screenshot, report, screenshot != nullptr || report, 0, false, 0};
  if (g_unattended.close)
    g_unattended.timer = SetTimer(nullptr, 0, kTimerMs, on_timer);
}

void stop_unattended() {
  if (g_unattended.timer != 0)
    KillTimer(nullptr, g_unattended.timer);
  g_unattended.timer = 0;
}

bool parse_int(const char* text, long low, long high, long* value) {
  char* end = nullptr;
  *value = strtol(text, &end, 10);
  return end != text && *end == '\0' && *value >= low && *value <= high;
}
} // namespace

int CmdSetup(const DriverApi& api, int argc, char** argv) {
  DWORD printer = 0;
  if (argc < 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  long width = 500, length = 300, start = 10, density = 5;
  const char* format = nullptr;
  const char* product = nullptr;
  const char* screenshot = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* opt = argv[i];
    const char* val = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = val != nullptr;
    if (strcmp(opt, "--no-format") == 0) {
      width = 0;
      continue;
    }
    if (strcmp(opt, "--width") == 0)
      ok = ok && parse_int(val, 0, 65535, &width);
    else if (strcmp(opt, "--length") == 0)
      ok = ok && parse_int(val, 0, 65535, &length);
    else if (strcmp(opt, "--start") == 0)
      ok = ok && parse_int(val, 0, 999, &start);
    else if (strcmp(opt, "--density") == 0)
      ok = ok && parse_int(val, -32768, 32767, &density);
    else if (strcmp(opt, "--format") == 0)
      format = val;
    else if (strcmp(opt, "--product") == 0)
      product = val;
    else if (strcmp(opt, "--screenshot") == 0)
      screenshot = val;
    else
      ok = false;
    if (!ok)
      return 2;
    ++i;
  }
  if (!RequireExport(reinterpret_cast<const void*>(api.PrinterSetup), "KtPrPrinterSetup"))
    return 1;

  // The host hands over the label's names first (control request 17), which
  // also looks up a stored start position and density.
  if (format != nullptr || product != nullptr) {
    LabelFormatParams params{};
    lstrcpynA(params.szProduct, product != nullptr ? product : "", sizeof(params.szProduct));
    lstrcpynA(params.szFormat, format != nullptr ? format : "", sizeof(params.szFormat));
    if (!RequireExport(reinterpret_cast<const void*>(api.IoControl), "KtPrIoControl"))
      return 1;
    api.IoControl(printer, 17, &params, nullptr);
  }
  JobRecords job;
  SetUpJobRecords(&job, static_cast<WORD>(width), static_cast<WORD>(length), int(density),
                  int(start), PrintData{});
  const ConditionInfo& conditions = job.condition;

  start_unattended("Printer setting", screenshot, false);
  const DWORD result = api.PrinterSetup(nullptr, printer, &job.info);
  stop_unattended();
  printf("setup printer %lu: result %lu\n", printer, result);
  printf("host conditions: start %.3s density %d\n", conditions.achStartPos,
         static_cast<int>(conditions.nContrast));
  if (g_unattended.failed)
    return 1;
  return result == 1 ? 0 : 1;
}

int CmdCondDlg(const DriverApi& api, int argc, char** argv) {
  DWORD printer = 0;
  if (argc < 1 || !ParsePrinterArg(argv[0], &printer))
    return 2;
  bool active = true;
  bool report = false;
  const char* screenshot = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--inactive") == 0)
      active = false;
    else if (strcmp(argv[i], "--report") == 0)
      report = true;
    else if (strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
      screenshot = argv[++i];
    else
      return 2;
  }
  if (!RequireExport(reinterpret_cast<const void*>(api.CondDlgCB), "KtPrCondDlgCB"))
    return 1;
  PrinterRef ref{};
  ref.nPrinterNo = static_cast<BYTE>(printer);
  CondDialogInfo info{};
  info.dwActive = active ? 1 : 0;
  info.pPrinterRef = &ref;
  HostDialogContext ctx{api.CondDlgCB, &info, 0};
  std::vector<WORD> templ = BuildHostDialogTemplate();
  start_unattended(kHostDialogCaption, screenshot, report);
  const INT_PTR closedWith = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(templ.data()), nullptr,
      HostDialogProc, reinterpret_cast<LPARAM>(&ctx));
  if (closedWith == -1) {
    fprintf(stderr, "labelhost: the print-condition dialog cannot be shown (error %lu)\n",
            GetLastError());
    return 1;
  }
  printf("print-condition dialog for printer %lu closed with %s; %d messages passed to "
         "KtPrCondDlgCB\n",
         printer, closedWith == IDOK ? "OK" : "Cancel", ctx.nCallbackCalls);
  return g_unattended.failed ? 1 : 0;
}
