// KtPrPrinterSetup and the procedure of its dialog "DIALOG_SETTING".
//
// Host pointers: a job record without a format or without print conditions
// counts as "no label format open" (message 60807, result 0), so the
// procedure can rely on both.
#include "settings/settings_dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/errors.h"
#include "driver/exports.h"
#include "driver/fixed_field.h"
#include "driver/slots.h"
#include "host/zovav.h"
#include "settings/dialog_values.h"
#include "settings/message_boxes.h"
#include "settings/position_db.h"
#include "settings/serial_string.h"
#include "settings/store.h"

SettingsDialogParam* g_pSettingsParam;

namespace {
// A radio group of the template: its first and last button and its table.
struct RadioGroup {
  int nFirstId;                    // first button of the group
  int nLastId;                     // last button of the group
  const DialogChoiceGroup* pTable; // stored value <-> button
};

// A serial setting of the slot's DCB image with its radio group.
struct SerialGroup {
  RadioGroup group;                 // its buttons
  int32_t (*get)(const DCB&);       // the stored value
  void (*set)(DCB&, int32_t value); // stores a value
};

// In the order the opening checks them, after the port.
const SerialGroup kSerialGroups[] = {
    {{6230, 6232, &kStopBitChoices},
     [](const DCB& d) -> int32_t { return d.StopBits; },
     [](DCB& d, int32_t v) { d.StopBits = static_cast<BYTE>(v); }},
    {{6240, 6242, &kParityChoices},
     [](const DCB& d) -> int32_t { return d.Parity; },
     [](DCB& d, int32_t v) { d.Parity = static_cast<BYTE>(v); }},
    {{6211, 6214, &kBaudChoices},
     [](const DCB& d) -> int32_t { return static_cast<int32_t>(d.BaudRate); },
     [](DCB& d, int32_t v) { d.BaudRate = static_cast<DWORD>(v); }},
    {{6220, 6221, &kDataBitChoices},
     [](const DCB& d) -> int32_t { return d.ByteSize; },
     [](DCB& d, int32_t v) { d.ByteSize = static_cast<BYTE>(v); }},
};
const RadioGroup kPortGroup{kIdFirstPortButton, kIdFreePortButton, &kPortChoices};

bool label_format_open(const PrintJobInfo* job) {
  return job != nullptr && job->pFormat != nullptr && job->pCondition != nullptr &&
         job->pFormat->wLabelWidth != 0 && job->pFormat->wLabelLength != 0;
}

// The decimal value of a three-character start position. A NUL counts as
// '0', as the print job reads the host's field, so the dialog shows the
// position that would be printed.
int32_t start_position_value(const char (&field)[3]) {
  char text[4];
  for (int i = 0; i < 3; ++i)
    text[i] = field[i] != '\0' ? field[i] : '0';
  text[3] = '\0';
  return static_cast<int32_t>(strtol(text, nullptr, 10));
}

// The start position and density to show, from the database for a label with
// a product name, else (or when the database has none) from the host.
void take_position(const SettingsDialogParam& p, int32_t* start, int32_t* density) {
  LabelFormatBlock& block = g_formatBlocks[p.nSlot];
  if (block.szProduct[0] != '\0' &&
      AccessPrintPositionDb(p.nSlot + 1, block.szFormat, block.szProduct, start, density, 0)) {
    FormatFixedField(block.achStartPos, kStartPosDigits, *start);
    block.chContrast = static_cast<char>('0' + *density);
    block.bPositionFound = 1;
    *start = start_position_value(block.achStartPos);
    return;
  }
  block.bPositionFound = 0;
  const ConditionInfo& host = *p.pJobInfo->pCondition;
  *start = start_position_value(host.achStartPos);
  *density = host.nContrast;
}

void check_group(HWND hDlg, const RadioGroup& group, int32_t value) {
  // An id outside the group unchecks every button of it.
  CheckRadioButton(hDlg, group.nFirstId, group.nLastId, ShownChoice(*group.pTable, value));
}

// The first checked button of a group in id order, or kNoChoice.
uint16_t checked_button(HWND hDlg, const RadioGroup& group) {
  for (int id = group.nFirstId; id <= group.nLastId; ++id)
    if (IsDlgButtonChecked(hDlg, id) == BST_CHECKED)
      return static_cast<uint16_t>(id);
  return kNoChoice;
}

int32_t saved_group(HWND hDlg, const RadioGroup& group, int32_t stored) {
  return SavedChoice(*group.pTable, checked_button(hDlg, group), stored, 0);
}

// Whether a button id belongs to the port choices COM1..COM9.
bool is_fixed_port_button(int id) {
  for (int i = 0; i < kPortChoices.nChoices; ++i)
    if (kPortChoices.pChoices[i].wId == id)
      return true;
  return false;
}

void init_dialog(HWND hDlg, SettingsDialogParam* param) {
  LoadSettingsDialogTexts(kSettingsTemplate, hDlg);
  g_pSettingsParam = param;
  CenterDialogFnV(hDlg, param->hParent);
  LoadPrinterSettings(param->nSlot);
  const PrinterSlot& s = g_slots[param->nSlot];

  int32_t start = 0;
  int32_t density = 0;
  take_position(*param, &start, &density);
  SendDlgItemMessageA(hDlg, kIdStartPosEdit, EM_LIMITTEXT, kStartPosDigits, 0);
  SendDlgItemMessageA(hDlg, kIdPortNumberEdit, EM_LIMITTEXT, kPortNumberDigits, 0);
  SetDlgItemInt(hDlg, kIdDensityEdit, static_cast<UINT>(density), FALSE);
  SetDlgItemInt(hDlg, kIdStartPosEdit, static_cast<UINT>(start), FALSE);

  for (int i = 0; i < kWidthChoices.nChoices; ++i) {
    char text[16];
    snprintf(text, sizeof(text), "%d", static_cast<int>(kWidthChoices.pChoices[i].nValue));
    SendDlgItemMessageA(hDlg, kIdWidthCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendDlgItemMessageA(hDlg, kIdWidthCombo, CB_SETCURSEL,
                      ShownChoice(kWidthChoices, static_cast<int32_t>(s.nMaxWidth)), 0);

  // Signed: a port of 0 or less (none stored) checks no button.
  const int32_t port = static_cast<int32_t>(s.nComPort);
  const bool freePort = ShownChoice(kPortChoices, port) == kIdFreePortButton;
  check_group(hDlg, kPortGroup, port);
  if (freePort)
    SetDlgItemInt(hDlg, kIdPortNumberEdit, static_cast<UINT>(port), FALSE);
  EnableWindow(GetDlgItem(hDlg, kIdPortNumberEdit), freePort);

  for (const SerialGroup& g : kSerialGroups)
    check_group(hDlg, g.group, g.get(s.dcb));
}

// Refuses an entry outside nLow..nHigh with the range message and puts the
// focus on its edit. True when the value is in range.
bool in_range(HWND hDlg, int editId, UINT value, unsigned nameId, int nLow, int nHigh) {
  if (value >= static_cast<UINT>(nLow) && value <= static_cast<UINT>(nHigh))
    return true;
  ShowRangeError(nameId, nLow, nHigh);
  SetFocus(GetDlgItem(hDlg, editId));
  return false;
}

void save_settings(HWND hDlg, const SettingsDialogParam& p) {
  // An empty or non-numeric entry reads as 0.
  UINT density = GetDlgItemInt(hDlg, kIdDensityEdit, nullptr, FALSE);
  if (!in_range(hDlg, kIdDensityEdit, density, kStrDensityName, kMinDensity, kMaxDensity))
    return;
  const UINT start = GetDlgItemInt(hDlg, kIdStartPosEdit, nullptr, FALSE);
  if (!in_range(hDlg, kIdStartPosEdit, start, kStrStartPosName, 0, kMaxStartPosition))
    return;
  const uint16_t portButton = checked_button(hDlg, kPortGroup);
  const UINT freePort = GetDlgItemInt(hDlg, kIdPortNumberEdit, nullptr, FALSE);
  if (portButton == kIdFreePortButton &&
      !in_range(hDlg, kIdPortNumberEdit, freePort, kStrPortNumberName, kMinFreePort,
                kMaxStoredComPort))
    return;
  density = GetDlgItemInt(hDlg, kIdDensityEdit, nullptr, FALSE);

  LabelFormatBlock& block = g_formatBlocks[p.nSlot];
  PrinterSlot& s = g_slots[p.nSlot];
  FormatFixedField(block.achStartPos, kStartPosDigits, start);
  block.chContrast = static_cast<char>('0' + density);
  if (block.szProduct[0] == '\0') {
    ConditionInfo& host = *p.pJobInfo->pCondition;
    memcpy(host.achStartPos, block.achStartPos, sizeof(host.achStartPos));
    host.nContrast = static_cast<SHORT>(density);
  } else {
    int32_t dbStart = static_cast<int32_t>(start);
    int32_t dbDensity = static_cast<int32_t>(density);
    if (AccessPrintPositionDb(p.nSlot + 1, block.szFormat, block.szProduct, &dbStart, &dbDensity,
                              1)) {
      block.bPositionFound = 1;
    } else {
      // Reported, and the serial settings are still saved.
      s.nErrorCode = kErrPositionSave;
      ShowSlotError(hDlg, p.nSlot);
    }
  }

  s.nComPort = static_cast<DWORD>(SavedChoice(
      kPortChoices, portButton, static_cast<int32_t>(s.nComPort), static_cast<int32_t>(freePort)));
  const LRESULT item = SendDlgItemMessageA(hDlg, kIdWidthCombo, CB_GETCURSEL, 0, 0);
  const uint16_t widthChoice =
      item >= 0 && item < kWidthChoices.nChoices ? static_cast<uint16_t>(item) : kNoChoice;
  s.nMaxWidth = static_cast<DWORD>(
      SavedChoice(kWidthChoices, widthChoice, static_cast<int32_t>(s.nMaxWidth), 0));
  for (const SerialGroup& g : kSerialGroups)
    g.set(s.dcb, saved_group(hDlg, g.group, g.get(s.dcb)));
  SavePrinterSettings(p.nSlot);
  EndDialog(hDlg, 1);
}

void on_command(HWND hDlg, int id) {
  if (g_pSettingsParam == nullptr)
    return;
  if (is_fixed_port_button(id))
    EnableWindow(GetDlgItem(hDlg, kIdPortNumberEdit), FALSE);
  else if (id == kIdFreePortButton)
    EnableWindow(GetDlgItem(hDlg, kIdPortNumberEdit), TRUE);
  else if (id == kIdCancelButton)
    EndDialog(hDlg, 0);
  else if (id == kIdSettingButton)
    save_settings(hDlg, *g_pSettingsParam);
}
} // namespace

void LoadSettingsDialogTexts(const char* pszTemplate, HWND hDlg) {
  LoadDialogItemsExFnV(pszTemplate, hDlg, kDriverName);
}

INT_PTR CALLBACK SettingsDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_INITDIALOG:
    init_dialog(hDlg, reinterpret_cast<SettingsDialogParam*>(lParam));
    return TRUE;
  case WM_COMMAND:
    on_command(hDlg, LOWORD(wParam));
    return TRUE;
  default:
    return FALSE;
  }
}

DWORD WINAPI KtPrPrinterSetup(HWND hParent, DWORD printerNumber, PrintJobInfo* pJob) {
  const uint8_t slot = SlotOrFirst(printerNumber);
  if (!label_format_open(pJob)) {
    g_slots[slot].nErrorCode = kErrNoFormat;
    ShowSlotError(hParent, slot);
    return 0;
  }
  SettingsDialogParam param{slot, hParent, pJob};
  DialogBoxParamA(g_hInstance, kSettingsTemplate, hParent, SettingsDialogProc,
                  reinterpret_cast<LPARAM>(&param));
  g_pSettingsParam = nullptr;
  return 1;
}
