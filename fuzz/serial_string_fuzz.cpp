// The INI serial settings string from a damaged or hand-edited INI file:
// any bytes, any length. Reading never goes past the text; what it reads,
// written back and read again, gives the same settings wherever the fields
// can hold them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/serial_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so reading one byte too far is caught.
  std::vector<char> text(data, data + size);
  SerialSettings parsed{7, 7, 7, 7, 7};
  if (!ParseSerialString(text.data(), text.size(), &parsed)) {
    if (size >= kSerialStringMinLength || parsed.nComPort != 7 || parsed.dwBaudRate != 7)
      abort();
    return 0;
  }
  char written[kSerialStringLength + 1];
  FormatSerialString(parsed, written);
  if (strlen(written) != kSerialStringLength)
    abort();
  SerialSettings again{};
  if (!ParseSerialString(written, kSerialStringLength, &again))
    abort();
  const bool portFits = parsed.nComPort >= 1 && parsed.nComPort <= kMaxStoredComPort;
  if (again.nComPort != (portFits ? parsed.nComPort : 0))
    abort();
  if (again.dwBaudRate != parsed.dwBaudRate)
    abort();
  if ((parsed.byteSize < 10 && again.byteSize != parsed.byteSize) ||
      (parsed.stopBits < 10 && again.stopBits != parsed.stopBits) ||
      (parsed.parity < 10 && again.parity != parsed.parity))
    abort();
  return 0;
}
