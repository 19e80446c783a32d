// labelhost check: the installer's first run of a printer. It shows what the
// driver will work from (the INI file's settings, the print position file's
// record for the check's label format), then takes the host's steps for one
// test label: init, ready, print, and follow the job until the printer says
// it is finished. Each step is printed with its time; the first failing step
// ends the check with the driver's error code and message and a hint of what
// to look at, and a non-zero exit status.
//
// Output lines start with a keyword, for people and for grep:
//   check:           what is checked
//   driver:          the driver file
//   version:         its version resource
//   labelhost reads: the INI file, the printer's settings in it and the print
//                    position file's record for the check's label format, as
//                    labelhost reads them with the driver's own procedures
//   port:            what opening the printer's port gives; when it opens,
//                    the flow control and DTR/RTS modes the driver keeps
//                    from it and the modem lines after the open (labelhost
//                    opens the port itself, before the driver does)
//   warning:         a flow control of the port that waits for a line that is low
//   driver reports:  what the loaded driver itself reports through its exports
//   step:            one step, its result, when it ended and how long it took
//   result:          "passed", or "FAILED at STEP"; then on a failure
//   error:           the driver's error code and message
//   hint:            what to look at (for 60800, what opening the port gives now)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "labelhost/capture.h"
#include "labelhost/commands.h"
#include "labelhost/driver_report.h"
#include "labelhost/job_records.h"
#include "labelhost/label_image.h"
#include "labelhost/port_report.h"
#include "labelhost/printer_ini.h"
#include "labelhost/test_label.h"
#include "settings/position_db.h"

namespace {
struct CheckOptions {
  DWORD printer = 0;                    // --printer N
  int model = 12;                       // --model 12|8: dots per mm
  int widthMm = 50;                     // --size WxH, whole millimetres
  int heightMm = 30;                    //
  const char* format = "VELDRIN CHECK"; // --format: the label format name for the lookup
  const char* product = "";             // --product
  const char* saveLabel = nullptr;      // --save-label FILE.bmp: the test label as printed
  DWORD waitSeconds = 60;               // --wait: how long to follow the job at most
  const char* capture = nullptr;        // --capture FILE: the driver's transfers
};

bool parse_options(int argc, char** argv, CheckOptions* o) {
  for (int i = 0; i + 1 < argc; i += 2) {
    const char* name = argv[i];
    const char* value = argv[i + 1];
    char* end = nullptr;
    const long n = strtol(value, &end, 10);
    const bool number = end != value && *end == '\0';
    if (strcmp(name, "--printer") == 0 && number && n >= 1 && n <= 8)
      o->printer = static_cast<DWORD>(n);
    else if (strcmp(name, "--model") == 0 && number && (n == 12 || n == 8))
      o->model = static_cast<int>(n);
    else if (strcmp(name, "--size") == 0 &&
             sscanf(value, "%dx%d", &o->widthMm, &o->heightMm) == 2 && o->widthMm >= 10 &&
             o->widthMm <= 200 && o->heightMm >= 10 && o->heightMm <= 200)
      continue;
    else if (strcmp(name, "--format") == 0 && value[0] != '\0')
      o->format = value;
    else if (strcmp(name, "--product") == 0)
      o->product = value;
    else if (strcmp(name, "--save-label") == 0)
      o->saveLabel = value;
    else if (strcmp(name, "--capture") == 0)
      o->capture = value;
    else if (strcmp(name, "--wait") == 0 && number && n >= 1 && n <= 3600)
      o->waitSeconds = static_cast<DWORD>(n);
    else {
      fprintf(stderr, "labelhost check: bad option %s %s\n", name, value);
      return false;
    }
  }
  return argc % 2 == 0 && o->printer != 0;
}

// What to look at for a driver error code.
const char* hint_for(DWORD code) {
  switch (code) {
  case 60800:
    return "cable and port: the port did not open; is it the printer's port (the INI file's "
           "settings above), is it on this PC (Device Manager), and is no other program using it?";
  case 60801:
    return "settings: the driver could not load the printer's settings from the INI file";
  case 60802:
  case 60805:
  case 60809:
    return "cable and port: sending to the printer failed; check the cable and the port";
  case 60806:
    return "printer power and DSR: the printer's DSR line is off; is the printer switched on and "
           "online, and does the cable carry DSR (a null-modem cable wired for the printer)?";
  case 60812:
  case 60813:
  case 60814:
    return "line settings: the printer received garbled bytes (parity, framing or overrun); its "
           "baud rate, data bits, stop bits and parity must be the settings above";
  case 60816:
    return "the printer did not answer: is it switched on and online, is the cable right, and "
           "are its line settings the settings above?";
  case 60803:
  case 60804:
    return "this PC: the label could not be prepared (memory, graphics); close other programs "
           "and run the check again";
  default:
    return "the printer's own error: see its display or lamps, clear the error (ribbon, labels, "
           "head, cover) and run the check again";
  }
}

struct Check {
  const DriverApi& api;
  const CheckOptions& o;
  int com; // the printer's port, as labelhost reads the INI file
  DWORD start = GetTickCount();
  DWORD stepStart = GetTickCount();

