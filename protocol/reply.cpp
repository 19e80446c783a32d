// Reply frames.
#include "protocol/reply.h"

#include <cstdlib>
#include <cstring>

#include "driver/errors.h"

namespace {
constexpr size_t kReplyWindow = 100; // bytes of one receive buffer

struct ReplyLetter {
  uint8_t letter; // byte after ESC
  uint32_t code;  // error code it reports; 0 for the remaining count
};
constexpr ReplyLetter kReplyLetters[] = {
    {'O', kErrNone},        {'E', kErrReplySet},     {'F', kErrReplyRibbon},
    {'T', kErrReplyParity}, {'G', kErrReplyFraming}, {'V', kErrReplyOverrun},
};

uint8_t byte_at(const uint8_t* data, size_t length, size_t i) {
  return i < length ? data[i] : 0;
}
} // namespace

bool FindLastReplyFrame(const uint8_t* data, size_t length, size_t* frameStart) {
  bool found = false;
  for (size_t i = 0; i + 3 <= length; ++i) {
    if (data[i] == 0x1B &&
        (byte_at(data, length, i + 2) == 0x0D || byte_at(data, length, i + 6) == 0x0D)) {
      *frameStart = i;
      found = true;
    }
  }
  return found;
}

uint32_t ReplyLetterCode(uint8_t letter) {
  for (const ReplyLetter& r : kReplyLetters)
    if (r.letter == letter)
      return r.code;
  return kErrReplyUnknown;
}

long RemainingCountValue(const char digits[4]) {
  char text[8] = {};
  memcpy(text, digits, 4);
  return strtol(text, nullptr, 10);
}

ReplyScan ScanReply(const uint8_t* received, size_t length, char remaining[4],
                    uint32_t* errorCode) {
  // Room past the 100 bytes, so a frame starting near the end reads zeros.
  uint8_t local[kReplyWindow + 8] = {};
  if (length > kReplyWindow)
    length = kReplyWindow;
  memcpy(local, received, length);
  size_t i = 0;
  if (!FindLastReplyFrame(local, length, &i))
    return length < 7 ? kReplyIncomplete : kReplyUnusable;
  const uint8_t letter = local[i + 1];
  *errorCode = ReplyLetterCode(letter);
  if (letter != 'O')
    return kReplyErrorLetter;
  memcpy(remaining, local + i + 2, 4);
  // 9999 is not a count the printer can mean; it is taken as nothing left.
  if (RemainingCountValue(remaining) == 9999)
    memcpy(remaining, "0000", 4);
  return kReplyCount;
}
