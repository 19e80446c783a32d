// A user at the screen for the dialog tests: a thread of its own that finds
// the windows a modal call opens on the thread under test, reads and sets
// their controls, presses their buttons and closes message boxes, while that
// thread sits in the modal loop. Every observation is kept as data and
// checked by the test once the modal call has returned.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace veldrin_test {

inline constexpr char kDialogClass[] = "#32770";
inline constexpr char kSettingsCaption[] = "Printer setting";
inline constexpr char kAlertCaption[] = "Error or alert message";

// What a message box showed.
struct SeenMessageBox {
  std::string text; // its message
  HWND owner;       // its owner window
  bool dialogOpen;  // the settings dialog still existed while the box was up
};

// The user's side, handed to the script on the user's thread.
class DialogUser {
public:
  explicit DialogUser(DWORD uiThread, HANDLE uiDone) : uiThread_(uiThread), uiDone_(uiDone) {}

  // A visible #32770 window of the thread under test with this caption;
  // waits up to timeoutMs (null when none came, or the modal call ended).
  HWND WaitForWindow(const char* caption, DWORD timeoutMs = 10000);
  HWND FindWindowNow(const char* caption) const;

  std::string Text(HWND dlg, int id) const;
  bool Checked(HWND dlg, int id) const;
  bool Enabled(HWND dlg, int id) const;
  int ComboSelection(HWND dlg, int id) const;
  std::vector<std::string> ComboItems(HWND dlg, int id) const;
  HWND Focus() const; // the thread under test's focus window

  void SetText(HWND dlg, int id, const std::string& text);
  void Click(HWND dlg, int id); // a button that opens nothing
  void SelectCombo(HWND dlg, int id, int index);
  // Presses a button that may open a message box or close the dialog: the
  // click is posted, so the thread under test handles it in its own loop.
  void Press(HWND dlg, int id);

  // Waits for the alert message box, keeps what it showed, closes it with
  // its OK button and waits until it is gone. False when none came.
  bool CloseAlert(HWND settingsDialog, SeenMessageBox* seen);
  // Waits until the window is destroyed. False on time-out.
  bool WaitGone(HWND wnd, DWORD timeoutMs = 10000);
  // Waits until the focus is on this window (or the time-out).
  HWND WaitForFocus(HWND wanted, DWORD timeoutMs = 3000);

  // Notes a failed step; the test reports them all.
  void Fail(const std::string& what) { failures.push_back(what); }
  std::vector<std::string> failures;

private:
  DWORD uiThread_;
  HANDLE uiDone_;
};

// Runs `modal` on this thread and `script` on a user thread. When the script
// ends with windows still open, the user closes them (message boxes with OK,
// dialogs with Cancel) and notes it as a failure. Returns modal's result.
DWORD RunWithUser(const std::function<DWORD()>& modal,
                  const std::function<void(DialogUser&)>& script,
                  std::vector<std::string>* failures);

} // namespace veldrin_test
