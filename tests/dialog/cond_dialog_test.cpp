// KtPrCondDlgCB on a stand-in of the host's print-condition dialog, built in
// memory with the host's control ids, whose procedure passes every message to
// the callback. Each control is watched, so the test sees every action in
// the order it happens as well as the state it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/exports.h"
#include "driver/slots.h"
#include "labelhost/host_dialog.h"
#include "tests/driver/driver_dll.h"
#include "tests/settings/ini_fixture.h"
#include "zovav/test_hooks.h"

namespace {
// The controls the steps turn on, which therefore start off.
const WORD kStartDisabled[] = {20702, 20505, 20715, 20710};

// The actions in the order the callback must take them, written out from the
// host dialog's step table.
std::vector<std::string> expected_actions() {
  std::vector<std::string> a = {"20701 disable", "20702 enable", "22 hide", "20702 hide",
                                "20725 hide"};
  for (int id : {20704, 20705, 20706, 20707, 20708, 20709})
    a.push_back(std::to_string(id) + " disable");
  for (const char* s : {"20710 check", "20710 enable", "20505 enable", "20715 enable"})
    a.push_back(s);
  for (int id : {20713, 20703, 20525, 20526, 20716, 20717, 20718, 20711, 20712})
    a.push_back(std::to_string(id) + " disable");
  for (int id : {20713, 20707, 20708, 20704, 20705, 20706, 20525, 20526, 20716, 20717, 20718, 20709,
                 20712, 20711})
    a.push_back(std::to_string(id) + " uncheck");
  a.push_back("20701 text 200");
  return a;
}

// A control's state.
struct ControlState {
  bool enabled;
  bool visible; // its WS_VISIBLE style (the host dialog itself is never shown)
  bool checked;
  std::string text;
  bool operator==(const ControlState&) const = default;
};

struct ExpectedState {
  WORD id;
  ControlState state;
};

// Every control after the steps, from the initial state set below.
const ExpectedState kAfterSteps[] = {
    {IDOK, {true, true, false, "OK"}},      {IDCANCEL, {true, true, false, "Cancel"}},
    {22, {true, false, false, "Detail"}},   {20505, {true, true, true, "20505"}},
    {20525, {false, true, false, "20525"}}, {20526, {false, true, false, "20526"}},
    {20701, {false, true, false, "200"}},   {20702, {true, false, true, "20702"}},
    {20703, {false, true, true, "20703"}},  {20704, {false, true, false, "20704"}},
    {20705, {false, true, false, "20705"}}, {20706, {false, true, false, "20706"}},
    {20707, {false, true, false, "20707"}}, {20708, {false, true, false, "20708"}},
    {20709, {false, true, false, "20709"}}, {20710, {true, true, true, "20710"}},
    {20711, {false, true, false, "20711"}}, {20712, {false, true, false, "20712"}},
    {20713, {false, true, false, "20713"}}, {20714, {true, true, false, "Printer"}},
    {20715, {true, true, true, "20715"}},   {20716, {false, true, false, "20716"}},
    {20717, {false, true, false, "20717"}}, {20718, {false, true, false, "20718"}},
    {20725, {true, false, false, "Note"}},
};

std::vector<std::string> g_actions; // what the watched controls were told, in order
const char kOldProc[] = "veldrin.oldproc";

LRESULT CALLBACK watch_proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const std::string id = std::to_string(GetDlgCtrlID(wnd));
  if (msg == WM_ENABLE)
    g_actions.push_back(id + (wParam ? " enable" : " disable"));
  else if (msg == BM_SETCHECK)
    g_actions.push_back(id + (wParam == BST_CHECKED ? " check" : " uncheck"));
  else if (msg == WM_SHOWWINDOW && !wParam)
    g_actions.push_back(id + " hide");
  else if (msg == WM_SETTEXT)
    g_actions.push_back(id + " text " + reinterpret_cast<const char*>(lParam));
  auto old = reinterpret_cast<WNDPROC>(GetPropA(wnd, kOldProc));
  return CallWindowProcA(old, wnd, msg, wParam, lParam);
}

