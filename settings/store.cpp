// Loading and saving a printer's settings in the host's INI file. Every load
// starts from the defaults, so a missing file, section or key is never an
// error and nothing of an earlier load survives.
#include "settings/store.h"

#include <cstdio>
#include <cstring>

#include "driver/slots.h"
#include "host/zovav.h"
#include "settings/ini_layout.h"
#include "settings/serial_string.h"

namespace {
void format_key(char* key, size_t size, const char* format, uint8_t slot) {
  snprintf(key, size, format, static_cast<int>(slot));
}

// The port and the five line members the serial string carries.
void apply_serial(PrinterSlot& s, const SerialSettings& serial) {
  s.nComPort = static_cast<DWORD>(serial.nComPort);
  s.dcb.BaudRate = serial.dwBaudRate;
  s.dcb.ByteSize = serial.byteSize;
  s.dcb.StopBits = serial.stopBits;
  s.dcb.Parity = serial.parity;
}
} // namespace

const char* HostIniPath() {
  const char* path = HVTGetIniFileName();
  return (path != nullptr && path[0] != '\0') ? path : nullptr;
}

void SetDefaultPrinterSettings(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  PrinterSlot& s = g_slots[slot];
  apply_serial(s, kDefaultSerialSettings);
  s.dcb.XonLim = 256;
  s.dcb.XoffLim = 256;
  s.dcb.EofChar = 0x1A;
  // Reads return at once with whatever has arrived; a write may take 5 s.
  s.timeouts.ReadIntervalTimeout = MAXDWORD;
  s.timeouts.ReadTotalTimeoutMultiplier = 0;
  s.timeouts.ReadTotalTimeoutConstant = 0;
  s.timeouts.WriteTotalTimeoutMultiplier = 0;
  s.timeouts.WriteTotalTimeoutConstant = 5000;
  s.dwInQueue = 1024;
  s.dwOutQueue = 512;
  s.nMaxWidth = kDefaultMaxWidthMm;
  s.nErrorCode = 0;
  memcpy(g_formatBlocks[slot].achImageX, "0000", 4);
  memcpy(g_formatBlocks[slot].achImageY, "0000", 4);
}

int LoadPrinterSettings(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return 1;             // GCOVR_EXCL_LINE
  SetDefaultPrinterSettings(slot);
  const char* ini = HostIniPath();
  if (ini == nullptr)
    return 1;
  PrinterSlot& s = g_slots[slot];

  char key[16];
  char text[512];
  format_key(key, sizeof(key), kIniSerialKeyFormat, slot);
  DWORD length = GetPrivateProfileStringA(kIniDriverSection, key, "", text, sizeof(text), ini);
  SerialSettings serial;
  if (ParseSerialString(text, strnlen(text, length), &serial))
    apply_serial(s, serial);

  format_key(key, sizeof(key), kIniMaxWidthKeyFormat, slot);
  s.nMaxWidth = GetPrivateProfileIntA(kIniDriverSection, key, kDefaultMaxWidthMm, ini);
  return 1;
}

void SavePrinterSettings(uint8_t slot) {
  if (slot >= kSlotCount) // GCOVR_EXCL_BR_LINE: every export has checked the slot
    return;               // GCOVR_EXCL_LINE
  const char* ini = HostIniPath();
  if (ini == nullptr)
    return;
  const PrinterSlot& s = g_slots[slot];
  SerialSettings serial{static_cast<int32_t>(s.nComPort), s.dcb.BaudRate, s.dcb.ByteSize,
                        s.dcb.StopBits, s.dcb.Parity};
  char text[kSerialStringLength + 1];
  FormatSerialString(serial, text);

  char key[16];
  format_key(key, sizeof(key), kIniSerialKeyFormat, slot);
  WritePrivateProfileStringA(kIniDriverSection, key, text, ini);
  char width[16];
  snprintf(width, sizeof(width), "%d", static_cast<int>(s.nMaxWidth));
  format_key(key, sizeof(key), kIniMaxWidthKeyFormat, slot);
  WritePrivateProfileStringA(kIniDriverSection, key, width, ini);
}

DWORD LoadWaitWriteTime() {
  const char* ini = HostIniPath();
  if (ini == nullptr)
    return kDefaultWaitWriteTimeMs;
  const UINT ms =
      GetPrivateProfileIntA(kIniSystemSection, kIniWaitWriteTimeKey, kDefaultWaitWriteTimeMs, ini);
  // The pause follows every write that had to wait; a value from a damaged
  // file must not stall the host for hours.
  return ms <= kMaxWaitWriteTimeMs ? ms : kMaxWaitWriteTimeMs;
}

DWORD LoadReplyTimeout() {
  const char* ini = HostIniPath();
  if (ini == nullptr)
    return kDefaultReplyTimeoutMs;
  return GetPrivateProfileIntA(kIniDriverSection, kIniReplyTimeoutKey, kDefaultReplyTimeoutMs, ini);
}
