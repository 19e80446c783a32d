// Import-table hooks over the calls the imaging code makes.
#include "support/gdi_hooks.h"

#include <cstring>

namespace {
struct HookState {
  bool recording;               // calls are noted
  HookedCall fail;              // call to make fail
  int failAt;                   // which call of it, from 1; 0: none
  CallLedger ledger;            // what was noted
  void* real[kHookedCallCount]; // the system's functions
  bool history = true;          // keep the call order and the objects made
};
HookState g_state;

template <typename Fn> Fn real(HookedCall call) {
  return reinterpret_cast<Fn>(g_state.real[call]);
}

// Notes a call; true when it is the one to fail.
bool note(HookedCall call) {
  if (!g_state.recording)
    return false;
  if (g_state.history)
    g_state.ledger.order.push_back(call);
  const int n = ++g_state.ledger.calls[call];
  return g_state.fail == call && g_state.failAt == n;
}

HDC WINAPI hook_CreateCompatibleDC(HDC dc) {
  if (note(kCallCreateCompatibleDC))
    return nullptr;
  HDC made = real<HDC(WINAPI*)(HDC)>(kCallCreateCompatibleDC)(dc);
  if (g_state.recording && made != nullptr) {
    g_state.ledger.liveMemoryDcs.insert(made);
    if (g_state.history)
      g_state.ledger.madeObjects.push_back(made);
  }
  return made;
}

BOOL WINAPI hook_DeleteDC(HDC dc) {
  note(kCallDeleteDC);
  const BOOL ok = real<BOOL(WINAPI*)(HDC)>(kCallDeleteDC)(dc);
  if (g_state.recording && ok) {
    g_state.ledger.liveMemoryDcs.erase(dc);
    auto it = g_state.ledger.selected.find(dc);
    if (it != g_state.ledger.selected.end()) {
      ++g_state.ledger.deletedWithBitmapSelected;
      g_state.ledger.selected.erase(it);
    }
  }
  return ok;
}

HBITMAP WINAPI hook_CreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
  if (note(kCallCreateBitmap))
    return nullptr;
  HBITMAP made = real<HBITMAP(WINAPI*)(int, int, UINT, UINT, const void*)>(kCallCreateBitmap)(
      w, h, planes, bits, data);
  if (g_state.recording && made != nullptr) {
    g_state.ledger.liveBitmaps.insert(made);
    if (g_state.history)
      g_state.ledger.madeObjects.push_back(made);
  }
  return made;
}

BOOL WINAPI hook_DeleteObject(HGDIOBJ object) {
  note(kCallDeleteObject);
  const BOOL ok = real<BOOL(WINAPI*)(HGDIOBJ)>(kCallDeleteObject)(object);
  if (g_state.recording && ok)
    g_state.ledger.liveBitmaps.erase(static_cast<HBITMAP>(object));
  return ok;
}

HGDIOBJ WINAPI hook_SelectObject(HDC dc, HGDIOBJ object) {
  if (note(kCallSelectObject))
    return nullptr;
  HGDIOBJ previous = real<HGDIOBJ(WINAPI*)(HDC, HGDIOBJ)>(kCallSelectObject)(dc, object);
  if (g_state.recording && previous != nullptr && g_state.ledger.liveMemoryDcs.count(dc) != 0) {
    if (g_state.ledger.liveBitmaps.count(static_cast<HBITMAP>(object)) != 0)
      g_state.ledger.selected[dc] = object;
    else
      g_state.ledger.selected.erase(dc);
  }
  return previous;
}

int WINAPI hook_GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits,
                          BITMAPINFO* info, UINT usage) {
  if (note(kCallGetDIBits))
    return 0;
  return real<int(WINAPI*)(HDC, HBITMAP, UINT, UINT, void*, BITMAPINFO*, UINT)>(kCallGetDIBits)(
      dc, bitmap, start, lines, bits, info, usage);
}

