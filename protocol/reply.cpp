// Reply frames.
#include "protocol/reply.h"

#include <cstdlib>
#include <cstring>

#include "driver/errors.h"

namespace {
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