// The state before the callback: every checkbox checked but 20710, the
// controls that the steps enable disabled, everything shown.
void set_initial_state(HWND dlg) {
  for (int i = 0; i < kHostControlCount; ++i) {
    const HostControl& c = kHostControls[i];
    HWND w = GetDlgItem(dlg, c.id);
    bool disabled = false;
    for (WORD id : kStartDisabled)
      disabled |= id == c.id;
    EnableWindow(w, !disabled);
    ShowWindow(w, SW_SHOWNA);
    SetWindowTextA(w, c.text);
    if ((c.style & 0x0F) == BS_AUTOCHECKBOX && c.classAtom == 0x0080)
      CheckDlgButton(dlg, c.id, c.id == 20710 ? BST_UNCHECKED : BST_CHECKED);
  }
}

void prepare_and_watch(HWND dlg) {
  set_initial_state(dlg);
  for (int i = 0; i < kHostControlCount; ++i) {
    HWND w = GetDlgItem(dlg, kHostControls[i].id);
    if (GetPropA(w, kOldProc) == nullptr)
      SetPropA(w, kOldProc,
               reinterpret_cast<HANDLE>(
                   SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watch_proc))));
  }
  g_actions.clear();
}

ControlState state_of(HWND dlg, WORD id) {
  HWND w = GetDlgItem(dlg, id);
  char text[64] = "";
  GetWindowTextA(w, text, sizeof(text));
  return {IsWindowEnabled(w) != FALSE, (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0,
          IsDlgButtonChecked(dlg, id) == BST_CHECKED, text};
}

std::vector<ExpectedState> states_of(HWND dlg) {
  std::vector<ExpectedState> s;
  for (const ExpectedState& e : kAfterSteps)
    s.push_back({e.id, state_of(dlg, e.id)});
  return s;
}

// The state set_initial_state leaves, for comparison.
std::vector<ExpectedState> initial_states() {
  std::vector<ExpectedState> s;
  for (int i = 0; i < kHostControlCount; ++i) {
    const HostControl& c = kHostControls[i];
    bool disabled = false;
    for (WORD id : kStartDisabled)
      disabled |= id == c.id;
    const bool checkbox = (c.style & 0x0F) == BS_AUTOCHECKBOX && c.classAtom == 0x0080;
    s.push_back({c.id, {!disabled, true, checkbox && c.id != 20710, c.text}});
  }
  return s;
}

void PrintTo(const ExpectedState& e, std::ostream* os) {
  *os << e.id << (e.state.enabled ? " enabled" : " disabled")
      << (e.state.visible ? " shown" : " hidden") << (e.state.checked ? " checked" : "") << " \""
      << e.state.text << "\"";
}
bool operator==(const ExpectedState& a, const ExpectedState& b) {
  return a.id == b.id && a.state == b.state;
}

class CondDialog : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    ASSERT_NE(nullptr, Driver().hModule);
    ASSERT_TRUE(LoadZoVavTestHooks(&hooks_));
    // Each printer's INI entry names a port of its own: slot n loads port n + 1.
    std::string ini = "[VELDRIN Info]\r\n";
    for (int i = 0; i < kSlotCount; ++i)
      ini += "VD0" + std::to_string(i) + "=" + std::to_string(i + 1) + "#19200#8#0#0#\r\n";
    WriteIni(ini);
    Scribble();
    ref_.nPrinterNo = 1;
    info_.dwActive = 1;
    info_.pPrinterRef = &ref_;
    templ_ = BuildHostDialogTemplate();
  }
  void TearDown() override {
    if (dlg_ != nullptr)
      DestroyWindow(dlg_);
    for (int i = 0; i < kSlotCount; ++i)
      memset(&g_slots[i], 0, sizeof(PrinterSlot));
    IniFixture::TearDown();
  }

  static void Scribble() {
    for (int i = 0; i < kSlotCount; ++i) {
      memset(&g_slots[i], 0, sizeof(PrinterSlot));
      g_slots[i].nComPort = 99;
      g_slots[i].nErrorCode = 60806;
    }
  }

  // Creates the host dialog; the callback sees WM_INITDIALOG.
  HWND Open(DWORD(WINAPI* callback)(HWND, UINT, WPARAM, LPARAM, CondDialogInfo*) = KtPrCondDlgCB,
            CondDialogInfo* info = nullptr, bool nullInfo = false) {
    ctx_ = HostDialogContext{callback, nullInfo ? nullptr : (info ? info : &info_),
                             prepare_and_watch, 0, 77};
    dlg_ = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(templ_.data()),
                                      nullptr, HostDialogProc, reinterpret_cast<LPARAM>(&ctx_));
    EXPECT_NE(nullptr, dlg_);
    return dlg_;
  }
  // Back to the initial state, with the log cleared.
  void Reset() { prepare_and_watch(dlg_); }
  LRESULT Command(WPARAM wParam) { return SendMessageA(dlg_, WM_COMMAND, wParam, 0); }

  // Slots whose settings were reloaded (port no longer the scribbled 99).
  static std::vector<int> ReloadedSlots() {
    std::vector<int> slots;
    for (int i = 0; i < kSlotCount; ++i)
      if (g_slots[i].nComPort != 99)
        slots.push_back(i);
    return slots;
  }

  ZoVavTestHooks hooks_{};
  PrinterRef ref_{};
  CondDialogInfo info_{};
  HostDialogContext ctx_{};
  std::vector<WORD> templ_;
  HWND dlg_ = nullptr;
};
} // namespace