int WINAPI hook_SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy,
                                  UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                                  UINT usage) {
  note(kCallSetDIBitsToDevice);
  if (g_state.recording && g_state.ledger.selected.count(dc) == 0)
    ++g_state.ledger.drawnWithoutMonoSelected;
  return real<int(WINAPI*)(HDC, int, int, DWORD, DWORD, int, int, UINT, UINT, const void*,
                           const BITMAPINFO*, UINT)>(kCallSetDIBitsToDevice)(
      dc, x, y, w, h, sx, sy, start, lines, bits, info, usage);
}

int WINAPI hook_GetObjectA(HANDLE object, int size, void* buffer) {
  if (note(kCallGetObjectA))
    return 0;
  return real<int(WINAPI*)(HANDLE, int, void*)>(kCallGetObjectA)(object, size, buffer);
}

LONG WINAPI hook_GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
  if (note(kCallGetBitmapBits))
    return 0;
  return real<LONG(WINAPI*)(HBITMAP, LONG, void*)>(kCallGetBitmapBits)(bitmap, size, bits);
}

HDC WINAPI hook_GetDC(HWND window) {
  if (note(kCallGetDC))
    return nullptr;
  HDC dc = real<HDC(WINAPI*)(HWND)>(kCallGetDC)(window);
  if (g_state.recording && dc != nullptr)
    g_state.ledger.heldScreenDcs.insert(dc);
  return dc;
}

int WINAPI hook_ReleaseDC(HWND window, HDC dc) {
  note(kCallReleaseDC);
  const int released = real<int(WINAPI*)(HWND, HDC)>(kCallReleaseDC)(window, dc);
  if (g_state.recording && released != 0)
    g_state.ledger.heldScreenDcs.erase(dc);
  return released;
}

HGLOBAL WINAPI hook_GlobalAlloc(UINT flags, SIZE_T size) {
  if (note(kCallGlobalAlloc))
    return nullptr;
  HGLOBAL block = real<HGLOBAL(WINAPI*)(UINT, SIZE_T)>(kCallGlobalAlloc)(flags, size);
  if (g_state.recording && block != nullptr) {
    g_state.ledger.liveBlocks.insert(block);
    if (g_state.history)
      g_state.ledger.madeBlocks.push_back(block);
    g_state.ledger.locks[block] = 0;
  }
  return block;
}

HGLOBAL WINAPI hook_GlobalFree(HGLOBAL block) {
  note(kCallGlobalFree);
  HGLOBAL failed = real<HGLOBAL(WINAPI*)(HGLOBAL)>(kCallGlobalFree)(block);
  if (g_state.recording && failed == nullptr) {
    g_state.ledger.liveBlocks.erase(block);
    // Without the history a freed block's balanced lock count is dropped, so
    // a long run's ledger holds only live blocks and unbalanced ones.
    auto it = g_state.ledger.locks.find(block);
    if (!g_state.history && it != g_state.ledger.locks.end() && it->second == 0)
      g_state.ledger.locks.erase(it);
  }
  return failed;
}

LPVOID WINAPI hook_GlobalLock(HGLOBAL block) {
  if (note(kCallGlobalLock))
    return nullptr;
  LPVOID p = real<LPVOID(WINAPI*)(HGLOBAL)>(kCallGlobalLock)(block);
  if (g_state.recording && p != nullptr && g_state.ledger.locks.count(block) != 0)
    ++g_state.ledger.locks[block];
  return p;
}

BOOL WINAPI hook_GlobalUnlock(HGLOBAL block) {
  note(kCallGlobalUnlock);
  if (g_state.recording && g_state.ledger.locks.count(block) != 0)
    --g_state.ledger.locks[block];
  return real<BOOL(WINAPI*)(HGLOBAL)>(kCallGlobalUnlock)(block);
}

struct HookEntry {
  HookedCall call;    // which one
  const char* module; // the system DLL that exports it
  const char* name;   // its export name
  void* hook;         // the replacement
};

