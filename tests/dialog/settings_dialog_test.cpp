// KtPrPrinterSetup and its dialog driven as a user would: a user thread finds
// the modal dialog, reads what it shows, types into its edits, clicks its
// buttons, reads and closes its message boxes, and the test then checks what
// was stored: the INI file, the host's condition record, the print position
// file (built byte by byte) and the static core's slots and label-format
// blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/exports.h"
#include "driver/slots.h"
#include "host/records.h"
#include "tests/dialog/dialog_user.h"
#include "tests/driver/driver_dll.h"
#include "tests/settings/ini_fixture.h"
#include "tests/settings/position_file.h"
#include "zovav/test_hooks.h"

namespace {
using namespace veldrin_test;

const char kDensityMessage[] = "Parameter \"Print density\" is out of range.Please input the "
                               "numerical value from 1 to 9.";
const char kStartMessage[] = "Parameter \"Print start position\" is out of range.Please input the "
                             "numerical value from 0 to 999.";
const char kPortMessage[] = "Parameter \"COM port number\" is out of range.Please input the "
                            "numerical value from 1 to 207.";
const char kNoFormatMessage[] =
    "Because the format is not opened, it doesn't put it in the printer setting.";
// 60808 is longer than the 128-character buffer: the box shows 127 characters.
const std::string kPositionSaveMessage =
    std::string("The preservation of the position where the commodity was begun the print "
                "failed. Please confirm the file of the data base at the \r\n print beginning "
                "position.")
        .substr(0, 127);

// Every radio button of the dialog, in id order.
const int kRadioIds[] = {6201, 6202, 6203, 6204, 6205, 6206, 6207, 6208, 6209, 6210, 6211,
                         6212, 6213, 6214, 6220, 6221, 6230, 6231, 6232, 6240, 6241, 6242};

// What the dialog shows.
struct Shown {
  std::string density;      // edit 6102
  std::string start;        // edit 6101
  std::vector<int> checked; // checked radio buttons
  std::string port;         // edit 6103
  bool portEnabled;         // edit 6103 enabled
  int width;                // combo selection
};

Shown read_shown(DialogUser& u, HWND dlg) {
  Shown s;
  s.density = u.Text(dlg, 6102);
  s.start = u.Text(dlg, 6101);
  for (int id : kRadioIds)
    if (u.Checked(dlg, id))
      s.checked.push_back(id);
  s.port = u.Text(dlg, 6103);
  s.portEnabled = u.Enabled(dlg, 6103);
  s.width = u.ComboSelection(dlg, 6257);
  return s;
}

// What the user does before pressing "Setting". Empty texts and 0 ids leave
// a control as it opened.
struct UserChoices {
  const char* density; // text for 6102, or null
  const char* start;   // text for 6101, or null
  int portButton;      // port radio button to click
  const char* port;    // text for 6103 (after clicking 6210)
  int baud;            // radio buttons to click
  int dataBits;
  int stopBits;
  int parity;
  int width; // combo item, -1: leave
};

void apply_choices(DialogUser& u, HWND dlg, const UserChoices& c) {
  if (c.density != nullptr)
    u.SetText(dlg, 6102, c.density);
  if (c.start != nullptr)
    u.SetText(dlg, 6101, c.start);
  for (int id : {c.portButton, c.baud, c.dataBits, c.stopBits, c.parity})
    if (id != 0)
      u.Click(dlg, id);
  if (c.port != nullptr)
    u.SetText(dlg, 6103, c.port);
  if (c.width >= 0)
    u.SelectCombo(dlg, 6257, c.width);
}

std::string text3(const char* p) {
  return std::string(p, 3);
}

class SettingsDialog : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    ASSERT_NE(nullptr, Driver().hModule);
    ASSERT_TRUE(LoadZoVavTestHooks(&hooks_));
    // The static core's dialog comes from the DLL's resources, as in the host.
    g_hInstance = reinterpret_cast<HINSTANCE>(Driver().hModule);
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", dir_.c_str());
    posFile_ = dir_ + "\\VD_PosAdjust.adj";
    for (int i = 0; i < kSlotCount; ++i) {
      memset(&g_slots[i], 0, sizeof(PrinterSlot));
      memset(&g_formatBlocks[i], 0, sizeof(LabelFormatBlock));
    }
    format_.wLabelWidth = 500;
    format_.wLabelLength = 300;
    memcpy(condition_.achStartPos, "012", 3);
    condition_.nContrast = 5;
    job_.pFormat = &format_;
    job_.pCondition = &condition_;
    parent_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 60, 640,
                              520, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent_);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    DeleteFileA(posFile_.c_str());
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", nullptr);
    for (int i = 0; i < kSlotCount; ++i) {
      memset(&g_slots[i], 0, sizeof(PrinterSlot));
      memset(&g_formatBlocks[i], 0, sizeof(LabelFormatBlock));
    }
    IniFixture::TearDown();
  }

  // KtPrPrinterSetup of the static core, with the script as the user.
  DWORD Setup(DWORD printer, const std::function<void(DialogUser&)>& script,
              PrintJobInfo* job = nullptr) {
    PrintJobInfo* j = job != nullptr ? job : &job_;
    std::vector<std::string> failures;
    const DWORD result =
        RunWithUser([&] { return KtPrPrinterSetup(parent_, printer, j); }, script, &failures);
    for (const std::string& f : failures)
      ADD_FAILURE() << "user: " << f;
    return result;
  }

  // Opens, lets `during` look and act, then presses `button` and waits for
  // the dialog to close.
  DWORD OpenAndPress(DWORD printer, int button,
                     const std::function<void(DialogUser&, HWND)>& during) {
    return Setup(printer, [&](DialogUser& u) {
      HWND dlg = u.WaitForWindow(kSettingsCaption);
      if (dlg == nullptr)
        return u.Fail("the settings dialog did not open");
      during(u, dlg);
      u.Press(dlg, button);
      if (!u.WaitGone(dlg))
        u.Fail("the dialog did not close");
    });
  }

  Shown OpenAndCancel(DWORD printer = 1) {
    Shown shown{};
    EXPECT_EQ(1u, OpenAndPress(printer, IDCANCEL,
                               [&](DialogUser& u, HWND dlg) { shown = read_shown(u, dlg); }));
    return shown;
  }

  void SetLabel(uint8_t slot, const char* format, const char* product) {
    lstrcpynA(g_formatBlocks[slot].szFormat, format, sizeof(g_formatBlocks[slot].szFormat));
    lstrcpynA(g_formatBlocks[slot].szProduct, product, sizeof(g_formatBlocks[slot].szProduct));
  }

  ZoVavTestHooks hooks_{};
  std::string posFile_;
  FormatInfo format_{};
  ConditionInfo condition_{};
  PrintJobInfo job_{};
  HWND parent_ = nullptr;
};

