// The label print job: one label from the host's bitmap to the printer,
// complete or as the rectangles in which it differs from the label before,
// followed by the print command; or, in file mode, the complete label's
// command stream written to the host's file.
//
// Choices where the host's data could do harm:
//  - a null job record or a null pointer in it, a negative quantity (no
//    print command exists for it) or a label with no width fail the job
//    before anything is sent (60805, 60805, 60804);
//  - a label wider than the maximum print width starts at the head's left
//    edge instead of a negative offset;
//  - dots outside the host's bitmap (a bitmap narrower than the label, the
//    padding past its width) are sent white; nothing is read past a row.
#include <cstdlib>
#include <cstring>

#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/slots.h"
#include "host/zovav.h"
#include "imaging/changed_regions.h"
#include "imaging/monochrome.h"
#include "job/label_geometry.h"
#include "job/raster_rows.h"
#include "protocol/builders.h"
#include "protocol/encoding.h"
#include "protocol/status.h"
#include "serial/port.h"
#include "serial/transfer.h"

namespace {
constexpr DWORD kJobBufferSize = 4096;     // the job's send buffer
constexpr DWORD kRasterPiece = 256;        // characters per raster send
constexpr DWORD kCompareDelayMs = 3500;    // pause before comparing two labels
constexpr SIZE_T kBitsSlack = 32;          // spare bytes after the bits buffer
constexpr uint64_t kMaxBitsBytes = 256u << 20;  // no label needs more bits than this
constexpr WORD kMaxExtraLength = sizeof(ExtraRecord::abData);

// Everything one job makes and must release, and what it works from.
struct PrintJob {
  uint8_t slot;                  // the printer's slot
  const PrintJobInfo* info;      // the host's job record
  BYTE* buffer;                  // the job's send buffer (kJobBufferSize bytes)
  HBITMAP hMono;                 // the label's monochrome bitmap
  HGLOBAL hBits;                 // the bits buffer; 0 once released
  BYTE* pBits;                   // the bits buffer, locked; null when not locked
  ChangedRegion* regions;        // changed rectangles from the comparison
  LabelBits bits;                // the label's rows as read from hMono
  uint16_t wDotsPer10mm;         // resolution from the host's print data
  uint16_t wOffset;              // centring offset in dots
  uint16_t wBytesPerRow;         // the label's bytes per row
  uint16_t wLengthMm;            // label length in whole millimetres
};

bool to_file(const PrintJob& job) { return job.info->bToFile != 0; }

// Sends the slot's send buffer to the port, or in file mode writes it to the
// host's file (whose result the host checks itself). False: the send failed.
bool emit(const PrintJob& job) {
  const PrinterSlot& s = g_slots[job.slot];
  if (to_file(job)) {
    _lwrite(job.info->hFile, reinterpret_cast<LPCCH>(s.pSendBuf), s.dwSendLen);
    return true;
  }
  return SendSlotBuffer(job.slot) == 0;
}

// Streams an image's rows as raster characters in pieces of 256, the CR that
// ends the image riding on the last piece.
bool stream_image(const PrintJob& job, int32_t firstRow, int32_t rows, int32_t firstByte,
                  int32_t bytesPerRow) {
  PrinterSlot& s = g_slots[job.slot];
  s.pSendBuf = job.buffer;
  DWORD n = 0;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < bytesPerRow; ++c) {
      EncodeRasterByte(LabelByte(job.bits, firstRow + r, firstByte + c), job.buffer + n);
      n += 2;
      if (r == rows - 1 && c == bytesPerRow - 1)
        job.buffer[n++] = kCr;
      if (n >= kRasterPiece) {
        s.dwSendLen = n;
        if (!emit(job))
          return false;
        n = 0;
      }
    }
  }
  if (n == 0)
    return true;
  s.dwSendLen = n;
  return emit(job);
}

bool send_condition(const PrintJob& job) {
  BuildConditionCommand(job.slot, job.wDotsPer10mm, job.wLengthMm);
  return emit(job);
}

// One image-area command and its rows.
bool send_image(const PrintJob& job, int32_t x, int32_t y, int32_t bytesPerRow, int32_t rows,
                int32_t firstByte) {
  SetImageAreaFields(job.slot, job.wDotsPer10mm, x, y, bytesPerRow, rows);
  BuildImageAreaCommand(job.slot, job.wDotsPer10mm);
  return emit(job) && stream_image(job, y, rows, firstByte, bytesPerRow);
}

