// KtPrCondDlgCB: the callback the host calls from its own print-condition
// dialog. When the host's record says the callback is active, it reloads the
// printer's settings and puts a fixed set of the host dialog's controls into
// the state this printer needs, one table of steps in order.
//
// Host pointers: a null CondDialogInfo does nothing; a null printer record
// counts as a printer number outside 1..8, which means slot 0.
#include "driver/exports.h"
#include "driver/slots.h"
#include "settings/settings_dialog.h"
#include "settings/store.h"

namespace {
// The command with which the host asks for the controls to be set again.
constexpr WORD kReapplyCommand = 20714;

void disable(HWND hDlg, int id) {
  EnableWindow(GetDlgItem(hDlg, id), FALSE);
}
void enable(HWND hDlg, int id) {
  EnableWindow(GetDlgItem(hDlg, id), TRUE);
}
void hide(HWND hDlg, int id) {
  ShowWindow(GetDlgItem(hDlg, id), SW_HIDE);
}
void check_then_enable(HWND hDlg, int id) {
  CheckDlgButton(hDlg, id, BST_CHECKED);
  enable(hDlg, id);
}
void uncheck(HWND hDlg, int id) {
  CheckDlgButton(hDlg, id, BST_UNCHECKED);
}
void set_text_200(HWND hDlg, int id) {
  SetDlgItemInt(hDlg, id, 200, FALSE);
}

// One step: an action done to each of its controls in order.
struct ControlStep {
  void (*act)(HWND hDlg, int id); // what is done to each control
  const WORD* pIds;               // the host dialog's control ids, in order
  int nIds;                       // entries in pIds
};

constexpr WORD kStep1[] = {20701};
constexpr WORD kStep2[] = {20702};
constexpr WORD kStep3[] = {22, 20702, 20725};
constexpr WORD kStep4[] = {20704, 20705, 20706, 20707, 20708, 20709};
constexpr WORD kStep5[] = {20710};
constexpr WORD kStep6[] = {20505, 20715};
constexpr WORD kStep7[] = {20713, 20703, 20525, 20526, 20716, 20717, 20718, 20711, 20712};
constexpr WORD kStep8[] = {20713, 20707, 20708, 20704, 20705, 20706, 20525,
                           20526, 20716, 20717, 20718, 20709, 20712, 20711};
constexpr WORD kStep9[] = {20701};

template <int N> constexpr ControlStep step(void (*act)(HWND, int), const WORD (&ids)[N]) {
  return {act, ids, N};
}

const ControlStep kControlSteps[] = {
    step(disable, kStep1),
    step(enable, kStep2),
    step(hide, kStep3),
    step(disable, kStep4),
    step(check_then_enable, kStep5),
    step(enable, kStep6),
    step(disable, kStep7),
    step(uncheck, kStep8),
    step(set_text_200, kStep9),
};

void apply_control_steps(HWND hDlg) {
  for (const ControlStep& s : kControlSteps)
    for (int i = 0; i < s.nIds; ++i)
      s.act(hDlg, s.pIds[i]);
}

uint8_t printer_slot(const CondDialogInfo& info) {
  return info.pPrinterRef != nullptr ? SlotOrFirst(info.pPrinterRef->nPrinterNo) : 0;
}
} // namespace

DWORD WINAPI KtPrCondDlgCB(HWND hDlg, UINT message, WPARAM wParam, LPARAM, CondDialogInfo* pInfo) {
  if (pInfo == nullptr || pInfo->dwActive == 0)
    return 0;
  if (message == WM_INITDIALOG) {
    LoadSettingsDialogTexts(kSettingsTemplate, hDlg);
  } else if (message != WM_COMMAND || LOWORD(wParam) != kReapplyCommand) {
    return 0;
  }
  LoadPrinterSettings(printer_slot(*pInfo));
  apply_control_steps(hDlg);
  return 0;
}
