// The host print-condition dialog stand-in.
#include "labelhost/host_dialog.h"

#include <cstring>

namespace {
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

void put_text(std::vector<WORD>& t, const char* s) {
  for (; *s != '\0'; ++s)
    t.push_back(static_cast<BYTE>(*s));
  t.push_back(0);
}
} // namespace

// The host's meanings of these controls are its own; the stand-in makes each
// a control on which the callback's actions show.
const HostControl kHostControls[] = {
    {IDOK, kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK"},
    {IDCANCEL, kButton, BS_PUSHBUTTON | WS_TABSTOP, "Cancel"},
    {22, kButton, BS_PUSHBUTTON | WS_TABSTOP, "Detail"},
    {20505, kButton, kCheckBox, "20505"},
    {20525, kButton, kCheckBox, "20525"},
    {20526, kButton, kCheckBox, "20526"},
    {20701, kEdit, ES_RIGHT | WS_BORDER | WS_TABSTOP, "17"},
    {20702, kButton, kCheckBox, "20702"},
    {20703, kButton, kCheckBox, "20703"},
    {20704, kButton, kCheckBox, "20704"},
    {20705, kButton, kCheckBox, "20705"},
    {20706, kButton, kCheckBox, "20706"},
    {20707, kButton, kCheckBox, "20707"},
    {20708, kButton, kCheckBox, "20708"},
    {20709, kButton, kCheckBox, "20709"},
    {20710, kButton, kCheckBox, "20710"},
    {20711, kButton, kCheckBox, "20711"},
    {20712, kButton, kCheckBox, "20712"},
    {20713, kButton, kCheckBox, "20713"},
    {20714, kButton, BS_PUSHBUTTON | WS_TABSTOP, "Printer"},
    {20715, kButton, kCheckBox, "20715"},
    {20716, kButton, kCheckBox, "20716"},
    {20717, kButton, kCheckBox, "20717"},
    {20718, kButton, kCheckBox, "20718"},
    {20725, kStatic, SS_LEFT, "Note"},
};
const int kHostControlCount = sizeof(kHostControls) / sizeof(kHostControls[0]);

std::vector<WORD> BuildHostDialogTemplate() {
  std::vector<WORD> t;
  auto dword = [&t](DWORD v) {
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
  };
  dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
  dword(0);
  t.push_back(static_cast<WORD>(kHostControlCount));
  for (WORD v : {0, 0, 260, 200})
    t.push_back(v);
  t.push_back(0); // no menu
  t.push_back(0); // standard class
  put_text(t, kHostDialogCaption);
  t.push_back(8);
  put_text(t, "MS Sans Serif");
  // Four columns of controls, 14 dialog units apart.
  for (int i = 0; i < kHostControlCount; ++i) {
    const HostControl& c = kHostControls[i];
    if (t.size() % 2 != 0)
      t.push_back(0); // DWORD alignment
    dword(WS_CHILD | WS_VISIBLE | c.style);
    dword(0);
    const WORD x = static_cast<WORD>(6 + (i % 4) * 62);
    const WORD y = static_cast<WORD>(6 + (i / 4) * 16);
    for (WORD v : {x, y, WORD{58}, WORD{12}})
      t.push_back(v);
    t.push_back(c.id);
    t.push_back(0xFFFF);
    t.push_back(c.classAtom);
    put_text(t, c.text);
    t.push_back(0); // no creation data
  }
  return t;
}

INT_PTR CALLBACK HostDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG)
    SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
  HostDialogContext* ctx = reinterpret_cast<HostDialogContext*>(GetWindowLongPtrA(hDlg, DWLP_USER));
  if (ctx == nullptr)
    return FALSE;
  ctx->callback(hDlg, message, wParam, lParam, ctx->pInfo);
  ++ctx->nCallbackCalls;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(hDlg, LOWORD(wParam));
    return TRUE;
  }
  return message == WM_INITDIALOG;
}
