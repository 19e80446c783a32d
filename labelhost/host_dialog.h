// A stand-in for the host's print-condition dialog: a dialog template built
// in memory with the host's control ids, whose procedure passes every message
// on to KtPrCondDlgCB, as the host does. labelhost conddlg shows it; the
// dialog tests drive it.
#pragma once

#include <windows.h>

#include <vector>

#include "host/records.h"

// The host dialog's controls, in template order.
struct HostControl {
  WORD id;          // control id
  WORD classAtom;   // 0x0080 button, 0x0081 edit, 0x0082 static
  DWORD style;      // styles beside WS_CHILD | WS_VISIBLE
  const char* text; // initial text
};
extern const HostControl kHostControls[];
extern const int kHostControlCount;

// The stand-in dialog's caption.
inline constexpr char kHostDialogCaption[] = "Print condition";

// The in-memory DLGTEMPLATE (DWORD-aligned words).
std::vector<WORD> BuildHostDialogTemplate();

// What the host dialog's procedure passes to the callback.
struct HostDialogContext {
  DWORD(WINAPI* callback)(HWND, UINT, WPARAM, LPARAM, CondDialogInfo*); // KtPrCondDlgCB
  CondDialogInfo* pInfo;                                                // its fifth argument
  int nCallbackCalls;                                                   // calls made so far
};

// The host dialog's procedure; its creation parameter is a HostDialogContext.
INT_PTR CALLBACK HostDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
