// Command builders over the slot's send buffer and label-format block.
#include "protocol/builders.h"

#include "driver/slots.h"
#include "protocol/encoding.h"

namespace {
// The slot's send buffer, or null when the slot or its buffer is missing.
BYTE* send_buffer(uint8_t slot) {
  // Not counted below: every caller has checked the slot and set the buffer.
  return slot < kSlotCount ? g_slots[slot].pSendBuf : nullptr; // GCOVR_EXCL_BR_LINE
}

int finish(uint8_t slot, size_t length) {
  g_slots[slot].dwSendLen = static_cast<DWORD>(length);
  return length > 0 ? 1 : 0; // GCOVR_EXCL_BR_LINE: only a quantity below 0, refused first
}
} // namespace

int BuildClearCommand(uint8_t slot) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodeClearCommand(out)) : 0; // GCOVR_EXCL_BR_LINE
}

int BuildConditionCommand(uint8_t slot, uint16_t dotsPer10mm, uint16_t labelLengthMm) {
  BYTE* out = send_buffer(slot);
  if (out == nullptr) // GCOVR_EXCL_BR_LINE
    return 0;         // GCOVR_EXCL_LINE
  const LabelFormatBlock& f = g_formatBlocks[slot];
  return finish(
      slot, EncodeConditionCommand(out, dotsPer10mm, labelLengthMm, f.achStartPos, f.chContrast));
}

int BuildImageAreaCommand(uint8_t slot, uint16_t dotsPer10mm) {
  BYTE* out = send_buffer(slot);
  if (out == nullptr) // GCOVR_EXCL_BR_LINE
    return 0;         // GCOVR_EXCL_LINE
  const LabelFormatBlock& f = g_formatBlocks[slot];
  return finish(slot, EncodeImageAreaCommand(out, dotsPer10mm, f.achImageX, f.achImageY,
                                             f.achImageWidth, f.achImageHeight));
}

int BuildPrintCommand(uint8_t slot, int32_t quantity) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodePrintCommand(out, quantity)) : 0; // GCOVR_EXCL_BR_LINE
}

int BuildStopCommand(uint8_t slot) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodeStopCommand(out)) : 0; // GCOVR_EXCL_BR_LINE
}

void SetImageAreaFields(uint8_t slot, uint16_t dotsPer10mm, long long x, long long y,
                        long long bytesPerRow, long long rows) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  LabelFormatBlock& f = g_formatBlocks[slot];
  FillImageAreaFields(dotsPer10mm, x, y, bytesPerRow, rows, f.achImageX, f.achImageY,
                      f.achImageWidth, f.achImageHeight);
}
