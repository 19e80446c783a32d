// KtPrIoControl: the host's general channel into the driver. One table maps
// each request code to what it does; most answer a capability question with
// a constant, 15 and 16 keep an opaque host value in the slot, 14 registers
// the driver again, and 17 takes over the label-format names and applies a
// stored start position and density from the print position database.
//
// The caller must pass printer number 1..8. For any other number the requests
// that work on a slot or the label-format blocks (15, 16, 17) return 0 and
// touch nothing; the others answer as usual.
#include <cstring>

#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/fixed_field.h"
#include "driver/slots.h"
#include "host/records.h"
#include "host/zovav.h"
#include "settings/position_db.h"

namespace {
// One call's arguments, with the slot resolved when the number names one.
struct ControlCall {
  DWORD dwPrinterNumber; // as passed
  uint8_t nSlot;         // slot of dwPrinterNumber (only for requests with bNeedsSlot)
  void* p;               // data pointer
  void* q;               // second pointer
};

struct ControlRequest;
using ControlHandler = LONG (*)(const ControlCall&, const ControlRequest&);

// One row of the request table.
struct ControlRequest {
  DWORD dwCode;           // request code
  ControlHandler handler; // what the request does
  DWORD dwValue;          // the constant it answers or writes
  DWORD dwOffset;         // byte offset at p of a written value
  bool bNeedsSlot;        // refused for a printer number outside 1..8
};

// Sizes the host puts at q are taken as signed, so a garbage size with the
// top bit set counts as too small rather than as huge.
LONG size_at(const void* q) {
  LONG size;
  memcpy(&size, q, sizeof(size));
  return size;
}

LONG answer_constant(const ControlCall&, const ControlRequest& req) {
  return static_cast<LONG>(req.dwValue);
}

LONG write_word(const ControlCall& call, const ControlRequest& req) {
  if (call.p == nullptr)
    return 0;
  const WORD value = static_cast<WORD>(req.dwValue);
  memcpy(static_cast<BYTE*>(call.p) + req.dwOffset, &value, sizeof(value));
  return 1;
}

LONG write_dword(const ControlCall& call, const ControlRequest& req) {
  if (call.p == nullptr)
    return 0;
  memcpy(static_cast<BYTE*>(call.p) + req.dwOffset, &req.dwValue, sizeof(req.dwValue));
  return 1;
}

LONG write_empty_text(const ControlCall& call, const ControlRequest&) {
  if (call.p == nullptr)
    return 0;
  *static_cast<char*>(call.p) = '\0';
  return 1;
}

// The maximum print width in mm of the model whose type code is at q.
LONG write_max_width(const ControlCall& call, const ControlRequest&) {
  if (call.p == nullptr)
    return 0;
  DWORD typeCode = 0;
  if (call.q != nullptr)
    memcpy(&typeCode, call.q, sizeof(typeCode));
  const PrinterModel& model = typeCode == kModels[0].wTypeCode ? kModels[0] : kModels[1];
  const WORD widthMm = static_cast<WORD>(model.wMaxWidth10 / 10);
  memcpy(call.p, &widthMm, sizeof(widthMm));
  return 1;
}

// A null p gives 0 with nothing written, and the size at q is left alone:
// the caller is meant to pass a valid pointer, and a refusal is safer than a
// crash in the host.
LONG write_all_ones(const ControlCall& call, const ControlRequest& req) {
  if (call.q != nullptr && size_at(call.q) < 4)
    return 0;
  if (call.p == nullptr)
    return 0;
  memcpy(call.p, &req.dwValue, sizeof(req.dwValue));
  if (call.q != nullptr) {
    const LONG size = 4;
    memcpy(call.q, &size, sizeof(size));
  }
  return 1;
}

LONG write_printer_record(const ControlCall& call, const ControlRequest&) {
  if (call.p == nullptr)
    return 0;
  BYTE* rec = static_cast<BYTE*>(call.p);
  memset(rec, 0, 20);
  const WORD typeCode = kModels[0].wTypeCode;
  const WORD value = 200;
  memcpy(rec + 0, &typeCode, sizeof(typeCode));
  memcpy(rec + 2, &value, sizeof(value));
  rec[8] = static_cast<BYTE>(call.dwPrinterNumber);
  return 1;
}

LONG register_again(const ControlCall&, const ControlRequest&) {
  RegisterDLLPrinterFnV(kDriverName, g_hInstance);
  return 1;
}

LONG get_user_data(const ControlCall& call, const ControlRequest&) {
  return static_cast<LONG>(g_slots[call.nSlot].dwUserData);
}

LONG set_user_data(const ControlCall& call, const ControlRequest&) {
  const DWORD previous = g_slots[call.nSlot].dwUserData;
  g_slots[call.nSlot].dwUserData = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(call.p));
  return static_cast<LONG>(previous);
}

