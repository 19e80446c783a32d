// Reading and writing the INI serial settings string.
#include "settings/serial_string.h"

#include <cstdlib>
#include <cstring>

#include "driver/fixed_field.h"

namespace {
uint8_t digit_field(char c) {
  return static_cast<uint8_t>(static_cast<uint8_t>(c) - '0');
}
} // namespace

bool ParseSerialString(const char* text, size_t length, SerialSettings* out) {
  if (text == nullptr || length < kSerialStringMinLength)
    return false;
  out->nComPort = static_cast<int32_t>(static_cast<uint8_t>(text[0])) - '0';
  char baud[6];
  memcpy(baud, text + 2, 5);
  baud[5] = '\0';
  out->dwBaudRate = static_cast<uint32_t>(strtol(baud, nullptr, 10));
  out->byteSize = digit_field(text[8]);
  out->stopBits = digit_field(text[10]);
  out->parity = digit_field(text[12]);
  return true;
}

void FormatSerialString(const SerialSettings& settings, char out[kSerialStringLength + 1]) {
  const bool portFits = settings.nComPort >= 1 && settings.nComPort <= kMaxStoredComPort;
  out[0] = static_cast<char>('0' + (portFits ? settings.nComPort : 0));
  out[1] = '#';
  FormatFixedField(out + 2, 5, static_cast<int32_t>(settings.dwBaudRate));
  out[7] = '#';
  FormatFixedField(out + 8, 1, settings.byteSize);
  out[9] = '#';
  FormatFixedField(out + 10, 1, settings.stopBits);
  out[11] = '#';
  FormatFixedField(out + 12, 1, settings.parity);
  out[13] = '#';
  out[14] = '\0';
}
