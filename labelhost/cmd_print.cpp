// labelhost print: the host application's life for a run of labels, as the
// host drives the driver: print data, init, the label format (control
// request 17), readiness, KtPrStartPrint for the first label and
// KtPrPrintOneLabel for the ones after, each followed until the printer
// reports it done; the error and its message on a failure. With --file the
// complete labels' command streams go to a file and no port is touched.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "labelhost/capture.h"
#include "labelhost/commands.h"
#include "labelhost/job_records.h"
#include "labelhost/label_image.h"

namespace {
struct PrintOptions {
  DWORD printer = 1;                // --printer N (1..8)
  WORD typeCode = 261;              // --model 261|264
  WORD widthTenthMm = 500;          // --width, 0.1 mm
  WORD lengthTenthMm = 300;         // --length, 0.1 mm
  int maxWidthMm = 0;               // --max-width mm (0: as the INI file holds it)
  int startMm = 0;                  // --start, print start position in mm
  int density = 5;                  // --density 1..9
  LONG quantity = 1;                // --quantity per label
  int labels = 0;                   // --labels in the run (0: one, or one per image)
  bool incremental = false;         // --incremental
  std::vector<std::string> images;  // --image FILE|FOLDER..., printed in this order
  const char* file = nullptr;       // --file OUT (file mode)
  const char* format = "LABELHOST"; // --format NAME (control request 17)
  const char* product = "";         // --product NAME
  std::vector<const char*> extras;  // --extra TEXT, sent after each incremental label
  bool noWait = false;              // --no-wait: do not follow the job
  const char* capture = nullptr;    // --capture FILE: the driver's transfers
};

bool number_arg(const char* name, const char* text, long low, long high, long* out) {
  char* end = nullptr;
  const long v = strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) {
    fprintf(stderr, "labelhost print: %s: %s takes a number from %ld to %ld\n", text, name, low,
            high);
    return false;
  }
  *out = v;
  return true;
}

// A file, or a folder's .bmp and .png files in name order.
bool add_images(const char* path, std::vector<std::string>* images) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    fprintf(stderr, "labelhost print: no file or folder %s\n", path);
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    images->push_back(path);
    return true;
  }
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((std::string(path) + "\\*").c_str(), &entry);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry)) {
    const char* dot = strrchr(entry.cFileName, '.');
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && dot != nullptr &&
        (lstrcmpiA(dot, ".bmp") == 0 || lstrcmpiA(dot, ".png") == 0))
      found.push_back(std::string(path) + "\\" + entry.cFileName);
  }
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  if (found.empty()) {
    fprintf(stderr, "labelhost print: no .bmp or .png file in %s\n", path);
    return false;
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  images->insert(images->end(), found.begin(), found.end());
  return true;
}

bool parse_options(int argc, char** argv, PrintOptions* o) {
  for (int i = 0; i < argc; ++i) {
    const char* name = argv[i];
    auto flag = [&](const char* n) { return strcmp(name, n) == 0; };
    if (flag("--incremental")) {
      o->incremental = true;
      continue;
    }
    if (flag("--no-wait")) {
      o->noWait = true;
      continue;
    }
    if (strncmp(name, "--", 2) != 0) {
      fprintf(stderr, "labelhost print: %s: not an option (--printer 1, --labels 5, ...)\n", name);
      return false;
    }
    if (i + 1 >= argc) {
      fprintf(stderr, "labelhost print: %s: its value is missing\n", name);
      return false;
    }
    const char* value = argv[++i];
    long v = 0;
    if (flag("--printer")) {
      if (!number_arg(name, value, 0, 255, &v))
        return false;
      o->printer = static_cast<DWORD>(v);
    } else if (flag("--model")) {
      if (!ParseModelArg(value, &o->typeCode)) {
        fprintf(stderr, "labelhost print: %s: %s\n", value, kModelArgText);
        return false;
      }
    } else if (flag("--width")) {
      if (!number_arg(name, value, 1, 65535, &v))
        return false;
      o->widthTenthMm = static_cast<WORD>(v);
    } else if (flag("--length")) {
      if (!number_arg(name, value, 1, 65535, &v))
        return false;
      o->lengthTenthMm = static_cast<WORD>(v);
    } else if (flag("--max-width")) {
      if (!number_arg(name, value, 1, 9999, &v))
        return false;
      o->maxWidthMm = static_cast<int>(v);
    } else if (flag("--start")) {
      if (!number_arg(name, value, 0, 999, &v))
        return false;
      o->startMm = static_cast<int>(v);
    } else if (flag("--density")) {
      if (!number_arg(name, value, 1, 9, &v))
        return false;
      o->density = static_cast<int>(v);
    } else if (flag("--quantity")) {
      if (!number_arg(name, value, -9999, 9999, &v))
        return false;
      o->quantity = v;
    } else if (flag("--labels")) {
      if (!number_arg(name, value, 1, 100000, &v))
        return false;
      o->labels = static_cast<int>(v);
    } else if (flag("--image")) {
      if (!add_images(value, &o->images))
        return false;
    } else if (flag("--file")) {
      o->file = value;
    } else if (flag("--format")) {
      o->format = value;
    } else if (flag("--product")) {
      o->product = value;
    } else if (flag("--extra")) {
      if (o->extras.size() == kMostExtraRecords) {
        fprintf(stderr, "labelhost print: at most %u --extra\n", unsigned(kMostExtraRecords));
        return false;
      }
      o->extras.push_back(value);
    } else if (flag("--capture")) {
      o->capture = value;
    } else {
      fprintf(stderr, "labelhost print: %s: no such option of print\n", name);
      return false;
    }
  }
  return true;
}

