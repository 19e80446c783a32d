// Fuzz target: the printer's replies as the poll loop meets them: any bytes, in any chunks, into
// a 100-byte receive buffer, scanned after every read (as a heap block of exactly the bytes held,
// so a read past them is caught); the scan writes only what its result allows. Then a round trip:
// the input's bytes and one well-formed frame behind them read as that frame.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "protocol/reply.h"

namespace {
// The printer's reply frames (ESC = 0x1B, CR = 0x0D) and what each means:
//   ESC 'O' d d d d CR   remaining count d d d d ("9999": "0000"), code 0
//   ESC x CR             letter x and its code below; any other x (not ESC, CR): 60815
const uint32_t kErrorFrames[][2] = {
    {'E', 60810}, {'F', 60811}, {'T', 60812}, {'G', 60813}, {'V', 60814}};
constexpr uint32_t kUntouched = 12345;
constexpr char kNoCount[] = "~~~~";

ReplyScan scan(const uint8_t* bytes, size_t length, char* remaining, uint32_t* code) {
  memcpy(remaining, kNoCount, 4);
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
      assert(code >= 60810 && code <= 60815 && memcmp(remaining, kNoCount, 4) == 0);
    else if (received > 0)
      assert((s == kReplyIncomplete || (s == kReplyUnusable && received >= 7)) &&
             code == kUntouched && memcmp(remaining, kNoCount, 4) == 0);
    received = s == kReplyIncomplete ? received : 0; // else consumed, whatever it was
  }
  // The round trip: the input's last bytes, then a frame made from its first five.
  if (size < 5)
    return 0;
  const bool count = data[0] % 2 == 0;
  uint8_t frame[7] = {0x1B, count ? uint8_t('O') : data[1], 0x0D, 0, 0, 0, 0x0D};
  for (int i = 0; count && i < 4; ++i)
    frame[2 + i] = static_cast<uint8_t>('0' + data[1 + i] % 10);
  if (!count && (data[1] == 0x1B || data[1] == 0x0D || data[1] == 'O'))
    return 0; // ESC 'O' CR is a count frame cut short
  const size_t length = count ? 7 : 3, before = std::min<size_t>(size, 100 - length);
  memcpy(buffer, data + size - before, before);
  memcpy(buffer + before, frame, length);
  const ReplyScan s = scan(buffer, before + length, remaining, &code);
  uint32_t expected = count ? 0 : 60815;
  for (const auto& f : kErrorFrames)
    expected = !count && f[0] == data[1] ? f[1] : expected;
  const char* digits = reinterpret_cast<const char*>(frame + 2);
  digits = memcmp(digits, "9999", 4) == 0 ? "0000" : digits;
  assert(s == (count ? kReplyCount : kReplyErrorLetter) && code == expected &&
         memcmp(remaining, count ? digits : kNoCount, 4) == 0);
  return 0;
}