// ---- Opening ----

struct OpeningCase {
  const char* what;
  const char* ini;          // INI text, or null for no file
  std::vector<int> checked; // radio buttons shown checked
  const char* port;         // edit 6103
  bool portEnabled;         //
  int width;                // combo selection
};

TEST_F(SettingsDialog, OpeningShowsTheStoredSerialSettingsAndWidth) {
  const OpeningCase cases[] = {
      {"no INI file: the defaults", nullptr, {6203, 6211, 6221, 6230, 6240}, "", false, 0},
      {"port 12 in the COM edit",
       "[VELDRIN Info]\r\nVD00=<#19200#7#1#2#\r\nVDMAX00=106\r\n",
       {6210, 6212, 6220, 6231, 6242},
       "12",
       true,
       2},
      {"COM5",
       "[VELDRIN Info]\r\nVD00=5#38400#8#2#1#\r\nVDMAX00=112\r\n",
       {6205, 6213, 6221, 6232, 6241},
       "",
       false,
       3},
      {"unknown baud rate and width",
       "[VELDRIN Info]\r\nVD00=9#04800#8#0#0#\r\nVDMAX00=80\r\n",
       {6209, 6211, 6221, 6230, 6240},
       "",
       false,
       0},
      {"values no button has",
       "[VELDRIN Info]\r\nVD00=0#57600#9#3#3#\r\nVDMAX00=56\r\n",
       {6214, 6221},
       "",
       false,
       1},
      {"port 10",
       "[VELDRIN Info]\r\nVD00=:#09600#8#0#0#\r\n",
       {6210, 6211, 6221, 6230, 6240},
       "10",
       true,
       0},
  };
  for (const OpeningCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.ini != nullptr)
      WriteIni(c.ini);
    else
      WriteIni("", false);
    const std::string before = ReadIni();
    const Shown s = OpenAndCancel();
    EXPECT_EQ(c.checked, s.checked);
    EXPECT_EQ(c.port, s.port);
    EXPECT_EQ(c.portEnabled, s.portEnabled);
    EXPECT_EQ(c.width, s.width);
    EXPECT_EQ(before, ReadIni()) << "Cancel writes nothing";
  }
}

