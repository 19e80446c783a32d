// The printer's replies as the poll loop meets them: arbitrary bytes arrive
// in arbitrary chunks into a 100-byte receive buffer that each read only
// fills up to its capacity, and every poll scans what has collected, as
// KtPrIsPrintFinished does. Checks that nothing is read or written outside
// the buffer and that what the scan reports agrees with the bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocol/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t buffer[100];
  size_t received = 0;
  size_t at = 0;
  while (at < size) {
    // The first byte of each step is the chunk's length, the rest the bytes.
    size_t chunk = data[at++] % 32;
    if (chunk > size - at)
      chunk = size - at;
    const size_t room = sizeof(buffer) - received;
    const size_t taken = chunk < room ? chunk : room;
    memcpy(buffer + received, data + at, taken);
    received += taken;
    at += chunk;
    if (received < 3)
      continue;
    char remaining[4] = {'~', '~', '~', '~'};
    uint32_t code = 12345;
    const ReplyScan scan = ScanReply(buffer, received, remaining, &code);
    switch (scan) {
    case kReplyIncomplete:
      if (received >= 7 || code != 12345)
        abort();
      continue;
    case kReplyUnusable:
      if (received < 7 || code != 12345 || remaining[0] != '~')
        abort();
      break;
    case kReplyCount:
      if (code != 0 || RemainingCountValue(remaining) == 9999)
        abort();
      break;
    case kReplyErrorLetter:
      if (code < 60810 || code > 60815 || remaining[0] != '~')
        abort();
      break;
    }
    received = 0; // consumed, whatever it was
  }
  return 0;
}
