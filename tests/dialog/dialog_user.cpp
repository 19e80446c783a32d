// The dialog tests' user thread.
#include "tests/dialog/dialog_user.h"

#include <cstring>
#include <thread>

namespace veldrin_test {
namespace {
constexpr DWORD kPollMs = 20;

struct FindArgs {
  const char* caption; // wanted caption, or null for any dialog
  HWND found;          // the window found
};

BOOL CALLBACK find_dialog(HWND wnd, LPARAM lParam) {
  FindArgs* args = reinterpret_cast<FindArgs*>(lParam);
  char cls[32] = "";
  char caption[128] = "";
  GetClassNameA(wnd, cls, sizeof(cls));
  if (strcmp(cls, kDialogClass) != 0 || !IsWindowVisible(wnd))
    return TRUE;
  GetWindowTextA(wnd, caption, sizeof(caption));
  if (args->caption != nullptr && strcmp(caption, args->caption) != 0)
    return TRUE;
  args->found = wnd;
  return FALSE;
}
} // namespace

HWND DialogUser::FindWindowNow(const char* caption) const {
  FindArgs args{caption, nullptr};
  EnumThreadWindows(uiThread_, find_dialog, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

HWND DialogUser::WaitForWindow(const char* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = FindWindowNow(caption))
      return w;
    if (GetTickCount() - start > timeoutMs ||
        WaitForSingleObject(uiDone_, kPollMs) == WAIT_OBJECT_0)
      return FindWindowNow(caption);
  }
}

std::string DialogUser::Text(HWND dlg, int id) const {
  char buf[512] = "";
  GetDlgItemTextA(dlg, id, buf, sizeof(buf));
  return buf;
}

bool DialogUser::Checked(HWND dlg, int id) const {
  return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

bool DialogUser::Enabled(HWND dlg, int id) const {
  return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}

int DialogUser::ComboSelection(HWND dlg, int id) const {
  return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}

std::vector<std::string> DialogUser::ComboItems(HWND dlg, int id) const {
  std::vector<std::string> items;
  const int n = static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char buf[64] = "";
    SendDlgItemMessageA(dlg, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
    items.push_back(buf);
  }
  return items;
}

HWND DialogUser::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(uiThread_, &info) ? info.hwndFocus : nullptr;
}

void DialogUser::SetText(HWND dlg, int id, const std::string& text) {
  SetDlgItemTextA(dlg, id, text.c_str());
}

void DialogUser::Click(HWND dlg, int id) {
  SendDlgItemMessageA(dlg, id, BM_CLICK, 0, 0);
}

void DialogUser::SelectCombo(HWND dlg, int id, int index) {
  SendDlgItemMessageA(dlg, id, CB_SETCURSEL, index, 0);
}

void DialogUser::Press(HWND dlg, int id) {
  PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

bool DialogUser::CloseAlert(HWND settingsDialog, SeenMessageBox* seen) {
  HWND box = WaitForWindow(kAlertCaption);
  if (box == nullptr) {
    Fail("no message box came");
    return false;
  }
  // The message text is the box's static control 0xFFFF on Windows and Wine.
  seen->text = Text(box, 0xFFFF);
  seen->owner = GetWindow(box, GW_OWNER);
  seen->dialogOpen = settingsDialog != nullptr && IsWindow(settingsDialog);
  Press(box, IDOK);
  if (!WaitGone(box)) {
    Fail("the message box did not close");
    return false;
  }
  return true;
}

bool DialogUser::WaitGone(HWND wnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(wnd)) {
    if (GetTickCount() - start > timeoutMs)
      return false;
    Sleep(kPollMs);
  }
  return true;
}

HWND DialogUser::WaitForFocus(HWND wanted, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  HWND focus = Focus();
  while (focus != wanted && GetTickCount() - start <= timeoutMs) {
    Sleep(kPollMs);
    focus = Focus();
  }
  return focus;
}

DWORD RunWithUser(const std::function<DWORD()>& modal,
                  const std::function<void(DialogUser&)>& script,
                  std::vector<std::string>* failures) {
  HANDLE uiDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DialogUser user(GetCurrentThreadId(), uiDone);
  std::thread thread([&] {
    script(user);
    // Whatever the script left open is closed, so the modal call returns.
    if (WaitForSingleObject(uiDone, 2000) == WAIT_OBJECT_0)
      return;
    for (int round = 0; round < 20 && WaitForSingleObject(uiDone, 0) != WAIT_OBJECT_0; ++round) {
      if (HWND box = user.FindWindowNow(kAlertCaption)) {
        user.Fail("a message box was left open");
        user.Press(box, IDOK);
      } else if (HWND dlg = user.FindWindowNow(nullptr)) {
        user.Fail("a dialog was left open");
        user.Press(dlg, IDCANCEL);
      }
      WaitForSingleObject(uiDone, 250);
    }
  });
  const DWORD result = modal();
  SetEvent(uiDone);
  thread.join();
  CloseHandle(uiDone);
  *failures = user.failures;
  return result;
}

} // namespace veldrin_test