// Copies a host text into a block field, always leaving it terminated within
// the field even when the host's text fills all of it.
template <size_t N> void take_text(char (&dest)[N], const char* src) {
  memcpy(dest, src, N);
  dest[N - 1] = '\0';
}

// Request 17. The database is asked with the slot's own terminated copies of
// the names, so an unterminated host text is never read past its block.
LONG take_label_format(const ControlCall& call, const ControlRequest&) {
  int32_t startPos = 0;
  int32_t contrast = 0;
  if (call.q != nullptr && size_at(call.q) < static_cast<LONG>(sizeof(LabelFormatParams)))
    return 0;
  if (call.p == nullptr)
    return 0; // nothing to take over; the blocks keep the last names
  const LabelFormatParams* params = static_cast<const LabelFormatParams*>(call.p);
  for (LabelFormatBlock& block : g_formatBlocks) {
    take_text(block.szProduct, params->szProduct);
    take_text(block.szFormat, params->szFormat);
  }
  LabelFormatBlock& block = g_formatBlocks[call.nSlot];
  // The printer number the slot belongs to: the number as passed for 1..8.
  const int printerNumber = call.nSlot + 1;
  if (!AccessPrintPositionDb(printerNumber, block.szFormat, block.szProduct, &startPos, &contrast,
                             0)) {
    block.bPositionFound = 0;
    return 1;
  }
  FormatFixedField(block.achStartPos, sizeof(block.achStartPos), startPos);
  block.chContrast = static_cast<char>('0' + static_cast<BYTE>(contrast));
  block.bPositionFound = 1;
  return 1;
}

const ControlRequest kRequests[] = {
    {2, answer_constant, 1, 0, false},
    {3, write_word, 1000, 2, false},
    {4, answer_constant, 0, 0, false},
    {5, write_max_width, 0, 0, false},
    {6, write_word, 1, 0, false},
    {7, write_word, 200, 0, false},
    {8, write_word, 1, 0, false},
    {9, answer_constant, 0, 0, false},
    {10, write_all_ones, 0xFFFFFFFF, 0, false},
    {11, write_empty_text, 0, 0, false},
    {12, write_empty_text, 0, 0, false},
    {13, write_printer_record, 0, 0, false},
    {14, register_again, 0, 0, false},
    {15, get_user_data, 0, 0, true},
    {16, set_user_data, 0, 0, true},
    {17, take_label_format, 0, 0, true},
    {18, write_dword, 1, 0, false},
    {19, answer_constant, 0, 0, false},
    {20, answer_constant, 0, 0, false},
};

// Any code not in the table: an empty text at p, as requests 11 and 12.
constexpr ControlRequest kOtherRequest{0, write_empty_text, 0, 0, false};

const ControlRequest& find_request(DWORD code) {
  for (const ControlRequest& req : kRequests)
    if (req.dwCode == code)
      return req;
  return kOtherRequest;
}
} // namespace

LONG WINAPI KtPrIoControl(DWORD printerNumber, DWORD request, void* p, void* q) {
  const ControlRequest& req = find_request(request);
  ControlCall call{printerNumber, 0, p, q};
  if (req.bNeedsSlot && !SlotFromPrinterNumber(printerNumber, &call.nSlot))
    return 0;
  return req.handler(call, req);
}
