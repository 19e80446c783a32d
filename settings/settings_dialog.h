// The printer settings dialog "DIALOG_SETTING": KtPrPrinterSetup runs it
// modally for one printer; SettingsDialogProc shows the stored settings and,
// on "Setting", stores what the user chose in the slot, its label-format
// block, the INI file and either the print position database or the host's
// print conditions.
#pragma once

#include <windows.h>
#include <cstdint>

#include "host/records.h"

// Made by KtPrPrinterSetup for the length of the dialog; its address is the
// dialog's creation parameter.
struct SettingsDialogParam {
  uint8_t nSlot;          // slot index 0..7
  HWND hParent;           // the dialog's owner, and the window it is centred on
  PrintJobInfo* pJobInfo; // the host's job record (format and conditions not null)
};

// The open dialog's parameter (one settings dialog at a time); null while no
// dialog is open.
extern SettingsDialogParam* g_pSettingsParam;

// The template's resource name.
inline constexpr char kSettingsTemplate[] = "DIALOG_SETTING";

// Controls of the template that the procedure reads or writes.
enum SettingsControlId : int {
  kIdSettingButton = IDOK,    // "Setting": check, store, close with 1
  kIdCancelButton = IDCANCEL, // "Cancel": close with 0, nothing stored
  kIdStartPosEdit = 6101,     // print start position, mm
  kIdDensityEdit = 6102,      // print density 1..9
  kIdPortNumberEdit = 6103,   // port number that goes with the "COM" button
  kIdFirstPortButton = 6201,  // "COM1"
  kIdFreePortButton = 6210,   // "COM" with the port number edit
  kIdWidthCombo = 6257,       // maximum print width, mm
};

// Names of the settings the dialog checks beside the density (string table,
// filled into the range message 60601).
enum SettingsDialogStringId : uint32_t {
  kStrPortNumberName = 60603, // "COM port number"
  kStrStartPosName = 60604,   // "Print start position"
};

// Limits of the entries. A start position is stored as three ASCII digits, so
// the edit takes at most three and "Setting" refuses anything above 999 (a
// number typed over the limit cannot arrive, one set by a program can). The
// one-character port field of the INI string holds ports 1..207.
inline constexpr int kMinDensity = 1;
inline constexpr int kMaxDensity = 9;
inline constexpr int kMaxStartPosition = 999;
inline constexpr int kStartPosDigits = 3;
inline constexpr int kMinFreePort = 1;
inline constexpr int kPortNumberDigits = 3;

// The dialog procedure of "DIALOG_SETTING": TRUE for WM_INITDIALOG and every
// WM_COMMAND, FALSE for every other message.
INT_PTR CALLBACK SettingsDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// Has the host library set the item texts of a dialog made from the driver's
// template pszTemplate (also used on the host's own print-condition dialog).
void LoadSettingsDialogTexts(const char* pszTemplate, HWND hDlg);
