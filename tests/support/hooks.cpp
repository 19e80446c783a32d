// Import-table hooks: the log, the tally and the patching.
#include "support/hooks.h"

#include <map>
#include <mutex>
#include <set>

#include "labelhost/import_patch.h"

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

// What a call makes or releases: the kind of resource, where its handle is
// (the result, or an argument), and when the call counts (its result).
enum Kind { kBitmaps, kMemoryDcs, kScreenDcs, kBlocks, kHandles, kTmpBuffers, kKinds };
enum When { kAlways, kNonZero, kZero, kValidHandle };
struct Rule {
  Hooked fn;
  Kind kind;
  bool makes;
  int handleArg; // -1: the result
  When when;
};
const Rule kRules[] = {
    {kCreateBitmap, kBitmaps, true, -1, kNonZero},
    {kDeleteObject, kBitmaps, false, 0, kNonZero},
    {kCreateCompatibleDC, kMemoryDcs, true, -1, kNonZero},
    {kDeleteDC, kMemoryDcs, false, 0, kNonZero},
    {kGetDC, kScreenDcs, true, -1, kNonZero},
    {kReleaseDC, kScreenDcs, false, 1, kNonZero},
    {kGlobalAlloc, kBlocks, true, -1, kNonZero},
    {kGlobalFree, kBlocks, false, 0, kZero},
    {kCreateFileA, kHandles, true, -1, kValidHandle},
    {kCreateEventA, kHandles, true, -1, kNonZero},
    {kCloseHandle, kHandles, false, 0, kNonZero},
    {kGetTmpBufFnPV, kTmpBuffers, true, -1, kNonZero},
    {kFreeTmpBufFnV, kTmpBuffers, false, 0, kAlways},
};

struct State {
  std::mutex lock;
  bool on = false;
  bool keepLog = true;
  std::vector<Call> log;
  std::set<uintptr_t> live[kKinds];
  std::set<uintptr_t> released[kKinds]; // released and not made again since
  int twiceReleased = 0;
  std::map<uintptr_t, int> locks; // lock count of each block made
};
State g;

void tally(const Call& c) {
  for (const Rule& r : kRules) {
    if (r.fn != c.fn)
      continue;
    const bool counts = r.when == kAlways || (r.when == kNonZero && c.result != 0) ||
                        (r.when == kZero && c.result == 0) ||
                        (r.when == kValidHandle && c.result != AsInt(INVALID_HANDLE_VALUE));
    const uintptr_t h = r.handleArg < 0 ? c.result : c.arg[r.handleArg];
    // A second release is counted whether or not the call failed, as it will.
    if (!r.makes && h != 0)
      g.twiceReleased += !g.released[r.kind].insert(h).second;
    if (!counts)
      continue;
    if (r.makes) {
      g.live[r.kind].insert(h);
      g.released[r.kind].erase(h);
    } else if (g.live[r.kind].erase(h) && r.kind == kBlocks) {
      g.locks.erase(h);
    }
  }
  if ((c.fn == kGlobalLock && c.result != 0) || c.fn == kGlobalUnlock)
    if (g.live[kBlocks].count(c.arg[0]))
      g.locks[c.arg[0]] += c.fn == kGlobalLock ? 1 : -1;
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
    any = PatchImport(module, original, e.thunk) || any;
  }
  return any;
}

void StartCalls(bool keepLog) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.log.clear();
  for (std::set<uintptr_t>& live : g.live)
    live.clear();
  g.locks.clear();
  g.twiceReleased = 0;
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
  auto n = [](Kind k) { return static_cast<int>(g.live[k].size()); };
  return {n(kBitmaps), n(kMemoryDcs), n(kScreenDcs),  n(kBlocks),
          locked,      n(kHandles),   n(kTmpBuffers), g.twiceReleased};
}

void RestoreCalls() {
#define VELDRIN_HOOK_RESTORE(dll, name) HookOf<k##name>::replacement = nullptr;
  VELDRIN_HOOKED(VELDRIN_HOOK_RESTORE)
}
