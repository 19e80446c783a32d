// The host's records for one print job, as the host application fills them
// before KtPrStartPrint or KtPrPrintOneLabel: the open label format, the print
// conditions (density 5, start position "012" unless changed), the print data
// record for the model's type code, and up to two extra records.
// The test program that includes this also has the project's root on its
// include path (for "host/records.h").
#pragma once

#include <windows.h>

#include <cstring>

#include "host/records.h"

namespace veldrin_test {

struct HostJob {
  FormatInfo format{};
  ConditionInfo condition{};
  PrintData data{};
  ExtraRecord extras[2]{};
  WORD extraCount = 0;
  PrintJobInfo info{};

  // typeCode 261 (12 dots/mm) or 264 (8 dots/mm); label size in 0.1 mm.
  HostJob(WORD typeCode, WORD widthTenthMm, WORD lengthTenthMm) {
    format.wLabelWidth = widthTenthMm;
    format.wLabelLength = lengthTenthMm;
    condition.nContrast = 5;
    memcpy(condition.achStartPos, "012", 3);
    data.wTypeCode = typeCode;
    data.wDotsPer10mm = typeCode == 261 ? 120 : 80;
    info.pFormat = &format;
    info.pCondition = &condition;
    info.pPrintData = &data;
    info.pExtraRecords = extras;
    info.pExtraCount = &extraCount;
  }
  HostJob(const HostJob&) = delete; // info points into this record
  HostJob& operator=(const HostJob&) = delete;

  void add_extra(const char* text) {
    ExtraRecord& r = extras[extraCount++];
    r.wLength = static_cast<WORD>(strlen(text));
    memcpy(r.abData, text, r.wLength);
  }
};

// Polls the driver's KtPrIsPrintFinished for `printer` until the job is
// finished (true) or failed or `maxPolls` polls have passed (false).
inline bool FollowJobToEnd(LONG(WINAPI* isPrintFinished)(DWORD, LONG*, DWORD, DWORD), DWORD printer,
                           int maxPolls = 400) {
  LONG remaining = -1;
  for (int i = 0; i < maxPolls; ++i) {
    const LONG result = isPrintFinished(printer, &remaining, 0, 0);
    if (result == 1)
      return true;
    if (result == -1)
      return false;
  }
  return false;
}

// Centring offset in dots: half the print width the label leaves free,
// rounded up.
inline int CentringOffsetDots(int maxWidthMm, int widthTenthMm, int dotsPerMm) {
  return ((maxWidthMm * 10 - widthTenthMm) * dotsPerMm + 19) / 20;
}

} // namespace veldrin_test
