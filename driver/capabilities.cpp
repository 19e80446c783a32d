// Capability queries: driver spec, printer spec, print data, print notify.
// The two spec records follow the host's size handshake: a null record asks for
// the size to provide, a record smaller than the fixed size is refused
// untouched.
#include <cstring>

#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/slots.h"

namespace {
constexpr DWORD kPrinterSpecSize = sizeof(PrinterSpec); // 268
constexpr DWORD kDriverSpecSize = sizeof(DriverSpec);   // 16
} // namespace

DWORD WINAPI KtPrGetDriverSpec(DriverSpec* pSpec) {
  // The host asks for one size for both spec records, so the null query
  // answers with the larger one.
  if (pSpec == nullptr)
    return kPrinterSpecSize;
  if (pSpec->dwSize < kDriverSpecSize)
    return 0;
  pSpec->dwReserved4 = 0;
  pSpec->dwReserved8 = 0;
  pSpec->dwModelCount = kModelCount;
  return kDriverSpecSize;
}

DWORD WINAPI KtPrGetPrinterSpec(PrinterSpec* pSpec, DWORD modelIndex) {
  if (pSpec == nullptr)
    return kPrinterSpecSize;
  if (pSpec->dwSize < kPrinterSpecSize)
    return 0;
  const PrinterModel& model = ModelByIndex(modelIndex);
  pSpec->dwTypeCode = model.wTypeCode;
  // Cleared first so that a loader that writes nothing leaves an empty name.
  memset(pSpec->szModelName, 0, sizeof(pSpec->szModelName));
  LoadDriverString(model.nNameId, pSpec->szModelName, sizeof(pSpec->szModelName));
  pSpec->wDpiX = model.wDpi;
  pSpec->wDpiY = model.wDpi;
  return kPrinterSpecSize;
}

DWORD WINAPI KtPrPrintNotify(DWORD, DWORD) {
  return 0;
}

DWORD WINAPI KtPrGetPrintData(DWORD printerNumber, PrintData* pData) {
  if (pData == nullptr)
    return 1;
  const PrinterModel* model = ModelByTypeCode(pData->wTypeCode);
  if (model == nullptr)
    return 1; // unknown printer types are left to the host
  pData->wDotsPer10mm = model->wDotsPer10mm;
  pData->wHostValue6 = 50;
  pData->wHostValue8 = 200;
  pData->wMaxWidth10 = model->wMaxWidth10;
  pData->wHostValue12 = 2000;
  pData->wHostValue14 = 0;
  pData->bHostValue16 = 0;
  pData->bPrinterNo = static_cast<BYTE>(printerNumber);
  pData->wHostValue18 = 0;
  return 1;
}