TEST_F(SettingsDialog, OpeningShowsTheHostsStartPositionAndDensity) {
  struct Case {
    const char* startPos; // three characters
    SHORT contrast;
    const char* start; // shown
    const char* density;
  } const cases[] = {
      {"012", 5, "12", "5"},
      {"999", 9, "999", "9"},
      {"000", 1, "0", "1"},
      // A NUL reads as '0', as the print job reads the field.
      {"7\0\0", 3, "700", "3"},
      {"\0\0\0", 0, "0", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    memcpy(condition_.achStartPos, c.startPos, 3);
    condition_.nContrast = c.contrast;
    const ConditionInfo before = condition_;
    const Shown s = OpenAndCancel();
    EXPECT_EQ(c.start, s.start);
    EXPECT_EQ(c.density, s.density);
    EXPECT_EQ(0, memcmp(&before, &condition_, sizeof(before))) << "Cancel writes nothing";
    EXPECT_EQ(0u, g_formatBlocks[0].bPositionFound);
  }
}

TEST_F(SettingsDialog, OpeningFillsTheWidthsAndAsksForTheItemTexts) {
  std::vector<std::string> items;
  HWND itemsWindow = nullptr, dialog = nullptr, owner = nullptr;
  char templ[64] = "", driver[64] = "";
  RECT dlgRect{}, parentRect{};
  LRESULT startLimit = 0, portLimit = 0;
  const int callsBefore = hooks_.DialogItemCalls();
  EXPECT_EQ(1u, OpenAndPress(1, IDCANCEL, [&](DialogUser& u, HWND dlg) {
              dialog = dlg;
              items = u.ComboItems(dlg, 6257);
              itemsWindow = hooks_.LastDialogItems(templ, sizeof(templ), driver, sizeof(driver));
              owner = GetWindow(dlg, GW_OWNER);
              GetWindowRect(dlg, &dlgRect);
              GetWindowRect(parent_, &parentRect);
              startLimit = SendDlgItemMessageA(dlg, 6101, EM_GETLIMITTEXT, 0, 0);
              portLimit = SendDlgItemMessageA(dlg, 6103, EM_GETLIMITTEXT, 0, 0);
            }));
  EXPECT_EQ((std::vector<std::string>{"53", "56", "106", "112"}), items);
  EXPECT_EQ(callsBefore + 1, hooks_.DialogItemCalls());
  EXPECT_EQ(dialog, itemsWindow);
  EXPECT_STREQ("DIALOG_SETTING", templ);
  EXPECT_STREQ("VELDRIN", driver);
  EXPECT_EQ(parent_, owner);
  // Centred on the parent window.
  EXPECT_NEAR((parentRect.left + parentRect.right) / 2, (dlgRect.left + dlgRect.right) / 2, 1);
  EXPECT_NEAR((parentRect.top + parentRect.bottom) / 2, (dlgRect.top + dlgRect.bottom) / 2, 1);
  EXPECT_EQ(3, startLimit);
  EXPECT_EQ(3, portLimit);
}

TEST_F(SettingsDialog, PortButtonsSwitchThePortNumberEdit) {
  std::vector<bool> enabled;
  OpenAndPress(1, IDCANCEL, [&](DialogUser& u, HWND dlg) {
    for (int id : {6210, 6201, 6210, 6209, 6210, 6205}) {
      u.Click(dlg, id);
      enabled.push_back(u.Enabled(dlg, 6103));
    }
  });
  EXPECT_EQ((std::vector<bool>{true, false, true, false, true, false}), enabled);
}

// ---- Setting ----

struct SaveCase {
  const char* what;
  const char* ini;      // INI text before, or null for none
  UserChoices choices;  //
  const char* serial;   // VD00 afterwards
  const char* maxWidth; // VDMAX00 afterwards
  const char* startPos; // host achStartPos afterwards
  SHORT contrast;       // host nContrast afterwards
};

TEST_F(SettingsDialog, SettingStoresEveryChoice) {
  const char* kDefaultsIni = nullptr;
  const SaveCase cases[] = {
      {"every group changed",
       kDefaultsIni,
       {"7", "5", 6201, nullptr, 6214, 6220, 6232, 6242, 3},
       "1#57600#7#2#2#",
       "112",
       "005",
       7},
      {"nothing changed",
       kDefaultsIni,
       {nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, -1},
       "3#09600#8#0#0#",
       "53",
       "012",
       5},
      {"COM with 12",
       kDefaultsIni,
       {"2", "42", 6210, "12", 6212, 0, 6231, 6241, 1},
       "<#19200#8#1#1#",
       "56",
       "042",
       2},
      {"COM with 5",
       kDefaultsIni,
       {nullptr, nullptr, 6210, "5", 0, 0, 0, 0, 2},
       "5#09600#8#0#0#",
       "106",
       "012",
       5},
      {"COM with 1",
       kDefaultsIni,
       {nullptr, nullptr, 6210, "1", 0, 0, 0, 0, -1},
       "1#09600#8#0#0#",
       "53",
       "012",
       5},
      {"COM with 207, the highest the INI holds",
       kDefaultsIni,
       {nullptr, nullptr, 6210, "207", 0, 0, 0, 0, -1},
       "\xFF#09600#8#0#0#",
       "53",
       "012",
       5},
      {"stored 4800 baud saves 9600",
       "[VELDRIN Info]\r\nVD00=4#04800#8#0#0#\r\n",
       {nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, -1},
       "4#09600#8#0#0#",
       "53",
       "012",
       5},
      {"stored width 80 saves 53",
       "[VELDRIN Info]\r\nVDMAX00=80\r\n",
       {nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, -1},
       "3#09600#8#0#0#",
       "53",
       "012",
       5},
      {"groups with no checked button keep their stored values",
       "[VELDRIN Info]\r\nVD00=0#09600#8#3#3#\r\n",
       {nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, -1},
       "0#09600#8#3#3#",
       "53",
       "012",
       5},
      {"a choice in such a group is stored",
       "[VELDRIN Info]\r\nVD00=0#09600#8#3#3#\r\n",
       {nullptr, nullptr, 6202, nullptr, 0, 0, 6230, 0, -1},
       "2#09600#8#0#3#",
       "53",
       "012",
       5},
      {"density 1 and start 999",
       kDefaultsIni,
       {"1", "999", 0, nullptr, 0, 0, 0, 0, -1},
       "3#09600#8#0#0#",
       "53",
       "999",
       1},
      {"density 9 and start 0",
       kDefaultsIni,
       {"9", "0", 0, nullptr, 0, 0, 0, 0, -1},
       "3#09600#8#0#0#",
       "53",
       "000",
       9},
      {"an empty start position is 0",
       kDefaultsIni,
       {"4", "", 0, nullptr, 0, 0, 0, 0, -1},
       "3#09600#8#0#0#",
       "53",
       "000",
       4},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.ini != nullptr)
      WriteIni(c.ini);
    else
      WriteIni("", false);
    memcpy(condition_.achStartPos, "012", 3);
    condition_.nContrast = 5;
    EXPECT_EQ(1u, OpenAndPress(1, IDOK,
                               [&](DialogUser& u, HWND dlg) { apply_choices(u, dlg, c.choices); }));
    EXPECT_EQ(c.serial, IniValue("VELDRIN Info", "VD00"));
    EXPECT_EQ(c.maxWidth, IniValue("VELDRIN Info", "VDMAX00"));
    EXPECT_EQ(c.startPos, text3(condition_.achStartPos));
    EXPECT_EQ(c.contrast, condition_.nContrast);
    // The slot's label-format block carries the same values.
    EXPECT_EQ(c.startPos, text3(g_formatBlocks[0].achStartPos));
    EXPECT_EQ('0' + c.contrast, g_formatBlocks[0].chContrast);
    EXPECT_EQ(0u, g_formatBlocks[0].bPositionFound);
    EXPECT_EQ("<absent>", IniValue("VELDRIN Info", "VD01")) << "only printer 1's keys";
  }
}