TEST_F(CondDialog, InitialisationTakesEveryStepInOrder) {
  ref_.nPrinterNo = 3;
  const int calls = hooks_.DialogItemCalls();
  Open();
  ASSERT_NE(nullptr, dlg_);
  EXPECT_EQ(expected_actions(), g_actions);
  EXPECT_EQ(std::vector<ExpectedState>(std::begin(kAfterSteps), std::end(kAfterSteps)),
            states_of(dlg_));
  EXPECT_EQ(0u, ctx_.dwLastResult);
  // The item texts are asked for the driver's template on the host's dialog.
  char templ[64] = "", driver[64] = "";
  EXPECT_EQ(calls + 1, hooks_.DialogItemCalls());
  EXPECT_EQ(dlg_, hooks_.LastDialogItems(templ, sizeof(templ), driver, sizeof(driver)));
  EXPECT_STREQ("DIALOG_SETTING", templ);
  EXPECT_STREQ("VELDRIN", driver);
  // Printer 3's settings are reloaded: port 3, and the error code cleared.
  EXPECT_EQ(std::vector<int>{2}, ReloadedSlots());
  EXPECT_EQ(3u, g_slots[2].nComPort);
  EXPECT_EQ(19200u, g_slots[2].dcb.BaudRate);
  EXPECT_EQ(0u, g_slots[2].nErrorCode);
}

TEST_F(CondDialog, Command20714TakesTheStepsAgain) {
  Open();
  Reset();
  Scribble();
  const int calls = hooks_.DialogItemCalls();
  // The low word is the command; the notification in the high word does not matter.
  for (WPARAM wParam : {WPARAM{20714}, MAKEWPARAM(20714, 1)}) {
    Reset();
    Scribble();
    Command(wParam);
    EXPECT_EQ(expected_actions(), g_actions);
    EXPECT_EQ(std::vector<ExpectedState>(std::begin(kAfterSteps), std::end(kAfterSteps)),
              states_of(dlg_));
    EXPECT_EQ(std::vector<int>{0}, ReloadedSlots());
    EXPECT_EQ(0u, ctx_.dwLastResult);
  }
  EXPECT_EQ(calls, hooks_.DialogItemCalls()) << "item texts only at initialisation";
}

