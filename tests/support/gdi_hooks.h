// Watches the GDI, USER and global-memory calls of this test program (or of a
// DLL it loaded, such as VELDRIN.dll), and can make one of them fail. The
// entries of the module's import address table are replaced, so every call
// the module makes passes through here. Wine's GetGuiResources answers 0 for
// every process, so GDI objects cannot be counted from outside; instead every
// handle made is noted with its release, and checked dead afterwards.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <vector>

enum HookedCall {
  kCallCreateCompatibleDC,
  kCallDeleteDC,
  kCallCreateBitmap,
  kCallDeleteObject,
  kCallSelectObject,
  kCallGetDIBits,
  kCallSetDIBitsToDevice,
  kCallGetObjectA,
  kCallGetBitmapBits,
  kCallGetDC,
  kCallReleaseDC,
  kCallGlobalAlloc,
  kCallGlobalFree,
  kCallGlobalLock,
  kCallGlobalUnlock,
  kHookedCallCount
};

// What happened between StartRecording and StopRecording.
struct CallLedger {
  int calls[kHookedCallCount];      // calls made, failed ones included
  std::set<HDC> liveMemoryDcs;      // made by CreateCompatibleDC, not deleted
  std::set<HBITMAP> liveBitmaps;    // made by CreateBitmap, not deleted
  std::set<HGLOBAL> liveBlocks;     // made by GlobalAlloc, not freed
  std::set<HDC> heldScreenDcs;      // got with GetDC, not released
  std::map<HGLOBAL, int> locks;     // lock count of each block made
  std::map<HDC, HGDIOBJ> selected;  // bitmap made here now selected in a DC made here
  std::vector<HGDIOBJ> madeObjects; // every DC and bitmap made, in order
  std::vector<HGLOBAL> madeBlocks;  // every block made, in order
  int deletedWithBitmapSelected;    // DCs deleted while holding a bitmap made here
  int drawnWithoutMonoSelected;     // SetDIBitsToDevice into a DC without such a bitmap
  std::vector<HookedCall> order;    // every call, in order
};

// Replaces the import entries of the program; false when one of the
// functions is not imported by it.
bool InstallHooks();

// Replaces the import entries of a loaded module for every watched function
// it imports; false when it imports none of them.
bool InstallHooksIn(HMODULE module);

// Starts a new ledger. fail/failAt: the failAt-th call (from 1) of `fail`
// fails without reaching the system; failAt 0 fails nothing.
void StartRecording(HookedCall fail = kHookedCallCount, int failAt = 0);

// Stops recording and gives the ledger.
CallLedger StopRecording();

// The ledger so far; recording goes on.
CallLedger PeekRecording();

// Whether the ledger keeps every call and every object made in order (the
// default). A long run turns it off so the ledger does not grow with it; the
// live sets and counts are kept either way, and a freed block's lock count
// only while it is unbalanced.
void KeepCallHistory(bool keep);
