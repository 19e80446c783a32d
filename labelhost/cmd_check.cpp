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
//   labelhost reads: the INI file (as named and as Windows resolves it), each
//                    key the driver reads with its raw text, the printer's
//                    settings and the print position file's record for the
//                    check's label format, as labelhost reads them with the
//                    driver's own procedures
//   port:            what opening the printer's port gives; when it opens,
//                    the flow control and DTR/RTS modes the driver keeps
//                    from it and the modem lines after the open (labelhost
//                    opens the port itself, before the driver does)
//   warning:         a flow control of the port that waits for a line that is low
//   driver reports:  what the loaded driver itself reports through its exports
//   step:            one step, its result, when it ended and how long it took;
//                    labelhost's own steps ("INI file", "label fit") check its
//                    inputs before any port is opened
//   send:            the test label's size and its time on the line
//   progress:        every few seconds of a long send, the bytes sent so far
//   label:           what the printed label must show, and what else means
//   result:          "passed", or "FAILED at STEP"; then on a failure
//   error:           the driver's error code and message
//   reply:           the printer's last reply, or that none came
//   hint:            what to look at (for 60800, what opening the port gives now)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "labelhost/capture.h"
#include "labelhost/commands.h"
#include "labelhost/driver_report.h"
#include "labelhost/ini_check.h"
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

bool refuse(const char* argument, const char* why) {
  fprintf(stderr, "labelhost check: %s: %s\n", argument, why);
  return false;
}