TEST_F(CondDialog, OtherMessagesDoNothing) {
  Open();
  struct Case {
    UINT message;
    WPARAM wParam;
  } const cases[] = {
      {WM_COMMAND, 20713}, {WM_COMMAND, 20715},        {WM_COMMAND, 22},
      {WM_COMMAND, 0},     {WM_COMMAND, 20714u << 16}, {WM_COMMAND, MAKEWPARAM(20724, 0)},
      {WM_TIMER, 20714},   {WM_NOTIFY, 20714},         {WM_DESTROY, 0},
      {WM_USER, 20714},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.message << " " << c.wParam);
    Reset();
    Scribble();
    // Straight to the callback, as the host's procedure passes each message
    // (a WM_DESTROY sent to a live dialog would upset the dialog manager).
    const DWORD result = KtPrCondDlgCB(dlg_, c.message, c.wParam, 0, &info_);
    EXPECT_EQ(std::vector<std::string>{}, g_actions);
    EXPECT_EQ(initial_states(), [&] {
      std::vector<ExpectedState> s;
      for (int i = 0; i < kHostControlCount; ++i)
        s.push_back({kHostControls[i].id, state_of(dlg_, kHostControls[i].id)});
      return s;
    }());
    EXPECT_EQ(std::vector<int>{}, ReloadedSlots());
    EXPECT_EQ(0u, result);
  }
}

TEST_F(CondDialog, InactiveDoesNothing) {
  info_.dwActive = 0;
  const int calls = hooks_.DialogItemCalls();
  Open();
  EXPECT_EQ(std::vector<std::string>{}, g_actions);
  Reset();
  Command(20714);
  EXPECT_EQ(std::vector<std::string>{}, g_actions);
  EXPECT_EQ(std::vector<int>{}, ReloadedSlots());
  EXPECT_EQ(calls, hooks_.DialogItemCalls());
  EXPECT_EQ(0u, ctx_.dwLastResult);
}

TEST_F(CondDialog, NoRecordDoesNothing) {
  Open(KtPrCondDlgCB, nullptr, true);
  EXPECT_EQ(std::vector<std::string>{}, g_actions);
  Command(20714);
  EXPECT_EQ(std::vector<std::string>{}, g_actions);
  EXPECT_EQ(std::vector<int>{}, ReloadedSlots());
  EXPECT_EQ(0u, ctx_.dwLastResult);
}

TEST_F(CondDialog, PrinterNumbersOutsideOneToEightUseSlotZero) {
  struct Case {
    int printer; // -1: no printer record
    int slot;
  } const cases[] = {{1, 0}, {2, 1}, {8, 7}, {0, 0}, {9, 0}, {255, 0}, {-1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    Scribble();
    ref_.nPrinterNo = static_cast<BYTE>(c.printer);
    info_.pPrinterRef = c.printer < 0 ? nullptr : &ref_;
    Open();
    EXPECT_EQ(std::vector<int>{c.slot}, ReloadedSlots());
    EXPECT_EQ(expected_actions(), g_actions) << "the steps are taken all the same";
    DestroyWindow(dlg_);
    dlg_ = nullptr;
  }
}

TEST_F(CondDialog, TheExportTakesTheSteps) {
  ASSERT_NE(nullptr, Driver().CondDlgCB);
  Open(Driver().CondDlgCB);
  EXPECT_EQ(expected_actions(), g_actions);
  EXPECT_EQ(std::vector<ExpectedState>(std::begin(kAfterSteps), std::end(kAfterSteps)),
            states_of(dlg_));
  Reset();
  Command(20714);
  EXPECT_EQ(expected_actions(), g_actions);
  EXPECT_EQ(0u, ctx_.dwLastResult);
}
