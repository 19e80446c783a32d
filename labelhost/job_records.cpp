// The host's records for one print job.
#include "labelhost/job_records.h"

#include <cstdio>
#include <cstring>

void SetUpJobRecords(JobRecords* job, WORD widthTenthMm, WORD lengthTenthMm, int density,
                     int startMm, const PrintData& data) {
  *job = JobRecords{};
  job->format.wLabelWidth = widthTenthMm;
  job->format.wLabelLength = lengthTenthMm;
  job->condition.nContrast = static_cast<SHORT>(density);
  char start[8];
  snprintf(start, sizeof start, "%03d", startMm % 1000);
  memcpy(job->condition.achStartPos, start, 3);
  job->data = data;
  job->info.pFormat = &job->format;
  job->info.pCondition = &job->condition;
  job->info.pPrintData = &job->data;
  job->info.pExtraRecords = job->extras;
  job->info.pExtraCount = &job->extraCount;
}

bool AddExtraRecord(JobRecords* job, const char* text) {
  if (job->extraCount >= kMostExtraRecords)
    return false;
  ExtraRecord& r = job->extras[job->extraCount++];
  r.wLength = static_cast<WORD>(strnlen(text, sizeof r.abData));
  memcpy(r.abData, text, r.wLength);
  return true;
}
