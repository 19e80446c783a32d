// labelhost's capture files (labelhost print/check --capture): text lines
// "SECONDS DIRECTION HEX", ">" what the driver sent, "<" what it read.
#pragma once

#include <string>

namespace tlxsim {

// True when `text` is a capture file; *sent then holds the bytes the driver
// sent, in order. False for anything else (a raw stream).
bool read_capture(const std::string& text, std::string* sent);

} // namespace tlxsim
