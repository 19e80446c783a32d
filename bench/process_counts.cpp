// Counting a process's handles and private memory.
#include "bench/process_counts.h"

#include <windows.h>

namespace veldrin_test {

size_t CountOpenHandles() {
  // Handle values are multiples of 4 handed out from the bottom of a table,
  // so the live ones sit together at the low end: probe block by block until
  // four blocks in a row past the last live handle are empty.
  constexpr ULONG_PTR kBlock = 1024 * 4;
  size_t count = 0;
  ULONG_PTR lastLive = 0;
  for (ULONG_PTR value = 4; value < lastLive + 4 * kBlock + kBlock; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
      lastLive = value;
    }
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