TEST_F(SettingsDialog, SettingFillsTheSlot) {
  WriteIni("", false);
  OpenAndPress(1, IDOK, [&](DialogUser& u, HWND dlg) {
    apply_choices(u, dlg, {"6", "77", 6210, "150", 6213, 6220, 6231, 6241, 2});
  });
  const PrinterSlot& s = g_slots[0];
  EXPECT_EQ(150u, s.nComPort);
  EXPECT_EQ(106u, s.nMaxWidth);
  EXPECT_EQ(38400u, s.dcb.BaudRate);
  EXPECT_EQ(7, s.dcb.ByteSize);
  EXPECT_EQ(ONE5STOPBITS, s.dcb.StopBits);
  EXPECT_EQ(ODDPARITY, s.dcb.Parity);
  EXPECT_EQ("077", text3(g_formatBlocks[0].achStartPos));
  EXPECT_EQ('6', g_formatBlocks[0].chContrast);
}

TEST_F(SettingsDialog, StoredPortsOpenAgainAsChosen) {
  struct Case {
    const char* port; // typed after clicking "COM"
    std::vector<int> portChecked;
    const char* shown;
    bool enabled;
  } const cases[] = {
      {"12", {6210}, "12", true},
      {"5", {6205}, "", false},
      {"207", {6210}, "207", true},
      {"10", {6210}, "10", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    WriteIni("", false);
    OpenAndPress(1, IDOK, [&](DialogUser& u, HWND dlg) {
      u.Click(dlg, 6210);
      u.SetText(dlg, 6103, c.port);
    });
    const Shown s = OpenAndCancel();
    std::vector<int> ports;
    for (int id : s.checked)
      if (id >= 6201 && id <= 6210)
        ports.push_back(id);
    EXPECT_EQ(c.portChecked, ports);
    EXPECT_EQ(c.shown, s.port);
    EXPECT_EQ(c.enabled, s.portEnabled);
  }
}

TEST_F(SettingsDialog, CancelWritesNothing) {
  WriteIni("[VELDRIN Info]\r\nVD00=2#19200#8#0#0#\r\nVDMAX00=56\r\n");
  const std::string before = ReadIni();
  const ConditionInfo hostBefore = condition_;
  EXPECT_EQ(1u, OpenAndPress(1, IDCANCEL, [&](DialogUser& u, HWND dlg) {
              apply_choices(u, dlg, {"8", "300", 6210, "44", 6214, 6220, 6232, 6242, 3});
            }));
  EXPECT_EQ(before, ReadIni());
  EXPECT_EQ(0, memcmp(&hostBefore, &condition_, sizeof(hostBefore)));
  // The opening's reload stays: the slot holds the INI values.
  EXPECT_EQ(2u, g_slots[0].nComPort);
  EXPECT_EQ(19200u, g_slots[0].dcb.BaudRate);
}

// ---- Entries out of range ----

struct RangeCase {
  const char* what;
  int edit;            // the edit holding the bad entry
  const char* bad;     // its text
  const char* message; // the range message
  const char* fix;     // a good entry afterwards
};

TEST_F(SettingsDialog, EntriesOutOfRangeKeepTheDialogOpen) {
  const RangeCase cases[] = {
      {"density 0", 6102, "0", kDensityMessage, "4"},
      {"density 10", 6102, "10", kDensityMessage, "4"},
      {"density empty", 6102, "", kDensityMessage, "4"},
      {"density not a number", 6102, "x", kDensityMessage, "4"},
      {"start 1000", 6101, "1000", kStartMessage, "4"},
      {"start 4294967295", 6101, "4294967295", kStartMessage, "4"},
      {"port 0", 6103, "0", kPortMessage, "4"},
      {"port 208", 6103, "208", kPortMessage, "4"},
      {"port empty", 6103, "", kPortMessage, "4"},
      {"port 9999", 6103, "9999", kPortMessage, "4"},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteIni("", false);
    memcpy(condition_.achStartPos, "012", 3);
    condition_.nContrast = 5;
    SeenMessageBox seen{};
    HWND dialog = nullptr, focus = nullptr, editWindow = nullptr;
    std::string iniMeanwhile, hostMeanwhile;
    SHORT contrastMeanwhile = 0;
    const DWORD result = Setup(1, [&](DialogUser& u) {
      HWND dlg = dialog = u.WaitForWindow(kSettingsCaption);
      if (dlg == nullptr)
        return u.Fail("no dialog");
      editWindow = GetDlgItem(dlg, c.edit);
      if (c.edit == 6103)
        u.Click(dlg, 6210);
      u.SetText(dlg, c.edit, c.bad);
      // Focus elsewhere first, so the move to the edit is the dialog's doing.
      SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, IDCANCEL)), TRUE);
      u.Press(dlg, IDOK);
      if (!u.CloseAlert(dlg, &seen))
        return;
      focus = u.WaitForFocus(editWindow);
      iniMeanwhile = IniValue("VELDRIN Info", "VD00");
      hostMeanwhile = text3(condition_.achStartPos);
      contrastMeanwhile = condition_.nContrast;
      if (!IsWindow(dlg))
        return u.Fail("the dialog closed");
      u.SetText(dlg, c.edit, c.fix);
      u.Press(dlg, IDOK);
      if (!u.WaitGone(dlg))
        u.Fail("the dialog did not close with a good entry");
    });
    EXPECT_EQ(c.message, seen.text);
    EXPECT_TRUE(seen.dialogOpen);
    EXPECT_EQ(dialog, seen.owner) << "owned by the dialog";
    EXPECT_EQ(editWindow, focus) << "the focus goes to the edit";
    EXPECT_EQ("<absent>", iniMeanwhile) << "nothing written";
    EXPECT_EQ("012", hostMeanwhile);
    EXPECT_EQ(5, contrastMeanwhile);
    EXPECT_EQ(1u, result);
    EXPECT_NE("<absent>", IniValue("VELDRIN Info", "VD00")) << "saved once the entry is good";
  }
}

