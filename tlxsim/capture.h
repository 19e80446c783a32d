// labelhost's capture files (labelhost print/check --capture): text lines
// "SECONDS DIRECTION HEX", ">" what the driver sent to the port, "<" what it
// read, "=" what it wrote to a file in file mode.
#pragma once

#include <string>

namespace tlxsim {

// True when `text` is a capture file; *sent then holds the bytes the driver
// sent to the port, in order, or when it sent none, what it wrote to the
// file. False for anything else (a raw stream).
bool read_capture(const std::string& text, std::string* sent);

} // namespace tlxsim