  void step(const char* name, const std::string& result) {
    const DWORD now = GetTickCount();
    printf("step: %s: %s (at %lu ms, took %lu ms)\n", name, result.c_str(), now - start,
           now - stepStart);
    fflush(stdout);
    stepStart = now;
  }

  // Ends the check at a failed step: the driver's code and message and what
  // to look at for it, or, where the driver has no code for it, `hint`.
  int fail(const char* name, const std::string& result, const char* hint = nullptr) {
    step(name, result);
    printf("result: FAILED at %s\n", name);
    char message[512] = "";
    const DWORD code = hint == nullptr ? api.GetPrintError(o.printer, message, sizeof message) : 0;
    if (code != 0)
      printf("error: %lu %s\n", code, message);
    else
      printf("error: none reported by the driver\n");
    // The port did not open for the driver: what opening it gives now.
    const std::string portHint = code == 60800 ? PortHint(ReadPort(com)) : "";
    printf("hint: %s\n", hint != nullptr     ? hint
                         : !portHint.empty() ? portHint.c_str()
                                             : hint_for(code));
    api.ClosePrinter(o.printer - 1);
    return 1;
  }
};

std::string model_name(const DriverApi& api, WORD typeCode) {
  DriverSpec driver{};
  driver.dwSize = sizeof driver;
  api.GetDriverSpec(&driver);
  for (DWORD i = 0; i < driver.dwModelCount; ++i) {
    PrinterSpec spec{};
    spec.dwSize = sizeof spec;
    api.GetPrinterSpec(&spec, i);
    if (spec.dwTypeCode == typeCode)
      return spec.szModelName;
  }
  return "an unknown model";
}

// The print position file's record for the check's label format, looked up
// the way the driver looks it up.
void show_position(const CheckOptions& o) {
  int32_t start = 0, density = 0;
  if (AccessPrintPositionDb(static_cast<int>(o.printer), o.format, o.product, &start, &density, 0))
    printf("labelhost reads: position file: format \"%s\" product \"%s\": start %d mm, density "
           "%d\n",
           o.format, o.product, static_cast<int>(start), static_cast<int>(density));
  else
    printf("labelhost reads: position file: no record for format \"%s\" product \"%s\" (no "
           "position file, or none for this printer): the check's own start 0 mm, density 5\n",
           o.format, o.product);
}

// The printer's port as labelhost finds it, opened before the driver opens
// it: what the open gives and, when it opens, what the driver keeps of it.
void show_port(int com) {
  const PortReading r = ReadPort(com);
  printf("port: COM%d: %s\n", com, PortStateText(r).c_str());
  if (r.state != PortState::Free)
    return;
  printf("port: COM%d keeps (the driver sets only the line settings): %s\n", com,
         KeptFlagsText(r.dcb).c_str());
  if (!r.modemRead) {
    printf("port: COM%d lines after the open: unread (GetCommModemStatus failed)\n", com);
    return;
  }
  printf("port: COM%d lines after the open: %s\n", com, ModemLinesText(r.modemStatus).c_str());
  for (const std::string& warning : FlowWarnings(com, r.dcb, r.modemStatus))
    printf("warning: %s\n", warning.c_str());
}

std::string now_text() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
           t.wMinute, t.wSecond);
  return text;
}

