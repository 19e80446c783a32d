// Counting a process's handles and private memory.
#include "support/process_counts.h"

#include <windows.h>

namespace veldrin_test {

size_t CountOpenHandles() {
  // Handle values are multiples of 4 from a table that starts small; far more
  // than a test program ever holds are probed.
  size_t count = 0;
  for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
      ++count;
  }
  return count;
}

size_t CommittedPrivateBytes() {
  size_t bytes = 0;
  MEMORY_BASIC_INFORMATION info;
  const BYTE* address = nullptr;
  while (VirtualQuery(address, &info, sizeof(info)) == sizeof(info)) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
      bytes += info.RegionSize;
    const BYTE* next = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    if (next <= address)
      break;
    address = next;
  }
  return bytes;
}

} // namespace veldrin_test
