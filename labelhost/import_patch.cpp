// Import address table patching.
#include "labelhost/import_patch.h"

bool PatchImport(HMODULE module, void* original, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0)
    return false;
  bool patched = false;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t) {
      if (reinterpret_cast<void*>(t->u1.Function) != original)
        continue;
      // The table is read-only once the loader has filled it.
      DWORD protect;
      VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), PAGE_READWRITE, &protect);
      t->u1.Function = reinterpret_cast<DWORD_PTR>(replacement);
      VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), protect, &protect);
      patched = true;
    }
  }
  return patched;
}
