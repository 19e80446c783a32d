// The host's records for one print job, as it hands them to the driver with
// each label: the label format (its size in tenths of a millimetre), the print
// conditions (density and start position), the print data the driver gave for
// the model, and the extra records sent after an incremental label.
#pragma once

#include <windows.h>

#include "host/records.h"

inline constexpr WORD kMostExtraRecords = 8;

// `info` points into the record itself, so a JobRecords stays where it was set up.
struct JobRecords {
  FormatInfo format;
  ConditionInfo condition;
  PrintData data;
  ExtraRecord extras[kMostExtraRecords];
  WORD extraCount;
  PrintJobInfo info;
};

// A job of labels widthTenthMm x lengthTenthMm at `density` (1..9), starting
// `startMm` (0..999) in, for the model `data` describes; no extra records, to
// the printer (not to a file), complete labels.
void SetUpJobRecords(JobRecords* job, WORD widthTenthMm, WORD lengthTenthMm, int density,
                     int startMm, const PrintData& data);

// Appends an extra record of `text`, cut to the record's 64 bytes; false when
// the job has kMostExtraRecords already.
bool AddExtraRecord(JobRecords* job, const char* text);
