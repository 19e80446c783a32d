// Dialog helpers of the host library.
#include <windows.h>

#include "host/zovav.h"

// The real library loads translated item texts; the stand-in keeps the
// template's own texts, which are already in place.
void WINAPI LoadDialogItemsExFnV(const char*, HWND, const char*) {}

void WINAPI CenterDialogFnV(HWND hDlg, HWND hOwner) {
  RECT dialog, owner;
  if (!GetWindowRect(hDlg, &dialog))
    return;
  if (hOwner == nullptr || !GetWindowRect(hOwner, &owner))
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &owner, 0);
  const int width = dialog.right - dialog.left;
  const int height = dialog.bottom - dialog.top;
  const int x = owner.left + ((owner.right - owner.left) - width) / 2;
  const int y = owner.top + ((owner.bottom - owner.top) - height) / 2;
  SetWindowPos(hDlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