bool send_regions(const PrintJob& job, int count) {
  if (!send_condition(job))
    return false;
  for (int i = 0; i < count; ++i) {
    const ChangedRegion& r = job.regions[i];
    if (!send_image(job, job.wOffset + r.x, r.y, (r.width + 7) / 8, r.height, r.x / 8))
      return false;
  }
  return true;
}

bool send_complete_label(const PrintJob& job) {
  BuildClearCommand(job.slot);
  if (!emit(job) || !send_condition(job))
    return false;
  return send_image(job, job.wOffset, 0, job.wBytesPerRow, job.bits.nHeight, 0);
}

bool send_extra_records(const PrintJob& job) {
  const PrintJobInfo& info = *job.info;
  const WORD count = info.pExtraCount != nullptr ? *info.pExtraCount : 0;
  if (info.pExtraRecords == nullptr)
    return true;
  PrinterSlot& s = g_slots[job.slot];
  bool sent = true;
  for (WORD i = 0; i < count && sent; ++i) {
    const ExtraRecord& record = info.pExtraRecords[i];
    s.pSendBuf = const_cast<BYTE*>(record.abData);
    // A length past the record's 64 bytes would send the next record's bytes.
    s.dwSendLen = record.wLength <= kMaxExtraLength ? record.wLength : kMaxExtraLength;
    sent = SendSlotBuffer(job.slot) == 0;
  }
  s.pSendBuf = job.buffer;
  return sent;
}

// The start position and density of the host's print conditions, unless the
// print position database supplied them.
void take_host_conditions(const PrintJob& job) {
  LabelFormatBlock& f = g_formatBlocks[job.slot];
  if (f.bPositionFound != 0)
    return;
  const ConditionInfo& c = *job.info->pCondition;
  for (int i = 0; i < 3; ++i)
    f.achStartPos[i] = c.achStartPos[i] != '\0' ? c.achStartPos[i] : '0';
  f.chContrast = static_cast<char>('0' + static_cast<BYTE>(c.nContrast));
}

// Reads the monochrome label's bits into a locked bits buffer. Returns the
// error code, or 0.
DWORD read_label_bits(PrintJob& job) {
  BITMAP bm{};
  if (GetObjectA(job.hMono, sizeof(bm), &bm) != sizeof(bm))
    return kErrBitmap;
  const uint64_t size = static_cast<uint64_t>(bm.bmHeight) * static_cast<uint64_t>(bm.bmWidthBytes);
  if (size > kMaxBitsBytes)
    return kErrMemory;
  job.hBits = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size) + kBitsSlack);
  if (job.hBits == nullptr)
    return kErrMemory;
  job.pBits = static_cast<BYTE*>(GlobalLock(job.hBits));
  if (job.pBits == nullptr)
    return kErrMemory;
  if (GetBitmapBits(job.hMono, static_cast<LONG>(size), job.pBits) != static_cast<LONG>(size))
    return kErrBitmap;
  job.bits = LabelBits{job.pBits, bm.bmWidth, bm.bmHeight, bm.bmWidthBytes};

  // The copy kept for the next label's comparison (never in file mode).
  if (!to_file(job)) {
    PrinterSlot& s = g_slots[job.slot];
    if (s.hBitmap != nullptr) {
      DeleteObject(s.hBitmap);
      s.hBitmap = nullptr;
    }
    if (job.info->bIncremental)
      s.hBitmap = CreateBitmap(bm.bmWidth, bm.bmHeight, bm.bmPlanes, bm.bmBitsPixel, job.pBits);
  }
  return kErrNone;
}

void release_bits(PrintJob& job) {
  if (job.pBits != nullptr) { // GCOVR_EXCL_BR_LINE: both held after a read
    GlobalUnlock(job.hBits);
    job.pBits = nullptr;
  }
  if (job.hBits != nullptr) { // GCOVR_EXCL_BR_LINE
    GlobalFree(job.hBits);
    job.hBits = nullptr;
  }
}

void release_job(PrintJob& job) {
  if (job.hMono != nullptr)
    DeleteObject(job.hMono);
  free(job.regions);
  g_slots[job.slot].pSendBuf = nullptr;  // the buffer ends with this call
}

