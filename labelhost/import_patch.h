// Redirecting a module's calls to a function it imports: the entry of its
// import address table that holds the function is pointed elsewhere, so every
// call the module makes to it passes through the replacement. Used by
// labelhost to capture what the driver sends and receives, and by the tests
// to watch the driver's calls.
#pragma once

#include <windows.h>

// Points every import entry of `module` that holds `original` at
// `replacement`; false when the module imports no such entry.
bool PatchImport(HMODULE module, void* original, void* replacement);