// The maximum print width is the printer's setting in the host's INI file.
void set_max_width(DWORD printer, int widthMm) {
  HMODULE zovav = GetModuleHandleA("ZoVav.dll");
  auto iniPath = reinterpret_cast<const char*(WINAPI*)(void)>(
      reinterpret_cast<void*>(GetProcAddress(zovav, "HVTGetIniFileName")));
  if (iniPath == nullptr || iniPath() == nullptr)
    return;
  char key[16], value[16];
  snprintf(key, sizeof(key), "VDMAX%02d", static_cast<int>(printer - 1));
  snprintf(value, sizeof(value), "%d", widthMm);
  WritePrivateProfileStringA("VELDRIN Info", key, value, iniPath());
}

bool fail(const DriverApi& api, const PrintOptions& o, const char* what) {
  printf("printer %lu: %s failed\n", o.printer, what);
  ShowPrintError(api, o.printer);
  return false;
}

bool run(const DriverApi& api, const PrintOptions& o) {
  PrintData data{};
  data.wTypeCode = o.typeCode;
  api.GetPrintData(o.printer, &data);
  if (data.wDotsPer10mm == 0) {
    fprintf(stderr, "labelhost print: the driver knows no printer type %u\n", o.typeCode);
    return false;
  }
  const int dotsPerMm = data.wDotsPer10mm / 10;
  const bool toFile = o.file != nullptr;

  if (o.maxWidthMm > 0)
    set_max_width(o.printer, o.maxWidthMm);
  if (LoadPrinter(api, o.printer) != 0)
    return fail(api, o, "KtPrInitPrinter");

  LabelFormatParams params{};
  lstrcpynA(params.szProduct, o.product, sizeof(params.szProduct));
  lstrcpynA(params.szFormat, o.format, sizeof(params.szFormat));
  DWORD paramsSize = sizeof(params);
  api.IoControl(o.printer, 17, &params, &paramsSize);

  HFILE file = 0;
  if (toFile) {
    file = _lcreat(o.file, 0);
    if (file == HFILE_ERROR) {
      fprintf(stderr, "labelhost print: cannot create %s\n", o.file);
      return false;
    }
  } else if (!api.IsPrintReady(o.printer - 1, 0)) {
    return fail(api, o, "KtPrIsPrintReady");
  }

  JobRecords records;
  SetUpJobRecords(&records, o.widthTenthMm, o.lengthTenthMm, o.density, o.startMm, data);
  for (const char* text : o.extras)
    AddExtraRecord(&records, text);
  PrintJobInfo& job = records.info;
  job.bIncremental = o.incremental ? 1 : 0;
  job.bToFile = toFile ? 1 : 0;
  job.hFile = file;

  const int labels = o.labels > 0 ? o.labels : o.images.empty() ? 1 : int(o.images.size());
  const int widthDots = (o.widthTenthMm * dotsPerMm + 9) / 10;
  const int heightDots = (o.lengthTenthMm * dotsPerMm + 9) / 10;
  bool ok = true;
  for (int n = 1; n <= labels && ok; ++n) {
    // The images in turn (again from the first when there are more labels),
    // else a drawn label with the counter.
    const char* image =
        o.images.empty() ? nullptr : o.images[size_t(n - 1) % o.images.size()].c_str();
    HBITMAP label =
        image != nullptr ? LoadLabelImage(image) : DrawLabel(widthDots, heightDots, n, labels);
    if (label == nullptr)
      return false;
    const DWORD start = GetTickCount();
    // File mode and every label after the first: the job alone. The first
    // label of a run on the printer starts with the stop command.
    const bool first = n == 1 && !toFile;
    const SHORT result = first ? api.StartPrint(o.printer, o.quantity, label, &job)
                               : api.PrintOneLabel(o.printer, o.quantity, label, &job);
    printf("label %d: %s %s (%lu ms)%s%s\n", n, first ? "KtPrStartPrint" : "KtPrPrintOneLabel",
           result == 0 ? "sent" : "failed", GetTickCount() - start, image ? " from " : "",
           image ? image : "");
    fflush(stdout);
    if (result != 0)
      ok = fail(api, o, "the label");
    else if (!toFile && !o.noWait)
      ok = WaitForJob(api, o.printer);
    DeleteObject(label);
  }
  if (toFile)
    _lclose(file);
  else
    api.ClosePrinter(o.printer - 1);
  return ok;
}
} // namespace

int CmdPrint(const DriverApi& api, int argc, char** argv) {
  PrintOptions o;
  if (!parse_options(argc, argv, &o))
    return 2;
  if (!RequireAllExports(api, "print"))
    return 1;
  if (o.capture != nullptr && !StartCapture(api.hModule, o.capture))
    return 1;
  return run(api, o) ? 0 : 1;
}
