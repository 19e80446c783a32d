// Command builders over the slot's send buffer and label-format block.
#include "protocol/builders.h"

#include "driver/slots.h"
#include "protocol/encoding.h"

namespace {
// The slot's send buffer, or null when the slot or its buffer is missing.
BYTE* send_buffer(uint8_t slot) {
  return slot < kSlotCount ? g_slots[slot].pSendBuf : nullptr;
}

int finish(uint8_t slot, size_t length) {
  g_slots[slot].dwSendLen = static_cast<DWORD>(length);
  return length > 0 ? 1 : 0;
}
} // namespace

int BuildClearCommand(uint8_t slot) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodeClearCommand(out)) : 0;
}

int BuildConditionCommand(uint8_t slot, uint16_t dotsPer10mm, uint16_t labelLengthMm) {
  BYTE* out = send_buffer(slot);
  if (out == nullptr)
    return 0;
  const LabelFormatBlock& f = g_formatBlocks[slot];
  return finish(
      slot, EncodeConditionCommand(out, dotsPer10mm, labelLengthMm, f.achStartPos, f.chContrast));
}

int BuildImageAreaCommand(uint8_t slot, uint16_t dotsPer10mm) {
  BYTE* out = send_buffer(slot);
  if (out == nullptr)
    return 0;
  const LabelFormatBlock& f = g_formatBlocks[slot];
  return finish(slot, EncodeImageAreaCommand(out, dotsPer10mm, f.achImageX, f.achImageY,
                                             f.achImageWidth, f.achImageHeight));
}

int BuildPrintCommand(uint8_t slot, int32_t quantity) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodePrintCommand(out, quantity)) : 0;
}

int BuildStopCommand(uint8_t slot) {
  BYTE* out = send_buffer(slot);
  return out != nullptr ? finish(slot, EncodeStopCommand(out)) : 0;
}

void SetImageAreaFields(uint8_t slot, uint16_t dotsPer10mm, long long x, long long y,
                        long long bytesPerRow, long long rows) {
  if (slot >= kSlotCount)
    return;
  LabelFormatBlock& f = g_formatBlocks[slot];
  FillImageAreaFields(dotsPer10mm, x, y, bytesPerRow, rows, f.achImageX, f.achImageY,
                      f.achImageWidth, f.achImageHeight);
}
