// What the test program's process holds, counted from inside: open kernel
// handles and committed private memory. Wine answers 0 to
// GetProcessHandleCount and to the private-bytes counter of
// GetProcessMemoryInfo, so both are counted directly: every handle value is
// probed with GetHandleInformation, and the address space is walked with
// VirtualQuery.
#pragma once

#include <cstddef>

namespace veldrin_test {

// Number of valid kernel handles in this process.
size_t CountOpenHandles();

// Bytes of committed private memory in this process.
size_t CommittedPrivateBytes();

} // namespace veldrin_test