SHORT fail_job(PrintJob& job, DWORD code) {
  g_slots[job.slot].nErrorCode = code;
  OutputDebugStringEx("GlobalUnlock(hBuf)");
  if (job.pBits != nullptr) {
    GlobalUnlock(job.hBits);
    job.pBits = nullptr;
  }
  OutputDebugStringEx("GlobalFree(hBuf)");
  if (job.hBits != nullptr) {
    GlobalFree(job.hBits);
    job.hBits = nullptr;
  }
  OutputDebugStringEx("PrintOneLabel--Return NG");
  release_job(job);
  return -1;
}

bool job_record_usable(const PrintJobInfo* info) {
  return info != nullptr && info->pFormat != nullptr && info->pCondition != nullptr &&
         info->pPrintData != nullptr;
}
} // namespace

SHORT WINAPI KtPrPrintOneLabel(DWORD printerNumber, LONG quantity, HBITMAP hLabelBitmap,
                               const PrintJobInfo* pJob) {
  BYTE buffer[kJobBufferSize] = {};
  PrintJob job{};
  job.slot = SlotOrFirst(printerNumber);
  job.info = pJob;
  job.buffer = buffer;
  PrinterSlot& s = g_slots[job.slot];
  s.nErrorCode = kErrNone;
  s.pSendBuf = buffer;

  if (!job_record_usable(pJob) || quantity < 0)
    return fail_job(job, kErrPrint);
  if (hLabelBitmap == nullptr || (pJob->bToFile && pJob->hFile == 0))
    return fail_job(job, kErrBitmap);

  job.wDotsPer10mm = pJob->pPrintData->wDotsPer10mm;
  const int32_t dotsPerMm = job.wDotsPer10mm / 10;
  job.wOffset = CentringOffset(static_cast<int32_t>(s.nMaxWidth), pJob->pFormat->wLabelWidth,
                               dotsPerMm);
  job.wBytesPerRow = LabelBytesPerRow(pJob->pFormat->wLabelWidth, dotsPerMm);
  job.wLengthMm = pJob->pFormat->wLabelLength / 10;
  if (job.wBytesPerRow == 0)
    return fail_job(job, kErrBitmap);

  job.hMono = CreateMonochromeLabelBitmap(hLabelBitmap);
  if (job.hMono == nullptr)
    return fail_job(job, kErrBitmap);

  if (!pJob->bToFile && IsPortClosed(s.hComm)) {
    s.hComm = OpenCommPort(job.slot);
    if (IsPortClosed(s.hComm))
      return fail_job(job, kErrCommOpen);
  }

  int changes = -1;
  if (s.hBitmap != nullptr && pJob->bIncremental && !pJob->bToFile) {
    Sleep(kCompareDelayMs);
    changes = FindChangedRegions(s.hBitmap, job.hMono, &job.regions);
  }

  take_host_conditions(job);

  if (changes == 0) {
    if (!send_condition(job))
      return fail_job(job, kErrTransmit);
  } else {
    const DWORD code = read_label_bits(job);
    if (code != kErrNone)
      return fail_job(job, code);
    const bool sent = changes > 0 ? send_regions(job, changes) : send_complete_label(job);
    if (!sent)
      return fail_job(job, kErrTransmit);
    release_bits(job);
    if (pJob->bToFile) {
      release_job(job);
      return 0;
    }
  }

  if (pJob->bIncremental && !send_extra_records(job))
    return fail_job(job, kErrTransmit);
  BuildPrintCommand(job.slot, quantity);
  if (SendSlotBuffer(job.slot) != 0)
    return fail_job(job, kErrTransmit);
  s.dwLastRecvTick = GetTickCount();
  ArmReplyWatch(job.slot);
  if (!RaiseModemLines(s.hComm))
    return fail_job(job, kErrPrint);
  release_job(job);
  return 0;
}

SHORT WINAPI KtPrStartPrint(DWORD printerNumber, LONG quantity, HBITMAP hLabelBitmap,
                            const PrintJobInfo* pJob) {
  if (KtPrStopPrint(printerNumber) == 0)
    return -1;
  return KtPrPrintOneLabel(printerNumber, quantity, hLabelBitmap, pJob);
}