// ---- The print position database ----

TEST_F(SettingsDialog, ALabelWithAProductUsesTheDatabase) {
  const std::string stored = TestRecordOf("FMT", "PROD", "1", "42", "6", "memo");
  ASSERT_TRUE(TestWriteFile(posFile_, TestPositionFile(kTestFields, kTestRecordSize, {stored})));
  SetLabel(0, "FMT", "PROD");
  const ConditionInfo hostBefore = condition_;
  Shown shown{};
  LabelFormatBlock afterOpening{};
  EXPECT_EQ(1u, OpenAndPress(1, IDOK, [&](DialogUser& u, HWND dlg) {
              shown = read_shown(u, dlg);
              afterOpening = g_formatBlocks[0];
              u.SetText(dlg, 6101, "17");
              u.SetText(dlg, 6102, "3");
            }));
  EXPECT_EQ("42", shown.start);
  EXPECT_EQ("6", shown.density);
  EXPECT_EQ("042", text3(afterOpening.achStartPos));
  EXPECT_EQ('6', afterOpening.chContrast);
  EXPECT_EQ(1u, afterOpening.bPositionFound);
  // The record is updated in place, its other field kept; the host's record
  // is left alone.
  EXPECT_EQ(TestPositionFile(kTestFields, kTestRecordSize,
                             {TestRecordOf("FMT", "PROD", "1", "17", "3", "memo")}),
            TestReadFile(posFile_));
  EXPECT_EQ(0, memcmp(&hostBefore, &condition_, sizeof(hostBefore)));
  EXPECT_EQ("017", text3(g_formatBlocks[0].achStartPos));
  EXPECT_EQ('3', g_formatBlocks[0].chContrast);
  EXPECT_EQ(1u, g_formatBlocks[0].bPositionFound);
  EXPECT_EQ("3#09600#8#0#0#", IniValue("VELDRIN Info", "VD00"));
}

