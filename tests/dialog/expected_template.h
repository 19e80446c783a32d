// The settings dialog's template as the host expects it, written out from the
// dialog's description independently of resources/dialog.rc: every control in
// template order with its id, class, styles, rectangle and text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace veldrin_test {

// System class ordinals of dialog controls.
inline constexpr WORD kButtonClass = 0x0080;
inline constexpr WORD kEditClass = 0x0081;
inline constexpr WORD kStaticClass = 0x0082;
inline constexpr WORD kComboBoxClass = 0x0085;

struct ExpectedControl {
  WORD id;             // control id
  WORD classAtom;      // system class ordinal
  DWORD style;         // every style bit, WS_CHILD | WS_VISIBLE included
  short x, y, cx, cy;  // rectangle in dialog units
  const wchar_t* text; // its text
};

inline constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

inline constexpr ExpectedControl kExpectedControls[] = {
    {1, kButtonClass, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 12, 194, 40, 16, L"Setting"},
    {2, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 119, 194, 40, 16, L"Cancel"},
    {6102, kEditClass, kChild | ES_RIGHT | WS_BORDER | WS_TABSTOP, 74, 13, 15, 12, L""},
    {6101, kEditClass, kChild | ES_RIGHT | WS_BORDER | WS_TABSTOP, 74, 27, 15, 12, L""},
    {6257, kComboBoxClass, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 74, 42, 27, 63,
     L""},
    {6201, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 45, 75, 31, 9,
     L"COM1"},
    {6202, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 75, 39, 9, L"COM2"},
    {6203, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 75, 31, 9, L"COM3"},
    {6204, kButtonClass, kChild | BS_AUTORADIOBUTTON, 45, 87, 31, 9, L"COM4"},
    {6205, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 87, 39, 9, L"COM5"},
    {6206, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 87, 31, 9, L"COM6"},
    {6207, kButtonClass, kChild | BS_AUTORADIOBUTTON, 45, 99, 31, 9, L"COM7"},
    {6208, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 99, 39, 9, L"COM8"},
    {6209, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 99, 31, 9, L"COM9"},
    {6210, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_TABSTOP, 45, 111, 26, 9, L"COM"},
    {6103, kEditClass, kChild | ES_NUMBER | WS_BORDER | WS_TABSTOP, 71, 109, 11, 12, L""},
    {6211, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 45, 125, 31, 9, L"9600"},
    {6212, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 125, 39, 9, L"19200"},
    {6213, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 125, 31, 9, L"38400"},
    {6214, kButtonClass, kChild | BS_AUTORADIOBUTTON, 45, 136, 31, 9, L"57600"},
    {6220, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 45, 149, 31, 9, L"7Bits"},
    {6221, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_TABSTOP, 86, 149, 39, 9, L"8Bits"},
    {6230, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 45, 163, 31, 9,
     L"1Bit"},
    {6231, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 163, 39, 9, L"1.5Bit"},
    {6232, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 163, 31, 9, L"2Bits"},
    {6240, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 45, 177, 31, 9,
     L"None"},
    {6241, kButtonClass, kChild | BS_AUTORADIOBUTTON, 86, 177, 39, 9, L"Odd"},
    {6242, kButtonClass, kChild | BS_AUTORADIOBUTTON, 129, 177, 31, 9, L"Even"},
    {6107, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 29, 64, 11, L"Print start postion"},
    {6105, kButtonClass, kChild | BS_GROUPBOX, 4, 2, 163, 57, L"Print setting"},
    {6109, kButtonClass, kChild | BS_GROUPBOX, 4, 61, 163, 129, L"COM setting"},
    {6250, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 75, 39, 9, L"Port\uFF1A"},
    {6251, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 125, 39, 9, L"Baud\uFF1A"},
    {6252, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 149, 39, 9, L"DataBits\uFF1A"},
    {6253, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 163, 39, 9, L"StopBits\uFF1A"},
    {6200, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 177, 39, 9, L"Parity\uFF1A"},
    {6108, kStaticClass, kChild | SS_LEFT | WS_GROUP, 93, 29, 69, 11, L"(1=1mm)"},
    {6106, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 14, 55, 11, L"Print density\uFF1A"},
    {6255, kStaticClass, kChild | SS_LEFT | WS_GROUP, 7, 43, 64, 11, L"Print Max Width"},
    {6254, kStaticClass, kChild | SS_LEFT | WS_GROUP, 104, 43, 40, 11, L"mm"},
};

inline constexpr DWORD kExpectedDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;

} // namespace veldrin_test