bool parse_options(int argc, char** argv, CheckOptions* o) {
  for (int i = 0; i < argc; i += 2) {
    const char* name = argv[i];
    if (strncmp(name, "--", 2) != 0)
      return refuse(name, "not an option: each option is a name and a value (--printer 1)");
    if (i + 1 >= argc)
      return refuse(name, "its value is missing");
    const char* value = argv[i + 1];
    char* end = nullptr;
    const long n = strtol(value, &end, 10);
    const bool number = end != value && *end == '\0';
    WORD typeCode = 0;
    if (strcmp(name, "--printer") == 0) {
      if (!number || n < 1 || n > 8)
        return refuse(value, "--printer takes a printer number from 1 to 8");
      o->printer = static_cast<DWORD>(n);
    } else if (strcmp(name, "--model") == 0) {
      if (!ParseModelArg(value, &typeCode))
        return refuse(value, kModelArgText);
      o->model = typeCode == 261 ? 12 : 8;
    } else if (strcmp(name, "--size") == 0) {
      char tail = 0;
      if (sscanf(value, "%dx%d%c", &o->widthMm, &o->heightMm, &tail) != 2 || o->widthMm < 10 ||
          o->widthMm > 200 || o->heightMm < 10 || o->heightMm > 200)
        return refuse(value, "--size takes WIDTHxHEIGHT in whole mm, each 10 to 200 (50x30)");
    } else if (strcmp(name, "--format") == 0) {
      if (value[0] == '\0')
        return refuse(name, "the label format's name is empty");
      o->format = value;
    } else if (strcmp(name, "--product") == 0) {
      o->product = value;
    } else if (strcmp(name, "--save-label") == 0) {
      o->saveLabel = value;
    } else if (strcmp(name, "--capture") == 0) {
      o->capture = value;
    } else if (strcmp(name, "--wait") == 0) {
      if (!number || n < 1 || n > 3600)
        return refuse(value, "--wait takes seconds from 1 to 3600");
      o->waitSeconds = static_cast<DWORD>(n);
    } else {
      return refuse(name, "no such option of check");
    }
  }
  return o->printer != 0 || refuse("--printer", "is needed: the printer number, 1 to 8");
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

// A failed poll's result, by the code the driver left.
std::string result_for(DWORD code) {
  if (code == 60816)
    return "no reply from the printer within the reply time-out";
  if (code >= 60810 && code <= 60815)
    return "the printer answered with an error";
  return "the printer's reply could not be read";
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

  // Ends the check at a failed step: the driver's code and message, the
  // printer's last reply and what to look at for it, or, where the driver
  // has no code for it, `hint`. An empty `result` is said from the code.
  int fail(const char* name, std::string result, const std::string& hint = "") {
    char message[512] = "";
    const DWORD code = hint.empty() ? api.GetPrintError(o.printer, message, sizeof message) : 0;
    step(name, !result.empty() ? result : result_for(code));
    printf("result: FAILED at %s\n", name);
    if (code != 0)
      printf("error: %lu %s\n", code, message);
    else
      printf("error: none reported by the driver\n");
    printf("reply: %s\n", LastReplyText().c_str());
    // The port did not open for the driver: what opening it gives now.
    const std::string portHint = code == 60800 ? PortHint(ReadPort(com)) : "";
    printf("hint: %s\n", !hint.empty()       ? hint.c_str()
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

// Shows the INI file and each key the driver reads for the printer, with its
// raw text; "" when labelhost can use them, else the hint of what is wrong.
std::string show_ini(const CheckOptions& o, const PrinterIni& ini) {
  const IniFile file = CheckIniFile(ini.iniPath.c_str());
  const std::string name = file.given == file.resolved
                               ? file.given
                               : "\"" + file.given + "\" (read as " + file.resolved + ")";
  printf("labelhost reads: ini file %s: %s\n", name.c_str(), file.state.c_str());
  if (!file.problem.empty())
    return "settings: the INI file " + name + ": " + file.problem +
           ". Without it the driver takes its defaults (COM3, 9600 baud) for every printer";
  std::string hint;
  for (const IniKey& k : ReadIniKeys(file.resolved, o.printer)) {
    if (k.present)
      printf("labelhost reads: [%s] %s=%s%s\n", k.section.c_str(), k.name.c_str(), k.text.c_str(),
             k.problem.empty() ? "" : "  <- malformed");
    else
      printf("labelhost reads: [%s] %s: not in the file (the driver's default: %s)\n",
             k.section.c_str(), k.name.c_str(), k.fallback.c_str());
    if (k.problem.empty() || !hint.empty())
      continue;
    hint = "settings: " + k.name + "=" + k.text + " is not read as meant: " + k.problem;
    const bool serialKey = k.name.size() == 4 && k.name.compare(0, 2, "VD") == 0;
    if (!serialKey)
      continue;
    // The serial string: a right one for what it most likely meant.
    SerialSettings meant{};
    const bool known = IntendedSerialSettings(k.text, &meant);
    if (!known)
      meant = {1, 57600, 8, 0, 0};
    char right[kSerialStringLength + 1];
    FormatSerialString(meant, right);
    hint += std::string(". ") + (known ? "For " : "For example, for ") + LineSettingsText(meant) +
            " it is " + k.name + "=" + right + " (labelhost init " + std::to_string(o.printer) +
            " --serial " + ModeText(meant) + " writes it)";
  }
  return hint;
}

// The label on the printer's head: no wider than the print width in the INI
// file, and that no wider than the model's own.
std::string label_fit(const CheckOptions& o, const PrinterIni& ini, const PrintData& data,
                      std::string* result) {
  const UINT modelMm = data.wMaxWidth10 / 10u;
  const std::string key = "VDMAX0" + std::to_string(o.printer - 1);
  char text[400];
  if (ini.maxWidthMm > modelMm) {
    const int other = o.model == 12 ? 8 : 12;
    const bool otherFits = other == 8 ? ini.maxWidthMm <= 112 : ini.maxWidthMm <= 106;
    *result = "the print width is wider than the model's";
    snprintf(text, sizeof text, "model: %s=%u mm is wider than the %d dots/mm model's %u mm%s%s",
             key.c_str(), ini.maxWidthMm, o.model, modelMm,
             otherFits ? ": the INI file describes the other model; is the printer the "
                       : "; set it to the printer's head width",
             otherFits ? (std::to_string(other) + " dots/mm model (--model " +
                          std::to_string(other) + ")? Else set it to the printer's head width")
                             .c_str()
                       : "");
    return text;
  }
  if (static_cast<UINT>(o.widthMm) > ini.maxWidthMm) {
    *result = "the test label is wider than the print width";
    snprintf(text, sizeof text,
             "settings: the test label is %d mm wide and printer %lu's print width is %u mm "
             "(%s): the driver starts a wider label at the head's left edge and its right side "
             "is not printed; check with a label no wider (--size %ux%d), or set %s to the "
             "printer's head width",
             o.widthMm, o.printer, ini.maxWidthMm, key.c_str(), ini.maxWidthMm, o.heightMm,
             key.c_str());
    return text;
  }
  snprintf(text, sizeof text, "%d mm in the print width of %u mm (%s), the model's maximum %u mm",
           o.widthMm, ini.maxWidthMm, key.c_str(), modelMm);
  *result = text;
  return "";
}

// The send's progress, every few seconds.
DWORD g_sendTotal = 0, g_sendStart = 0, g_sendShown = 0;
constexpr DWORD kProgressEveryMs = 3000;

void show_send_progress(DWORD sent) {
  const DWORD now = GetTickCount();
  if (now - g_sendShown < kProgressEveryMs)
    return;
  g_sendShown = now;
  printf("progress: %lu of %lu bytes sent (after %lu ms)\n", sent, g_sendTotal, now - g_sendStart);
  fflush(stdout);
}

// The bits a byte takes on the line: start, data, parity, stop.
double bits_per_byte(const SerialSettings& s) {
  return 1 + s.byteSize + (s.parity != 0 ? 1 : 0) +
         (s.stopBits == 0   ? 1
          : s.stopBits == 1 ? 1.5
                            : 2);
}

int run(const DriverApi& api, const CheckOptions& o) {
  const WORD typeCode = o.model == 12 ? 261 : 264;
  const PrinterIni ini = ReadPrinterIni(o.printer);
  Check c{api, o, ini.serial.nComPort};
  const std::string model = model_name(api, typeCode);
  printf("check: printer %lu as %s (type %u), test label %d x %d mm\n", o.printer, model.c_str(),
         typeCode, o.widthMm, o.heightMm);
  ShowDriverFile(api);
  const std::string iniHint = show_ini(o, ini);
  printf("labelhost reads: printer %lu: %s, maximum print width %u mm%s\n", o.printer,
         LineSettingsText(ini.serial).c_str(), ini.maxWidthMm,
         ini.serialFromIni ? "" : " (no serial settings for it: the driver's defaults)");
  if (!iniHint.empty())
    return c.fail("INI file", "not as the driver needs it", iniHint);
  c.step("INI file", "its keys are well formed");

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
  std::string fit;
  const std::string fitHint = label_fit(o, ini, data, &fit);
  if (!fitHint.empty())
    return c.fail("label fit", fit, fitHint);
  c.step("label fit", fit);
  show_position(o);
  show_port(c.com);

  if (LoadPrinter(api, o.printer) != 0)
    return c.fail("KtPrInitPrinter", "failed");
  c.step("KtPrInitPrinter", "settings loaded");

  LabelFormatParams params{};
  lstrcpynA(params.szFormat, o.format, sizeof params.szFormat);
  lstrcpynA(params.szProduct, o.product, sizeof params.szProduct);
  DWORD paramsSize = sizeof params;
  api.IoControl(o.printer, 17, &params, &paramsSize);
  c.step("KtPrIoControl 17", std::string("label format \"") + o.format + "\"");
  const size_t labelBytes = ShowDriverReport(api, o.printer, typeCode, o.widthMm, o.heightMm, 0, 5);
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
  if (labelBytes > 0 && ini.serial.dwBaudRate > 0) {
    const double bits = bits_per_byte(ini.serial);
    printf("send: the test label is %u bytes: about %.1f s at %lu baud (%g bits a byte, %s)\n",
           static_cast<unsigned>(labelBytes), labelBytes * bits / ini.serial.dwBaudRate,
           static_cast<unsigned long>(ini.serial.dwBaudRate), bits,
           LineSettingsShort(ini.serial).c_str());
    fflush(stdout);
  }
  g_sendTotal = static_cast<DWORD>(labelBytes);
  g_sendStart = g_sendShown = GetTickCount();
  WatchSends(show_send_progress);
  const SHORT sent = api.StartPrint(o.printer, 1, label, &job.info);
  WatchSends(nullptr);
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
    return c.fail("KtPrIsPrintFinished", "");
  if (followed == 2)
    return c.fail("KtPrIsPrintFinished",
                  "no end of the job within " + std::to_string(o.waitSeconds) + " s",
                  hint_for(60816));
  c.step("KtPrIsPrintFinished", "finished");
  api.ClosePrinter(o.printer - 1);
  // What the check cannot see: the label's scale on the printer's head.
  printf("label: the printer must show a %d x %d mm grid of 10 mm squares, a ruler tick every "
         "millimetre along the top and left edges\n",
         o.widthMm, o.heightMm);
  printf("label: %s\n",
         o.model == 12 ? "squares of 15 mm mean the printer is the 8 dots/mm model: run the check "
                         "with --model 8; a grid cut off at the right, the print width "
                         "(VDMAXnn)"
                       : "squares of 6.7 mm, or a blank strip, mean the printer is the 12 dots/mm "
                         "model: run the check with --model 12; a grid cut off at the right, the "
                         "print width (VDMAXnn)");
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
  // Always watched, for the printer's last reply and the send's progress;
  // written to a file only with --capture.
  if (!StartCapture(api.hModule, o.capture))
    return 1;
  return run(api, o);
}