TEST_F(SettingsDialog, AProductWithoutARecordGetsOneAndShowsItNextTime) {
  const std::string other = TestRecordOf("FMT", "PROD", "1", "11", "1");
  ASSERT_TRUE(TestWriteFile(posFile_, TestPositionFile(kTestFields, kTestRecordSize, {other})));
  SetLabel(1, "FMT", "PROD"); // printer 2: no record yet
  Shown first{};
  DWORD foundAtOpening = 9;
  OpenAndPress(2, IDOK, [&](DialogUser& u, HWND dlg) {
    first = read_shown(u, dlg);
    foundAtOpening = g_formatBlocks[1].bPositionFound;
    u.SetText(dlg, 6101, "42");
    u.SetText(dlg, 6102, "8");
  });
  EXPECT_EQ("12", first.start) << "the host's values";
  EXPECT_EQ("5", first.density);
  EXPECT_EQ(0u, foundAtOpening);
  EXPECT_EQ(TestPositionFile(kTestFields, kTestRecordSize,
                             {other, TestRecordOf("FMT", "PROD", "2", "42", "8")}),
            TestReadFile(posFile_));
  EXPECT_EQ(1u, g_formatBlocks[1].bPositionFound);
  const Shown again = OpenAndCancel(2);
  EXPECT_EQ("42", again.start);
  EXPECT_EQ("8", again.density);
}

