// The driver's module-wide state: the eight printer slots, the eight
// label-format blocks, the per-slot receive buffers and the write pause, plus
// the rules that turn the host's printer number into a slot index and the
// table of printer models.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

inline constexpr int kSlotCount = 8;
inline constexpr DWORD kRecvBufferSize = 100; // capacity of a slot's receive buffer

// Per-printer runtime record.
struct PrinterSlot {
  HANDLE hComm;          // open serial port; 0 or INVALID_HANDLE_VALUE: none
  HANDLE hEvent;         // manual-reset event of every overlapped operation; 0: none
  DWORD dwUserData;      // opaque host value (control requests 15 and 16)
  DWORD nErrorCode;      // last DriverErrorCode, 0 for none
  DWORD nComPort;        // n of "\\.\COMn"
  COMMTIMEOUTS timeouts; // time-outs applied at port open
  DCB dcb;               // serial parameters applied at port open (seven members)
  DWORD dwInQueue;       // SetupComm input queue size
  DWORD dwOutQueue;      // SetupComm output queue size
  BYTE* pSendBuf;        // bytes of the next transmission
  BYTE* pRecvBuf;        // where received bytes collect
  DWORD dwReceived;      // bytes now in pRecvBuf
  DWORD dwSendLen;       // bytes in pSendBuf to send
  DWORD dwRecvSize;      // capacity of pRecvBuf
  char achRemaining[4];  // digits of the last "labels still to print" reply
  HBITMAP hBitmap;       // monochrome bitmap of the last label sent; 0: none
  DWORD dwLastRecvTick;  // GetTickCount at the last read or job end
  DWORD nMaxWidth;       // maximum print width in mm
};

// Per-slot label-format parameters. The ach/ch fields are not terminated.
struct LabelFormatBlock {
  char achStartPos[3];    // print start position, three ASCII digits
  char chContrast;        // print density, '0' + value
  char achImageX[4];      // image x in dots
  char achImageY[4];      // image y in rows
  char achImageWidth[4];  // image width (four or three characters used)
  char achImageHeight[4]; // image height (four or three characters used)
  char szProduct[256];    // product name of the last control request 17
  char szFormat[260];     // label format name of the last control request 17
  DWORD bPositionFound;   // 1: start position and density came from the database
};

static_assert(sizeof(COMMTIMEOUTS) == 20);
static_assert(sizeof(DCB) == 28);
static_assert(offsetof(PrinterSlot, hEvent) == 4);
static_assert(offsetof(PrinterSlot, dwUserData) == 8);
static_assert(offsetof(PrinterSlot, nErrorCode) == 12);
static_assert(offsetof(PrinterSlot, nComPort) == 16);
static_assert(offsetof(PrinterSlot, timeouts) == 20);
static_assert(offsetof(PrinterSlot, dcb) == 40);
static_assert(offsetof(PrinterSlot, dwInQueue) == 68);
static_assert(offsetof(PrinterSlot, dwOutQueue) == 72);
static_assert(offsetof(PrinterSlot, pSendBuf) == 76);
static_assert(offsetof(PrinterSlot, pRecvBuf) == 80);
static_assert(offsetof(PrinterSlot, dwReceived) == 84);
static_assert(offsetof(PrinterSlot, dwSendLen) == 88);
static_assert(offsetof(PrinterSlot, dwRecvSize) == 92);
static_assert(offsetof(PrinterSlot, achRemaining) == 96);
static_assert(offsetof(PrinterSlot, hBitmap) == 100);
static_assert(offsetof(PrinterSlot, dwLastRecvTick) == 104);
static_assert(offsetof(PrinterSlot, nMaxWidth) == 108);
static_assert(sizeof(PrinterSlot) == 112);
static_assert(offsetof(LabelFormatBlock, chContrast) == 3);
static_assert(offsetof(LabelFormatBlock, achImageX) == 4);
static_assert(offsetof(LabelFormatBlock, achImageY) == 8);
static_assert(offsetof(LabelFormatBlock, achImageWidth) == 12);
static_assert(offsetof(LabelFormatBlock, achImageHeight) == 16);
static_assert(offsetof(LabelFormatBlock, szProduct) == 20);
static_assert(offsetof(LabelFormatBlock, szFormat) == 276);
static_assert(offsetof(LabelFormatBlock, bPositionFound) == 536);
static_assert(sizeof(LabelFormatBlock) == 540);

// Module-wide tables; static storage, all zero at load.
extern PrinterSlot g_slots[kSlotCount];
extern LabelFormatBlock g_formatBlocks[kSlotCount];
// One receive buffer per slot, so polling printers in turn never mixes their bytes.
extern BYTE g_recvBuffers[kSlotCount][kRecvBufferSize];
extern DWORD g_dwWaitWriteTime; // pause in ms after a write that went pending
extern HINSTANCE g_hInstance;   // this module, kept at process attach

// Printer number (1..8) to slot index, for the exports that accept any value:
// the low byte minus one, and slot 0 for any low byte outside 1..8.
uint8_t SlotOrFirst(DWORD printerNumber);

// Printer number (1..8) to slot index for the exports whose callers must pass a
// valid number. Returns false, touching nothing, for any other low byte.
bool SlotFromPrinterNumber(DWORD printerNumber, uint8_t* slot);

// Slot index itself (0..7) for the exports that take it. False for any other
// low byte.
bool SlotFromIndex(DWORD slotIndex, uint8_t* slot);

// A handle value in hComm that means no port is open.
inline bool IsPortClosed(HANDLE h) {
  return h == nullptr || h == INVALID_HANDLE_VALUE;
}

// The printer models the driver offers.
struct PrinterModel {
  WORD wTypeCode;    // host printer type code
  UINT nNameId;      // string id of the model name
  WORD wDpi;         // dots per inch
  WORD wDotsPer10mm; // dots per 10 mm (print data)
  WORD wMaxWidth10;  // ten times the maximum print width in mm (print data)
};
inline constexpr PrinterModel kModels[] = {
    {261, 60001, 305, 120, 1060}, // TLX-Pro, 12 dots/mm
    {264, 60003, 203, 80, 1120},  // TLX-Pro, 8 dots/mm
};
inline constexpr int kModelCount = sizeof(kModels) / sizeof(kModels[0]);

// Model by the low byte of the host's model index: 0 the 12 dot/mm model, any
// other value the 8 dot/mm model.
const PrinterModel& ModelByIndex(DWORD modelIndex);

// Model by printer type code, or null for a code the driver does not know.
const PrinterModel* ModelByTypeCode(WORD typeCode);
