// Watches the calls a module (VELDRIN.dll, or a test program linking the driver's code) makes to
// the functions below, through its patched import table: each is logged with its first arguments
// and result, and what they made and released is tallied; a test can replace any of them, to make
// one fail, and see that nothing was left behind.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "host/zovav.h"

// Every function watched: the DLL that exports it, and its name.
// clang-format off
#define VELDRIN_HOOKED(X) \
  X(kernel32, CreateFileA) X(kernel32, CloseHandle) X(kernel32, CreateEventA) \
  X(kernel32, GetCommState) X(kernel32, SetCommState) X(kernel32, SetCommTimeouts) \
  X(kernel32, SetupComm) X(kernel32, PurgeComm) X(kernel32, WaitCommEvent) X(kernel32, WriteFile) \
  X(kernel32, ReadFile) X(kernel32, WaitForSingleObject) X(kernel32, CancelIo) \
  X(kernel32, GetOverlappedResult) X(kernel32, GetTickCount) X(kernel32, EscapeCommFunction) \
  X(kernel32, SetCommMask) X(kernel32, Sleep) X(kernel32, GlobalAlloc) X(kernel32, GlobalFree) \
  X(kernel32, GlobalLock) X(kernel32, GlobalUnlock) X(gdi32, CreateBitmap) \
  X(gdi32, CreateCompatibleDC) X(gdi32, DeleteDC) X(gdi32, DeleteObject) X(gdi32, SelectObject) \
  X(gdi32, GetDIBits) X(gdi32, GetBitmapBits) X(gdi32, GetObjectA) X(user32, GetDC) \
  X(user32, ReleaseDC) X(user32, MessageBeep) X(user32, MessageBoxA) X(user32, EnableWindow) \
  X(user32, ShowWindow) X(user32, CheckDlgButton) X(user32, SetDlgItemInt) X(user32, SetFocus) \
  X(user32, EndDialog) X(ZoVav, RegisterDLLPrinterFnV) X(ZoVav, LoadDialogItemsExFnV) \
  X(ZoVav, CenterDialogFnV) X(ZoVav, LoadDbsInfoFnHF) X(ZoVav, GetTmpBufFnPV) \
  X(ZoVav, FreeTmpBufFnV) X(ZoVav, HVTGetIniFileName)
// clang-format on

#define VELDRIN_HOOK_ENUM(dll, name) k##name,
enum Hooked { VELDRIN_HOOKED(VELDRIN_HOOK_ENUM) kHookedCount };

// One call: its first seven arguments and its result, as integers.
struct Call {
  Hooked fn;
  uintptr_t arg[7];
  uintptr_t result;
};

// Patches every import of `module` that the list names; false when none.
bool HookImports(HMODULE module);

// Starts a new log and tally (the log only with keepLog, so a long run's
// memory stays flat); StopCalls ends both.
void StartCalls(bool keepLog = true);
void StopCalls();
std::vector<Call> Calls();                     // the log so far
std::vector<Call> Calls(Hooked fn);            // the calls of one function
std::vector<uintptr_t> Args(Hooked fn, int i); // argument i of each call of fn

// What the calls since StartCalls made and have not released, and what they released a second time.
struct Leftovers {
  int bitmaps;           // CreateBitmap without DeleteObject
  int memoryDcs;         // CreateCompatibleDC without DeleteDC
  int screenDcs;         // GetDC without ReleaseDC
  int blocks;            // GlobalAlloc without GlobalFree
  int lockedBlocks;      // blocks locked more often than unlocked
  int handles;           // CreateFileA and CreateEventA without CloseHandle
  int tmpBuffers;        // GetTmpBufFnPV without FreeTmpBufFnV
  int twiceReleased = 0; // a handle, object, block or buffer released again
  bool operator==(const Leftovers&) const = default;
};
Leftovers Left();

void NoteCall(Hooked fn, std::initializer_list<uintptr_t> args, uintptr_t result);

template <typename T> uintptr_t AsInt(T v) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<uintptr_t>(v);
  else
    return static_cast<uintptr_t>(v);
}

// The stand-in for one function: the replacement when one is set, else the
// system's function; then the call is noted.
template <Hooked Id, typename Fn> struct Thunk;
template <Hooked Id, typename R, typename... A> struct Thunk<Id, R(WINAPI*)(A...)> {
  static inline R(WINAPI* real)(A...) = nullptr;
  static inline std::function<R(A...)> replacement;
  static R WINAPI call(A... a) {
    if constexpr (std::is_void_v<R>) {
      replacement ? replacement(a...) : real(a...);
      NoteCall(Id, {AsInt(a)...}, 0);
    } else {
      const R r = replacement ? replacement(a...) : real(a...);
      NoteCall(Id, {AsInt(a)...}, AsInt(r));
      return r;
    }
  }
};
template <Hooked fn> struct HookOf;
#define VELDRIN_HOOK_OF(dll, name)                                                                 \
  template <> struct HookOf<k##name> : Thunk<k##name, decltype(&name)> {};
VELDRIN_HOOKED(VELDRIN_HOOK_OF)

// While set, calls of `fn` go to `f` (the same signature) instead of the system; Real<fn>() is the
// system's function. RestoreCalls drops every replacement.
template <Hooked fn, typename F> void Replace(F f) {
  HookOf<fn>::replacement = f;
}
template <Hooked fn> auto Real() {
  return HookOf<fn>::real;
}
// While set, each call of `fn` keeps what its argument `i` points to (a text:
// the text) in *into, and goes on to the system.
template <Hooked fn, size_t i, typename T> void Keep(T* into) {
  Replace<fn>([into](auto... a) {
    if constexpr (std::is_same_v<T, std::string>)
      *into = std::get<i>(std::tie(a...));
    else
      *into = *std::get<i>(std::tie(a...));
    return Real<fn>()(a...);
  });
}
void RestoreCalls();