TEST_F(SettingsDialog, AFailingDatabaseWriteIsShownAndTheRestIsSaved) {
  // No position file: the lookup at opening fails, and so does the write.
  SetLabel(0, "FMT", "PROD");
  const ConditionInfo hostBefore = condition_;
  SeenMessageBox seen{};
  HWND dialog = nullptr;
  const DWORD result = Setup(1, [&](DialogUser& u) {
    HWND dlg = dialog = u.WaitForWindow(kSettingsCaption);
    if (dlg == nullptr)
      return u.Fail("no dialog");
    u.SetText(dlg, 6102, "7");
    u.Click(dlg, 6204);
    u.Press(dlg, IDOK);
    u.CloseAlert(dlg, &seen);
    if (!u.WaitGone(dlg))
      u.Fail("the dialog did not close after the message");
  });
  EXPECT_EQ(1u, result);
  EXPECT_EQ(kPositionSaveMessage, seen.text);
  EXPECT_TRUE(seen.dialogOpen);
  EXPECT_EQ(dialog, seen.owner);
  EXPECT_EQ(0u, g_slots[0].nErrorCode) << "cleared by the message box";
  EXPECT_EQ(0u, g_formatBlocks[0].bPositionFound);
  EXPECT_EQ("4#09600#8#0#0#", IniValue("VELDRIN Info", "VD00"));
  EXPECT_EQ("53", IniValue("VELDRIN Info", "VDMAX00"));
  EXPECT_EQ(0, memcmp(&hostBefore, &condition_, sizeof(hostBefore)));
  EXPECT_EQ("<no file>", TestReadFile(posFile_));
}

// ---- No label format ----

