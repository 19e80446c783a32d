// Fuzz target: the printer's replies as the poll loop meets them: any bytes, in any chunks, into
// a 100-byte receive buffer, scanned after every read (as a heap block of exactly the bytes held,
// so a read past them is caught). The scan must agree with the printer's framing: the last ESC
// with CR two or six bytes on, its letter's code, a count frame's digits ("9999" as "0000").
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t buffer[100 + 6] = {}; // six zeros past the end for the frame test
  size_t received = 0;
  for (size_t at = 0; at < size;) {
    // The first byte of each step is the chunk's length, the rest the bytes.
    const size_t chunk = data[at] % 32 < size - at - 1 ? data[at] % 32 : size - at - 1;
    const size_t taken = chunk < 100 - received ? chunk : 100 - received;
    memcpy(buffer + received, data + at + 1, taken);
    received += taken;
    at += 1 + chunk;
    if (received < 3)
      continue;
    memset(buffer + received, 0, sizeof(buffer) - received);
    long last = -1;
    for (size_t i = 0; i + 3 <= received; ++i)
      if (buffer[i] == 0x1B && (buffer[i + 2] == '\r' || buffer[i + 6] == '\r'))
        last = static_cast<long>(i);
    char remaining[4] = {'~', '~', '~', '~'};
    uint32_t code = 12345;
    const std::vector<uint8_t> exact(buffer, buffer + received);
    const ReplyScan scan = ScanReply(exact.data(), received, remaining, &code);
    if (last < 0) {
      assert(scan == (received < 7 ? kReplyIncomplete : kReplyUnusable) && code == 12345 &&
             remaining[0] == '~');
    } else if (buffer[last + 1] == 'O') {
      char digits[5] = {};
      memcpy(digits, buffer + last + 2, 4);
      const bool none = strtol(digits, nullptr, 10) == 9999;
      assert(scan == kReplyCount && code == 0 && memcmp(remaining, none ? "0000" : digits, 4) == 0);
    } else {
      static const char kLetters[] = "EFTGV"; // 60810 .. 60814; any other letter 60815
      const char* known = static_cast<const char*>(memchr(kLetters, buffer[last + 1], 5));
      assert(scan == kReplyErrorLetter && code == (known ? 60810 + (known - kLetters) : 60815) &&
             remaining[0] == '~');
    }
    received = scan == kReplyIncomplete ? received : 0; // else consumed, whatever it was
  }
  return 0;
}