const HookEntry kHooks[] = {
    {kCallCreateCompatibleDC, "gdi32.dll", "CreateCompatibleDC",
     reinterpret_cast<void*>(hook_CreateCompatibleDC)},
    {kCallDeleteDC, "gdi32.dll", "DeleteDC", reinterpret_cast<void*>(hook_DeleteDC)},
    {kCallCreateBitmap, "gdi32.dll", "CreateBitmap", reinterpret_cast<void*>(hook_CreateBitmap)},
    {kCallDeleteObject, "gdi32.dll", "DeleteObject", reinterpret_cast<void*>(hook_DeleteObject)},
    {kCallSelectObject, "gdi32.dll", "SelectObject", reinterpret_cast<void*>(hook_SelectObject)},
    {kCallGetDIBits, "gdi32.dll", "GetDIBits", reinterpret_cast<void*>(hook_GetDIBits)},
    {kCallSetDIBitsToDevice, "gdi32.dll", "SetDIBitsToDevice",
     reinterpret_cast<void*>(hook_SetDIBitsToDevice)},
    {kCallGetObjectA, "gdi32.dll", "GetObjectA", reinterpret_cast<void*>(hook_GetObjectA)},
    {kCallGetBitmapBits, "gdi32.dll", "GetBitmapBits", reinterpret_cast<void*>(hook_GetBitmapBits)},
    {kCallGetDC, "user32.dll", "GetDC", reinterpret_cast<void*>(hook_GetDC)},
    {kCallReleaseDC, "user32.dll", "ReleaseDC", reinterpret_cast<void*>(hook_ReleaseDC)},
    {kCallGlobalAlloc, "kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(hook_GlobalAlloc)},
    {kCallGlobalFree, "kernel32.dll", "GlobalFree", reinterpret_cast<void*>(hook_GlobalFree)},
    {kCallGlobalLock, "kernel32.dll", "GlobalLock", reinterpret_cast<void*>(hook_GlobalLock)},
    {kCallGlobalUnlock, "kernel32.dll", "GlobalUnlock", reinterpret_cast<void*>(hook_GlobalUnlock)},
};

// Points every import entry of the program that holds `original` at
// `replacement`; false when there is none.
bool patch_imports(HMODULE module, void* original, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  bool patched = false;
  for (; descriptor->Name != 0; ++descriptor) {
    auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; thunk->u1.Function != 0; ++thunk) {
      if (reinterpret_cast<void*>(thunk->u1.Function) != original)
        continue;
      DWORD protect;
      VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &protect);
      thunk->u1.Function = reinterpret_cast<DWORD_PTR>(replacement);
      VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), protect, &protect);
      patched = true;
    }
  }
  return patched;
}
} // namespace

bool InstallHooks() {
  static int installed = 0; // 1 done, -1 failed
  if (installed != 0)
    return installed > 0;
  installed = 1;
  for (const HookEntry& h : kHooks) {
    void* original = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(h.module), h.name));
    g_state.real[h.call] = original;
    if (original == nullptr || !patch_imports(GetModuleHandleA(nullptr), original, h.hook))
      installed = -1;
  }
  return installed > 0;
}

bool InstallHooksIn(HMODULE module) {
  bool any = false;
  for (const HookEntry& h : kHooks) {
    void* original = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(h.module), h.name));
    if (original == nullptr)
      continue;
    if (g_state.real[h.call] == nullptr)
      g_state.real[h.call] = original;
    any = patch_imports(module, original, h.hook) || any;
  }
  return any;
}

void StartRecording(HookedCall fail, int failAt) {
  g_state.ledger = CallLedger{};
  g_state.fail = fail;
  g_state.failAt = failAt;
  g_state.recording = true;
}

CallLedger StopRecording() {
  g_state.recording = false;
  g_state.failAt = 0;
  return g_state.ledger;
}

void KeepCallHistory(bool keep) {
  g_state.history = keep;
}

CallLedger PeekRecording() {
  return g_state.ledger;
}
