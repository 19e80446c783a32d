// Capturing every byte the driver sends and receives, for a support engineer
// to read or to render into the label the printer would print
// (tlxsim render CAPTURE OUT.png), without a second PC on the line.
//
// The file is text, one line per transfer as it completed:
//   # VELDRIN capture
//   0.015 > 1B5A310D1B530D
//   0.532 < 1B4F303030300D
// seconds since the capture began, ">" what the driver wrote to the port, "<"
// what it read from it, "=" what it wrote to the host's file in file mode,
// then the bytes in hex.
#pragma once

#include <windows.h>

#include <string>

// Starts capturing the transfers of the loaded driver `driver` into `path`
// (created anew), or with a null path into no file, only to keep the
// printer's last reply and count what is sent. False, with the reason
// printed, when the file cannot be created or the driver imports none of the
// transfer calls.
bool StartCapture(HMODULE driver, const char* path);

// Calls `sent` with the bytes written to the port so far after each write.
void WatchSends(void (*sent)(DWORD bytes));

// The last bytes the driver read from the port, read as the printer's reply:
// "ESC F CR: ribbon used up", "none: ..." when nothing came.
std::string LastReplyText();
