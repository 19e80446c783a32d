// Dialog helpers of the host library.
#include <windows.h>

#include "host/zovav.h"
#include "zovav/test_hooks.h"

namespace {
int g_dialogItemCalls;
char g_lastTemplate[64]; // template name of the last LoadDialogItemsExFnV call
char g_lastDriver[64];   // driver name of that call
HWND g_lastDialog;       // dialog window of that call

void keep_text(char (&dest)[64], const char* src) {
  lstrcpynA(dest, src != nullptr ? src : "", sizeof(dest));
}
} // namespace

// The real library loads translated item texts; the stand-in keeps the
// template's own texts, which are already in place. It counts the call and
// keeps its arguments, so tests can see which template, window and driver
// name a dialog asked for (the driver also calls it on the host's own
// print-condition dialog, whose controls are not the template's).
void WINAPI LoadDialogItemsExFnV(const char* pszTemplate, HWND hDlg, const char* pszDriverName) {
  ++g_dialogItemCalls;
  keep_text(g_lastTemplate, pszTemplate);
  keep_text(g_lastDriver, pszDriverName);
  g_lastDialog = hDlg;
}

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

int WINAPI ZoVavTestDialogItemCalls(void) {
  return g_dialogItemCalls;
}

HWND WINAPI ZoVavTestLastDialogItems(char* pszTemplate, int nTemplateChars, char* pszDriverName,
                                     int nDriverChars) {
  if (pszTemplate != nullptr && nTemplateChars > 0)
    lstrcpynA(pszTemplate, g_lastTemplate, nTemplateChars);
  if (pszDriverName != nullptr && nDriverChars > 0)
    lstrcpynA(pszDriverName, g_lastDriver, nDriverChars);
  return g_lastDialog;
}
