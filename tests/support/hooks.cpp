// Import-table hooks: the log, the tally and the patching.
#include "support/hooks.h"

#include <map>
#include <mutex>
#include <set>

namespace {
struct Entry {
  const char* dll;
  const char* name;
  void* thunk; // HookOf<...>::call
  void** real; // where the system's function is kept
};
#define VELDRIN_HOOK_ENTRY(dll, name)                                                              \
  {#dll ".dll", #name, reinterpret_cast<void*>(&HookOf<k##name>::call),                            \
   reinterpret_cast<void**>(&HookOf<k##name>::real)},
const Entry kEntries[] = {VELDRIN_HOOKED(VELDRIN_HOOK_ENTRY)};

struct State {
  std::mutex lock;
  bool on = false;
  bool keepLog = true;
  std::vector<Call> log;
  std::set<uintptr_t> bitmaps, memoryDcs, screenDcs, blocks, handles, tmpBuffers;
  std::map<uintptr_t, int> locks; // lock count of each block made
};
State g;

void made(std::set<uintptr_t>& live, uintptr_t h, bool ok) {
  if (ok && h != 0)
    live.insert(h);
}
void released(std::set<uintptr_t>& live, uintptr_t h, bool ok) {
  if (ok)
    live.erase(h);
}

void tally(const Call& c) {
  const uintptr_t a = c.arg[0];
  switch (c.fn) {
  case kCreateBitmap:
    return made(g.bitmaps, c.result, true);
  case kDeleteObject:
    return released(g.bitmaps, a, c.result != 0);
  case kCreateCompatibleDC:
    return made(g.memoryDcs, c.result, true);
  case kDeleteDC:
    return released(g.memoryDcs, a, c.result != 0);
  case kGetDC:
    return made(g.screenDcs, c.result, true);
  case kReleaseDC:
    return released(g.screenDcs, c.arg[1], c.result != 0);
  case kGlobalAlloc:
    return made(g.blocks, c.result, true);
  case kGlobalFree:
    if (c.result == 0)
      g.locks.erase(a);
    return released(g.blocks, a, c.result == 0);
  case kGlobalLock:
    if (c.result != 0 && g.blocks.count(a))
      ++g.locks[a];
    return;
  case kGlobalUnlock:
    if (g.blocks.count(a))
      --g.locks[a];
    return;
  case kCreateFileA:
    return made(g.handles, c.result, c.result != AsInt(INVALID_HANDLE_VALUE));
  case kCreateEventA:
    return made(g.handles, c.result, true);
  case kCloseHandle:
    return released(g.handles, a, c.result != 0);
  case kGetTmpBufFnPV:
    return made(g.tmpBuffers, c.result, true);
  case kFreeTmpBufFnV:
    return released(g.tmpBuffers, a, true);
  default:
    return;
  }
}

// Points every import entry of `module` that holds `original` at `thunk`.
bool patch(HMODULE module, void* original, void* thunk) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  bool patched = false;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t) {
      if (reinterpret_cast<void*>(t->u1.Function) != original)
        continue;
      DWORD protect;
      VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), PAGE_READWRITE, &protect);
      t->u1.Function = reinterpret_cast<DWORD_PTR>(thunk);
      VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), protect, &protect);
      patched = true;
    }
  }
  return patched;
}
} // namespace

void NoteCall(Hooked fn, std::initializer_list<uintptr_t> args, uintptr_t result) {
  std::lock_guard<std::mutex> hold(g.lock);
  if (!g.on)
    return;
  Call c{fn, {}, result};
  int i = 0;
  for (uintptr_t a : args)
    if (i < 7)
      c.arg[i++] = a;
  tally(c);
  if (g.keepLog)
    g.log.push_back(c);
}

bool HookImports(HMODULE module) {
  bool any = false;
  for (const Entry& e : kEntries) {
    HMODULE dll = GetModuleHandleA(e.dll);
    void* original =
        dll != nullptr ? reinterpret_cast<void*>(GetProcAddress(dll, e.name)) : nullptr;
    if (original == nullptr)
      continue;
    *e.real = original;
    any = patch(module, original, e.thunk) || any;
  }
  return any;
}

void StartCalls(bool keepLog) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.log.clear();
  g.bitmaps.clear();
  g.memoryDcs.clear();
  g.screenDcs.clear();
  g.blocks.clear();
  g.handles.clear();
  g.tmpBuffers.clear();
  g.locks.clear();
  g.keepLog = keepLog;
  g.on = true;
}

void StopCalls() {
  std::lock_guard<std::mutex> hold(g.lock);
  g.on = false;
}

std::vector<Call> Calls() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.log;
}

std::vector<Call> Calls(Hooked fn) {
  std::vector<Call> some;
  for (const Call& c : Calls())
    if (c.fn == fn)
      some.push_back(c);
  return some;
}

std::vector<uintptr_t> Args(Hooked fn, int i) {
  std::vector<uintptr_t> v;
  for (const Call& c : Calls(fn))
    v.push_back(c.arg[i]);
  return v;
}

Leftovers Left() {
  std::lock_guard<std::mutex> hold(g.lock);
  int locked = 0;
  for (const auto& [block, n] : g.locks)
    locked += n > 0;
  return {static_cast<int>(g.bitmaps.size()),
          static_cast<int>(g.memoryDcs.size()),
          static_cast<int>(g.screenDcs.size()),
          static_cast<int>(g.blocks.size()),
          locked,
          static_cast<int>(g.handles.size()),
          static_cast<int>(g.tmpBuffers.size())};
}

void RestoreCalls() {
#define VELDRIN_HOOK_RESTORE(dll, name) HookOf<k##name>::replacement = nullptr;
  VELDRIN_HOOKED(VELDRIN_HOOK_RESTORE)
}
