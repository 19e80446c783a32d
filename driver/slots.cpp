// Module-wide tables and the printer-number rules.
#include "driver/slots.h"

PrinterSlot g_slots[kSlotCount];
LabelFormatBlock g_formatBlocks[kSlotCount];
BYTE g_recvBuffers[kSlotCount][kRecvBufferSize];
DWORD g_dwWaitWriteTime = 5;
HINSTANCE g_hInstance;

uint8_t SlotOrFirst(DWORD printerNumber) {
  uint8_t slot = 0;
  return SlotFromPrinterNumber(printerNumber, &slot) ? slot : 0;
}

bool SlotFromPrinterNumber(DWORD printerNumber, uint8_t* slot) {
  return SlotFromIndex(static_cast<uint8_t>(static_cast<uint8_t>(printerNumber) - 1), slot);
}

bool SlotFromIndex(DWORD slotIndex, uint8_t* slot) {
  const uint8_t low = static_cast<uint8_t>(slotIndex);
  if (low >= kSlotCount)
    return false;
  *slot = low;
  return true;
}

const PrinterModel& ModelByIndex(DWORD modelIndex) {
  return kModels[static_cast<uint8_t>(modelIndex) == 0 ? 0 : 1];
}

const PrinterModel* ModelByTypeCode(WORD typeCode) {
  for (const PrinterModel& model : kModels)
    if (model.wTypeCode == typeCode)
      return &model;
  return nullptr;
}