TEST_F(SettingsDialog, NoLabelFormatGivesTheMessageAndNoDialog) {
  struct Case {
    const char* what;
    WORD width, length;
    bool noFormat, noCondition, noJob;
    DWORD printer;
    uint8_t slot;
  } const cases[] = {
      {"width 0", 0, 300, false, false, false, 1, 0},
      {"length 0", 500, 0, false, false, false, 3, 2},
      {"both 0", 0, 0, false, false, false, 9, 0},
      {"no format record", 500, 300, true, false, false, 1, 0},
      {"no condition record", 500, 300, false, true, false, 1, 0},
      {"no job record", 500, 300, false, false, true, 8, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteIni("", false);
    FormatInfo format{};
    format.wLabelWidth = c.width;
    format.wLabelLength = c.length;
    PrintJobInfo job{};
    job.pFormat = c.noFormat ? nullptr : &format;
    job.pCondition = c.noCondition ? nullptr : &condition_;
    g_slots[c.slot].nErrorCode = 0;
    SeenMessageBox seen{};
    bool dialogSeen = false;
    std::vector<std::string> failures;
    const DWORD result =
        RunWithUser([&] { return KtPrPrinterSetup(parent_, c.printer, c.noJob ? nullptr : &job); },
                    [&](DialogUser& u) {
                      if (!u.CloseAlert(nullptr, &seen))
                        return;
                      dialogSeen = u.FindWindowNow(kSettingsCaption) != nullptr;
                    },
                    &failures);
    EXPECT_TRUE(failures.empty()) << (failures.empty() ? "" : failures[0]);
    EXPECT_EQ(0u, result);
    EXPECT_EQ(kNoFormatMessage, seen.text);
    EXPECT_EQ(parent_, seen.owner);
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(0u, g_slots[c.slot].nErrorCode);
    char message[256] = "?";
    EXPECT_EQ(0u, KtPrGetPrintError(c.slot + 1u, message, sizeof(message)));
    EXPECT_EQ("", ReadIni()) << "nothing loaded or written";
  }
}

// ---- Printer numbers ----

TEST_F(SettingsDialog, PrinterNumbersChooseTheSlotAndItsKeys) {
  struct Case {
    DWORD printer;
    const char* key;
    uint8_t slot;
  } const cases[] = {
      {1, "VD00", 0}, {3, "VD02", 2},     {8, "VD07", 7},          {0, "VD00", 0},
      {9, "VD00", 0}, {0x103, "VD02", 2}, {0xFFFFFFFF, "VD00", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    WriteIni("", false);
    OpenAndPress(c.printer, IDOK, [&](DialogUser& u, HWND dlg) { u.SetText(dlg, 6102, "2"); });
    EXPECT_EQ("3#09600#8#0#0#", IniValue("VELDRIN Info", c.key));
    int keys = 0;
    for (int i = 0; i < kSlotCount; ++i) {
      char key[8];
      snprintf(key, sizeof(key), "VD%02d", i);
      keys += IniValue("VELDRIN Info", key) != "<absent>";
    }
    EXPECT_EQ(1, keys);
    EXPECT_EQ('2', g_formatBlocks[c.slot].chContrast);
  }
}

// ---- Through VELDRIN.dll's export ----

TEST_F(SettingsDialog, TheExportRunsTheDialog) {
  ASSERT_NE(nullptr, Driver().PrinterSetup);
  WriteIni("", false);
  std::vector<std::string> failures;
  const DWORD result = RunWithUser([&] { return Driver().PrinterSetup(parent_, 2, &job_); },
                                   [&](DialogUser& u) {
                                     HWND dlg = u.WaitForWindow(kSettingsCaption);
                                     if (dlg == nullptr)
                                       return u.Fail("no dialog");
                                     u.SetText(dlg, 6102, "3");
                                     u.Click(dlg, 6207);
                                     u.Press(dlg, IDOK);
                                     u.WaitGone(dlg);
                                   },
                                   &failures);
  EXPECT_TRUE(failures.empty()) << (failures.empty() ? "" : failures[0]);
  EXPECT_EQ(1u, result);
  EXPECT_EQ("7#09600#8#0#0#", IniValue("VELDRIN Info", "VD01"));
  EXPECT_EQ(3, condition_.nContrast);
}

TEST_F(SettingsDialog, TheExportWithNoFormatLeavesNoErrorBehind) {
  ASSERT_NE(nullptr, Driver().PrinterSetup);
  format_.wLabelWidth = 0;
  SeenMessageBox seen{};
  std::vector<std::string> failures;
  const DWORD result = RunWithUser([&] { return Driver().PrinterSetup(parent_, 1, &job_); },
                                   [&](DialogUser& u) { u.CloseAlert(nullptr, &seen); }, &failures);
  EXPECT_TRUE(failures.empty()) << (failures.empty() ? "" : failures[0]);
  EXPECT_EQ(0u, result);
  EXPECT_EQ(kNoFormatMessage, seen.text);
  char message[256] = "?";
  EXPECT_EQ(0u, Driver().GetPrintError(1, message, sizeof(message)));
}
} // namespace