int run(const DriverApi& api, const CheckOptions& o) {
  const WORD typeCode = o.model == 12 ? 261 : 264;
  const PrinterIni ini = ReadPrinterIni(o.printer);
  Check c{api, o, ini.serial.nComPort};
  const std::string model = model_name(api, typeCode);
  printf("check: printer %lu as %s (type %u), test label %d x %d mm\n", o.printer, model.c_str(),
         typeCode, o.widthMm, o.heightMm);
  ShowDriverFile(api);
  printf("labelhost reads: ini file %s\n",
         ini.iniPath.empty() ? "(the host library names none)" : ini.iniPath.c_str());
  printf("labelhost reads: printer %lu: %s, maximum print width %u mm%s\n", o.printer,
         LineSettingsText(ini.serial).c_str(), ini.maxWidthMm,
         ini.serialFromIni ? "" : " (no serial settings for it: the driver's defaults)");
  show_position(o);
  show_port(c.com);

  PrintData data{};
  data.wTypeCode = typeCode;
  api.GetPrintData(o.printer, &data);
  const int dotsPerMm = data.wDotsPer10mm / 10;
  if (dotsPerMm != o.model)
    return c.fail("KtPrGetPrintData",
                  "the driver gives " + std::to_string(dotsPerMm) + " dots/mm for type " +
                      std::to_string(typeCode),
                  "the driver: it is not the TLX-Pro driver this check was made for");
  c.step("KtPrGetPrintData", std::to_string(dotsPerMm) + " dots/mm");

  if (api.InitPrinter(o.printer, 0) != 0)
    return c.fail("KtPrInitPrinter", "failed");
  c.step("KtPrInitPrinter", "settings loaded");

  LabelFormatParams params{};
  lstrcpynA(params.szFormat, o.format, sizeof params.szFormat);
  lstrcpynA(params.szProduct, o.product, sizeof params.szProduct);
  DWORD paramsSize = sizeof params;
  api.IoControl(o.printer, 17, &params, &paramsSize);
  c.step("KtPrIoControl 17", std::string("label format \"") + o.format + "\"");
  ShowDriverReport(api, o.printer, typeCode, o.widthMm, o.heightMm, 0, 5);
  c.stepStart = GetTickCount();

  if (!api.IsPrintReady(o.printer - 1, 0))
    return c.fail("KtPrIsPrintReady", "not ready");
  c.step("KtPrIsPrintReady", "ready");

  HBITMAP label = DrawTestLabel(o.widthMm, o.heightMm, dotsPerMm,
                                {"VELDRIN check: printer " + std::to_string(o.printer), model,
                                 std::to_string(dotsPerMm) + " dots/mm, 10 mm grid",
                                 LineSettingsShort(ini.serial), now_text()});
  if (label == nullptr)
    return c.fail("test label", "could not be drawn", hint_for(60803));
  if (o.saveLabel != nullptr && !SaveLabelBitmap(label, o.saveLabel))
    fprintf(stderr, "labelhost check: cannot write %s\n", o.saveLabel);
  JobRecords job;
  SetUpJobRecords(&job, static_cast<WORD>(o.widthMm * 10), static_cast<WORD>(o.heightMm * 10), 5, 0,
                  data);
  const SHORT sent = api.StartPrint(o.printer, 1, label, &job.info);
  DeleteObject(label);
  if (sent != 0)
    return c.fail("KtPrStartPrint", "the test label was not sent");
  c.step("KtPrStartPrint", "test label sent");

  // Follow the job as the host does, showing the labels left as they change.
  const LONG followed =
      FollowJob(api, o.printer, o.waitSeconds * 1000, [](DWORD, LONG remaining, DWORD elapsedMs) {
        printf("step: KtPrIsPrintFinished: %ld label%s still to print (after %lu ms)\n", remaining,
               remaining == 1 ? "" : "s", elapsedMs);
      });
  if (followed == -1)
    return c.fail("KtPrIsPrintFinished", "the printer reported an error");
  if (followed == 2)
    return c.fail("KtPrIsPrintFinished",
                  "no end of the job within " + std::to_string(o.waitSeconds) + " s",
                  hint_for(60816));
  c.step("KtPrIsPrintFinished", "finished");
  api.ClosePrinter(o.printer - 1);
  printf("result: passed in %lu ms\n", GetTickCount() - c.start);
  return 0;
}
} // namespace

int CmdCheck(const DriverApi& api, int argc, char** argv) {
  CheckOptions o;
  if (!parse_options(argc, argv, &o))
    return 2;
  if (!RequireAllExports(api, "check"))
    return 1;
  if (o.capture != nullptr && !StartCapture(api.hModule, o.capture))
    return 1;
  return run(api, o);
}
