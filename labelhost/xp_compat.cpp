// labelhost runs on the same PCs as the driver, Windows XP SP3 among them.
// The static thread library's timing code imports GetTickCount64, which XP's
// kernel32 lacks, and an import XP cannot resolve stops the program before it
// starts. Defining the import's pointer here binds that code to GetTickCount
// instead; labelhost never waits anywhere near the 49 days GetTickCount wraps at.
#include <windows.h>

namespace {
ULONGLONG WINAPI tick_count_64() {
  return GetTickCount();
}
} // namespace

extern "C" {
// The name the linker looks for: the import pointer of GetTickCount64@0.
ULONGLONG(WINAPI* xp_tick_count_64)() __asm__("__imp__GetTickCount64@0") = tick_count_64;
}
