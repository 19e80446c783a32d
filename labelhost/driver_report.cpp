// The driver's own reading of a printer, through its exports.
#include "labelhost/driver_report.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "labelhost/job_records.h"

namespace {
// The bytes the driver writes for one blank label in its file mode, with the
// given conditions; "" when it wrote none. File mode sends nothing to the
// printer and leaves the slot's port and kept label alone.
std::string label_to_file(const DriverApi& api, DWORD printer, const PrintData& data, int widthMm,
                          int heightMm, int startMm, int density) {
  char folder[MAX_PATH], path[MAX_PATH];
  if (GetTempPathA(MAX_PATH, folder) == 0 || GetTempFileNameA(folder, "vdr", 0, path) == 0)
    return "";
  const int dotsPerMm = data.wDotsPer10mm / 10;
  HBITMAP label = CreateBitmap(widthMm * dotsPerMm, heightMm * dotsPerMm, 1, 1, nullptr);
  HFILE file = _lcreat(path, 0);
  std::string bytes;
  if (label != nullptr && file != HFILE_ERROR) {
    JobRecords job;
    SetUpJobRecords(&job, static_cast<WORD>(widthMm * 10), static_cast<WORD>(heightMm * 10),
                    density, startMm, data);
    job.info.bToFile = 1;
    job.info.hFile = file;
    const SHORT written = api.PrintOneLabel(printer, 1, label, &job.info);
    _lclose(file);
    file = HFILE_ERROR;
    HFILE in = written == 0 ? _lopen(path, OF_READ) : HFILE_ERROR;
    char buf[4096];
    for (UINT n;
         in != HFILE_ERROR && (n = _lread(in, buf, sizeof buf)) != UINT(HFILE_ERROR) && n > 0;)
      bytes.append(buf, n);
    if (in != HFILE_ERROR)
      _lclose(in);
  }
  if (file != HFILE_ERROR)
    _lclose(file);
  if (label != nullptr)
    DeleteObject(label);
  DeleteFileA(path);
  return bytes;
}

// The `digits` decimal digits after the first ESC `letter` of `bytes`; -1
// when there is no such command.
int field_after(const std::string& bytes, char letter, size_t digits) {
  const size_t at = bytes.find(std::string("\x1B") + letter);
  if (at == std::string::npos || at + 2 + digits > bytes.size())
    return -1;
  int value = 0;
  for (size_t i = at + 2; i < at + 2 + digits; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9')
      return -1;
    value = value * 10 + (bytes[i] - '0');
  }
  return value;
}
} // namespace

size_t ShowDriverReport(const DriverApi& api, DWORD printer, WORD typeCode, int widthMm,
                        int heightMm, int startMm, int density) {
  PrintData data{};
  data.wTypeCode = typeCode;
  api.GetPrintData(printer, &data);
  printf("driver reports: KtPrGetPrintData: type %u, %u dots/mm, the model's maximum print width "
         "%u mm, printer %u\n",
         data.wTypeCode, data.wDotsPer10mm / 10u, data.wMaxWidth10 / 10u, data.bPrinterNo);

  BYTE record[20] = {};
  if (api.IoControl(printer, 13, record, nullptr) != 0)
    printf("driver reports: KtPrIoControl 13: type %u, printer %u\n", record[0] | record[1] << 8,
           record[8]);
  else
    printf("driver reports: KtPrIoControl 13: refused\n");

  const int dotsPerMm = data.wDotsPer10mm / 10;
  const std::string bytes =
      dotsPerMm > 0 ? label_to_file(api, printer, data, widthMm, heightMm, startMm, density) : "";
  const int start = field_after(bytes, 'K', 3);
  const int contrast = field_after(bytes, 'A', 1);
  const int x = field_after(bytes, 'B', 4);
  if (start < 0 || contrast < 0 || x < 0) {
    printf("driver reports: no label conditions (its label to a file failed)\n");
    return 0;
  }
  // The driver centres the label on its maximum print width, rounding the
  // offset up; the width in whole millimetres follows back from the offset.
  char where[96] = "at the head's left edge: the maximum print width is no wider than the label";
  if (x > 0)
    snprintf(where, sizeof where, "centred in %d mm",
             (x * 20 + dotsPerMm * widthMm * 10 + dotsPerMm * 5) / (dotsPerMm * 10));
  printf("driver reports: its label to a file after KtPrIoControl 17: start %d mm, density %d, "
         "%d dots from the head's left edge (%s)\n",
         start, contrast, x, where);
  return bytes.size();
}
