// Fuzz target: the printer's replies as the poll loop meets them: any bytes, in any chunks, into
// a 100-byte receive buffer, scanned after every read (as a heap block of exactly the bytes held,
// so a read past them is caught); the scan writes only what its result allows. Then a round trip:
// the input's last bytes and one of the printer's frames behind them read as that frame.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "protocol/reply.h"

namespace {
// The printer's frames (ESC 'O' d d d d CR: d d d d labels left, "9999" none; ESC x CR: error x)
// and what each reads as: the remaining count (untouched: "~~~~") and the code.
const struct {
  const char *frame, *remaining;
  uint32_t code;
} kFrames[] = {{"\033O0012\r", "0012", 0}, {"\033O9999\r", "0000", 0}, {"\033E\r", "~~~~", 60810},
               {"\033F\r", "~~~~", 60811}, {"\033T\r", "~~~~", 60812}, {"\033G\r", "~~~~", 60813},
               {"\033V\r", "~~~~", 60814}, {"\033X\r", "~~~~", 60815}};
constexpr uint32_t kUntouched = 12345;

ReplyScan scan(const uint8_t* bytes, size_t length, char* remaining, uint32_t* code) {
  memcpy(remaining, "~~~~", 4);
  *code = kUntouched;
  const std::vector<uint8_t> exact(bytes, bytes + length);
  return ScanReply(exact.data(), length, remaining, code);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t buffer[100 + 4] = {}; // zeros past the bytes held: a count cut short reads them
  size_t received = 0;
  char remaining[4];
  uint32_t code;
  for (size_t at = 0; at < size;) {
    // The first byte of each step is the chunk's length, the rest the bytes.
    const size_t chunk = std::min<size_t>(data[at] % 32, size - at - 1);
    const size_t taken = std::min(chunk, 100 - received);
    memcpy(buffer + received, data + at + 1, taken);
    memset(buffer + received + taken, 0, sizeof(buffer) - received - taken);
    received += taken, at += 1 + chunk;
    const ReplyScan s = received > 0 ? scan(buffer, received, remaining, &code) : kReplyIncomplete;
    if (s == kReplyCount) // four bytes held, or zeros after them
      assert(code == 0 && (memcmp(remaining, "0000", 4) == 0 ||
                           memmem(buffer, received + 4, remaining, 4) != nullptr));
    else if (s == kReplyErrorLetter)
      assert(code >= 60810 && code <= 60815 && memcmp(remaining, "~~~~", 4) == 0);
    else if (received > 0)
      assert((s == kReplyIncomplete || (s == kReplyUnusable && received >= 7)) &&
             code == kUntouched && memcmp(remaining, "~~~~", 4) == 0);
    received = s == kReplyIncomplete ? received : 0; // else consumed, whatever it was
  }
  // The round trip: the input's last bytes, then the frame its size picks.
  const auto& f = kFrames[size % std::size(kFrames)];
  const size_t length = strlen(f.frame), before = std::min<size_t>(size, 100 - length);
  memcpy(buffer, data + size - before, before);
  memcpy(buffer + before, f.frame, length);
  const ReplyScan s = scan(buffer, before + length, remaining, &code);
  assert(s == (f.code == 0 ? kReplyCount : kReplyErrorLetter) && code == f.code &&
         memcmp(remaining, f.remaining, 4) == 0);
  return 0;
}
