// The settings dialog driven as a user would, from its own modal loop, with its message boxes
// answered at once; the host-dialog callback's steps; and the dialog as it shows.
#include <sstream>

#include "labelhost/host_dialog.h"
#include "support/position_file.h"
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// What the user does in the dialog, run from its modal loop.
std::function<void(HWND)> g_user;
void CALLBACK act_in_dialog(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND dlg = FindWindowA(nullptr, "Printer setting"))
    g_user(dlg);
}

// The dialog's state as the user reads it: the checked radio buttons' texts,
// the port edit and whether it is enabled, the width, density and start.
std::string shown(HWND dlg) {
  auto item = [&](int id) {
    char text[16] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return std::string(text);
  };
  std::string s;
  for (int id = 6201; id <= 6242; ++id)
    if (IsDlgButtonChecked(dlg, id) == BST_CHECKED)
      s += item(id) + " ";
  return s + "| port " + item(6103) + (IsWindowEnabled(GetDlgItem(dlg, 6103)) ? " on" : " off") +
         " | width " + item(6257) + " | density " + item(6102) + " | start " + item(6101);
}

// The button the user sees with this text.
HWND button(HWND dlg, const char* text) {
  char t[16];
  HWND w = GetWindow(dlg, GW_CHILD);
  while (w && (GetWindowTextA(w, t, 16), strcmp(t, text) != 0))
    w = GetWindow(w, GW_HWNDNEXT);
  return w;
}

// KtPrPrinterSetup for a printer with `user` acting in the dialog. Message boxes are noted
// ("text|title|type", owner) and answered at once; each must follow the error beep.
struct UserAtTheDialog {
  HWND parent = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500, nullptr,
                              nullptr, nullptr, nullptr);
  std::vector<std::string> boxes;
  HWND owner = nullptr;
  ~UserAtTheDialog() { DestroyWindow(parent); }
  DWORD run(HostJob& job, DWORD printer, std::function<void(HWND)> user) {
    Replace<kMessageBoxA>([this](HWND o, LPCSTR text, LPCSTR title, UINT type) {
      const std::vector<Call> beeps = Calls(kMessageBeep);
      EXPECT_EQ(boxes.size() + 1, beeps.size()) << "the beep first";
      EXPECT_EQ(uintptr_t(MB_ICONHAND), beeps.empty() ? 0 : beeps.back().arg[0]);
      boxes.push_back(std::string(text) + "|" + title + "|" + std::to_string(type));
      owner = o;
      return IDOK;
    });
    g_user = std::move(user);
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, act_in_dialog);
    const DWORD result = Wine::api().PrinterSetup(parent, printer, &job.info);
    KillTimer(nullptr, timer);
    return result;
  }
};

// Control request 17 naming a printer: format "Label A" and a product.
void take_format(const char* product, DWORD printer) {
  LabelFormatParams params{};
  strcpy(params.szFormat, "Label A");
  strcpy(params.szProduct, product);
  Wine::api().IoControl(printer, 17, &params, nullptr);
}

// The position file: printer 1's "Label A" of "Soap" (and then more records).
std::string positions(const char* startAndDensity, const char* more = "") {
  std::istringstream in(std::string(startAndDensity) + " " + more);
  std::vector<std::vector<std::string>> records;
  for (std::string product, start, density; in >> product >> start >> density;)
    records.push_back({"Label A", product, "1", start, density});
  return PositionFile(kPositionFields, 100, records);
}

std::string ini_key(const std::string& ini, const std::string& key) {
  char value[64];
  GetPrivateProfileStringA("VELDRIN Info", key.c_str(), "-", value, sizeof value, ini.c_str());
  return value;
}

const std::string kTitleAndType = "|Error or alert message|" + std::to_string(MB_ICONEXCLAMATION);
} // namespace

TEST_F(Dialog, TheSettingsDialogShowsAndStoresThePrintersSettings) {
  const std::string range = "Parameter \"%s\" is out of range.Please input the numerical value "
                            "from %d to %d.";
  auto out_of_range = [&](const char* name, int low, int high) {
    char text[200];
    snprintf(text, sizeof text, range.c_str(), name, low, high);
    return text + kTitleAndType;
  };
  const std::string density = out_of_range("Print density", 1, 9);
  const std::string noFormat = kMessages.at(60807) + kTitleAndType;
  const std::string plain =
      "COM1 57600 8Bits 1Bit None | port  off | width 56 | density 5 | start 12";
  const std::string soap =
      "COM1 57600 8Bits 1Bit None | port  off | width 56 | density 4 | start 21";
  struct Row {
    const char* name;
    std::string shown; // the dialog as it opened; "" no dialog
    // What the user enters, then Setting (or Cancel): null leaves a field as shown.
    const char* density = nullptr;
    const char* start = nullptr;
    const char* portNumber = nullptr;
    std::vector<const char*> clicks = {}; // buttons, by their text, in order
    const char* width = nullptr;          // the width chosen
    bool cancel = false;
    // What the user sees then and what is stored.
    std::string box = "";                  // the message shown; "" none
    const char* portEdit = "";             // the port edit after each click: "on", "off"
    const char* serial = "1#57600#8#0#0#"; // VDnn afterwards
    const char* maxWidth = "56";           // VDMAXnn afterwards
    const char* host = "012 5";            // the host's start position and density afterwards
    const char* records = "Soap 21 4"; // the position file afterwards: product, start, density...
    const char* printed = "";          // the next label's conditions; "" not printed
    int printedOn = 1;                 // the port the next label goes to
    // Before.
    DWORD printer = 1;
    const char* slot = "00"; // of the keys VDnn and VDMAXnn
    const char* iniSerial = "1#57600#8#0#0#";
    const char* iniWidth = "56";
    const char* product = ""; // request 17's product
    DWORD productFor = 1;     // the printer request 17 named
    WORD length = 100;        // of the host's label; 0: no label format open
    bool fileLocked = false;  // the position file cannot be opened for writing
  } rows[] = {
      // clang-format off
      {.name = "port 12, 4800 baud, width 80 show as COM, 9600, 53; the port edit follows",
       .shown = "COM 9600 7Bits 1.5Bit Even | port 12 on | width 53 | density 5 | start 12",
       .clicks = {"COM", "COM2"}, .cancel = true, .portEdit = "on off", .serial = "<#04800#7#1#2#",
       .maxWidth = "80", .iniSerial = "<#04800#7#1#2#", .iniWidth = "80"},
      {.name = "printer 3's own keys",
       .shown = "COM5 38400 8Bits 2Bits None | port  off | width 112 | density 5 | start 12", .cancel = true,
       .serial = "5#38400#8#2#0#", .maxWidth = "112", .printer = 3, .slot = "02",
       .iniSerial = "5#38400#8#2#0#", .iniWidth = "112"},
      {.name = "printer 9 is printer 1", .shown = plain, .cancel = true, .printer = 9},
      {.name = "printer 0 is printer 1: its slot and keys written", .shown = plain, .clicks = {"COM3"},
       .serial = "3#57600#8#0#0#", .printed = "^K012|^A51", .printedOn = 3, .printer = 0},
      {.name = "no label format: a message, no dialog", .shown = "", .box = noFormat, .length = 0},
      {.name = "every field, and the host's record without a product", .shown = plain,
       .density = "3", .start = "42", .clicks = {"COM5", "57600", "7Bits", "2Bits", "Even"}, .width = "106",
       .serial = "5#57600#7#2#2#", .maxWidth = "106", .host = "042 3"},
      {.name = "a port above 9", .shown = plain, .portNumber = "12", .clicks = {"COM"},
       .serial = "<#57600#8#0#0#"},
      {.name = "with a product, the position file", .shown = soap, .density = "4", .start = "7",
       .records = "Soap 7 4", .printed = "^K007|^A41", .product = "Soap"},
      {.name = "a product named for printer 2 reaches printer 1 too", .shown = soap, .cancel = true,
       .product = "Soap", .productFor = 2},
      {.name = "a product without a record gets one", .shown = plain, .density = "2", .start = "9",
       .records = "Soap 21 4 Other 9 2", .printed = "^K009|^A21", .product = "Other"},
      {.name = "density 0", .shown = plain, .density = "0", .box = density},
      {.name = "density 10", .shown = plain, .density = "10", .box = density},
      {.name = "no density", .shown = plain, .density = "", .box = density},
      {.name = "density 9, through the host's record to the label", .shown = plain, .density = "9",
       .host = "012 9", .printed = "^K012|^A91"},
      {.name = "start position 1000", .shown = plain, .start = "1000",
       .box = out_of_range("Print start position", 0, 999)},
      {.name = "port 208", .shown = plain, .portNumber = "208", .clicks = {"COM"},
       .box = out_of_range("COM port number", 1, 207)},
      {.name = "the position file cannot be written: the rest is saved", .shown = soap,
       .density = "4", .start = "7", .clicks = {"COM3"},
       .box = kMessages.at(60808).substr(0, 127) + kTitleAndType, .serial = "3#57600#8#0#0#",
       .printed = "^K007|^A41", .printedOn = 3, .product = "Soap", .fileLocked = true},
      // clang-format on
  };
  const std::string file = host_.dir() + "\\VD_PosAdjust.adj";
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(host_.write_ini(std::string("[VELDRIN Info]\r\nVD") + r.slot + "=" + r.iniSerial +
                                "\r\nVDMAX" + r.slot + "=" + r.iniWidth + "\r\n"));
    ASSERT_TRUE(write_file(file, positions("Soap 21 4")));
    take_format("", 1); // printer 1's names from an earlier row gone
    take_format(r.product, r.productFor);
    if (r.fileLocked)
      Replace<kLoadDbsInfoFnHF>([](LPCSTR path, void* header, int mode) {
        return mode == 1 ? HFILE_ERROR : Real<kLoadDbsInfoFnHF>()(path, header, mode);
      });
    StartCalls();
    HostJob job(261, 200, r.length);
    UserAtTheDialog setup;
    std::string seen, portEdit;
    HWND dialog = nullptr;
    EXPECT_EQ(r.length ? 1u : 0u, setup.run(job, r.printer, [&](HWND dlg) {
      dialog = dlg;
      seen = shown(dlg);
      for (auto [id, text] : {std::pair{6102, r.density}, {6101, r.start}, {6103, r.portNumber}})
        if (text != nullptr)
          SetDlgItemTextA(dlg, id, text);
      for (const char* text : r.clicks) {
        SendMessageA(button(dlg, text), BM_CLICK, 0, 0);
        portEdit += IsWindowEnabled(GetDlgItem(dlg, 6103)) ? " on" : " off";
      }
      if (r.width)
        SendDlgItemMessageA(dlg, 6257, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(r.width));
      SendDlgItemMessageA(dlg, r.cancel ? IDCANCEL : IDOK, BM_CLICK, 0, 0);
      if (Calls(kEndDialog).empty()) { // refused: it stays open, the focus on the entry
        const int entry = r.portNumber ? 6103 : r.start ? 6101 : 6102;
        EXPECT_EQ(AsInt(GetDlgItem(dlg, entry)), Calls(kSetFocus).back().arg[0]);
        SendDlgItemMessageA(dlg, IDCANCEL, BM_CLICK, 0, 0);
      }
    }));
    restore();
    EXPECT_EQ(r.shown, seen);
    if (*r.portEdit) {
      EXPECT_EQ(std::string(" ") + r.portEdit, portEdit);
    }
    EXPECT_EQ(r.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{r.box},
              setup.boxes);
    if (!r.box.empty() && r.box.rfind("Parameter", 0) != 0) { // a slot's error code, shown
      EXPECT_EQ(dialog ? dialog : setup.parent, setup.owner)
          << "on the dialog or the host's window";
      EXPECT_EQ(0u, api().GetPrintError(1, nullptr, 0)) << "the message clears its code";
    }
    EXPECT_EQ(r.serial, ini_key(host_.ini_path(), std::string("VD") + r.slot));
    EXPECT_EQ(r.maxWidth, ini_key(host_.ini_path(), std::string("VDMAX") + r.slot));
    EXPECT_EQ(r.host, std::string(job.condition.achStartPos, 3) + " " +
                          std::to_string(job.condition.nContrast));
    EXPECT_EQ(positions(r.records), read_file(file));
    // The template's texts and the centring, on the host's window.
    const std::vector<Call> texts = Calls(kLoadDialogItemsExFnV), centre = Calls(kCenterDialogFnV);
    ASSERT_EQ(dialog ? 1u : 0u, texts.size());
    ASSERT_EQ(dialog ? 1u : 0u, centre.size());
    if (dialog != nullptr) {
      EXPECT_EQ("DIALOG_SETTING VELDRIN", std::string(reinterpret_cast<char*>(texts[0].arg[0])) +
                                              " " + reinterpret_cast<char*>(texts[0].arg[2]));
      EXPECT_EQ((std::vector<uintptr_t>{AsInt(dialog), AsInt(dialog), AsInt(setup.parent)}),
                (std::vector<uintptr_t>{texts[0].arg[1], centre[0].arg[0], centre[0].arg[1]}));
    }
    if (*r.printed) { // what the dialog stored in the slot, as the printer gets it
      const Printer& to = kPrinters[r.printedOn - 1];
      reset(to);
      ASSERT_EQ(0, print(kTwelve, label(kTwelve), job, true));
      const std::string sent = received(to);
      EXPECT_EQ(r.printed, sent.substr(sent.find("^K"), 10));
      api().ClosePrinter(0);
    }
  }
}

TEST_F(Dialog, RequestSeventeenNamesTheFormatOfAllEight) {
  // A record per printer: "Label A" of "Soap" starts at 10 + n on printer n.
  std::vector<std::vector<std::string>> records;
  for (const Printer& p : kPrinters)
    records.push_back(
        {"Label A", "Soap", std::to_string(p.number), std::to_string(10 + p.number), "4"});
  ASSERT_TRUE(
      write_file(host_.dir() + "\\VD_PosAdjust.adj", PositionFile(kPositionFields, 100, records)));
  take_format("Soap", 3);
  for (const Printer& p : kPrinters) {
    HostJob job(p.type(), 200, 100);
    UserAtTheDialog setup;
    char start[8] = "";
    setup.run(job, p.number, [&](HWND dlg) {
      GetDlgItemTextA(dlg, 6101, start, sizeof start);
      SendDlgItemMessageA(dlg, IDCANCEL, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(std::to_string(10 + p.number), start) << "printer " << p.number << "'s dialog";
  }
}

INT_PTR CALLBACK quiet_dialog(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

TEST_F(Dialog, TheHostDialogCallbackSwitchesItsControls) {
  const std::vector<WORD> tmpl = BuildHostDialogTemplate();
  HWND dlg = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()),
                                        nullptr, quiet_dialog, 0);
  ASSERT_NE(nullptr, dlg);
  PrinterRef ref{};
  ref.nPrinterNo = 1;
  CondDialogInfo info{1, {}, &ref};
  // The host dialog's controls as its user finds them after the call, from a start with all of them
  // on, shown and checked (what the callback turns off, hides and unchecks), or all off, hidden and
  // unchecked (what it turns on, shows and checks); and the number in the edit 20701.
  auto after = [&](bool allOn, UINT message, WPARAM w) {
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      EnableWindow(c, allOn);
      ShowWindow(c, allOn ? SW_SHOW : SW_HIDE);
      SendMessageA(c, BM_SETCHECK, allOn ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    SetDlgItemTextA(dlg, 20701, "17");
    StartCalls();
    EXPECT_EQ(0u, api().CondDlgCB(dlg, message, w, 0, &info));
    std::string on, shown, checked;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      const std::string id = std::to_string(GetDlgCtrlID(c)) + " ";
      const LONG style = GetWindowLongA(c, GWL_STYLE);
      on += bool(IsWindowEnabled(c)) != allOn ? id : "";
      shown += bool(style & WS_VISIBLE) != allOn ? id : "";
      if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        checked += (IsDlgButtonChecked(dlg, GetDlgCtrlID(c)) == BST_CHECKED) != allOn ? id : "";
    }
    char text[8];
    GetDlgItemTextA(dlg, 20701, text, sizeof text);
    return std::string(allOn ? "off " : "on ") + on + "| " + (allOn ? "hidden " : "shown ") +
           shown + "| " + (allOn ? "unchecked " : "checked ") + checked + "| 20701 reads " + text;
  };
  const std::string fromOn = "off 20525 20526 20701 20703 20704 20705 20706 20707 20708 20709 "
                             "20711 20712 20713 20716 20717 20718 | hidden 22 20702 20725 | "
                             "unchecked 20525 20526 20704 20705 20706 20707 20708 20709 20711 "
                             "20712 20713 20716 20717 20718 | 20701 reads 200";
  const std::string fromOff =
      "on 20505 20702 20710 20715 | shown | checked 20710 | 20701 reads 200";
  struct Row {
    UINT message;
    WPARAM w = 0;
    DWORD active = 1;
    bool switches = false; // the controls switched as above; else left alone
    bool texts = false;    // the dialog's item texts asked for
  } rows[] = {{.message = WM_INITDIALOG, .switches = true, .texts = true},
              {.message = WM_COMMAND, .w = 20714, .switches = true},
              {.message = WM_INITDIALOG, .active = 0},
              {.message = WM_COMMAND, .w = 20714, .active = 0},
              {.message = WM_COMMAND, .w = 20713},
              {.message = WM_DESTROY}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.message << " " << r.w << " active " << r.active);
    info.dwActive = r.active;
    EXPECT_EQ(r.switches ? fromOff : "on | shown | checked | 20701 reads 17",
              after(false, r.message, r.w));
    EXPECT_EQ(r.switches ? fromOn : "off | hidden | unchecked | 20701 reads 17",
              after(true, r.message, r.w));
    EXPECT_EQ(r.texts ? 1u : 0u, Calls(kLoadDialogItemsExFnV).size());
  }
  EXPECT_EQ(0u, api().CondDlgCB(dlg, WM_INITDIALOG, 0, 0, nullptr)) << "no host record";
  // The callback loads printer 1's settings again: now COM3.
  ASSERT_TRUE(host_.write_ini("[VELDRIN Info]\r\nVD00=3#57600#8#0#0#\r\n"));
  EXPECT_EQ(0u, api().CondDlgCB(dlg, WM_COMMAND, 20714, 0, &info));
  EXPECT_EQ(1u, api().IsPrintReady(0, 0));
  EXPECT_EQ(kStop, received(kPrinters[2]));
  DestroyWindow(dlg);
}

TEST_F(Dialog, TheDialogAsItShows) {
  // Each control as the open dialog shows it, in tab order: id, class, its rectangle in dialog
  // units, text in this system's code page (the colons are full-width in the template), and the
  // styles a user meets: the type, the default button, groups, tab stops (a group of radio buttons
  // has its stop on the checked one).
  struct Control {
    int id;
    const char* cls;
    RECT rect;
    const char* text;
    DWORD style;
  } const expected[] = {
      // clang-format off
      {1, "Button", {12, 194, 40, 16}, "Setting", BS_DEFPUSHBUTTON | WS_TABSTOP},
      {2, "Button", {119, 194, 40, 16}, "Cancel", WS_TABSTOP},
      {6102, "Edit", {74, 13, 15, 12}, "5", ES_RIGHT | WS_TABSTOP},
      {6101, "Edit", {74, 27, 15, 12}, "12", ES_RIGHT | WS_TABSTOP},
      {6257, "ComboBox", {74, 42, 27, 63}, "56", CBS_DROPDOWNLIST | WS_TABSTOP},
      {6201, "Button", {45, 75, 31, 9}, "COM1", BS_AUTORADIOBUTTON | WS_GROUP},
      {6202, "Button", {86, 75, 39, 9}, "COM2", BS_AUTORADIOBUTTON},
      {6203, "Button", {129, 75, 31, 9}, "COM3", BS_AUTORADIOBUTTON},
      {6204, "Button", {45, 87, 31, 9}, "COM4", BS_AUTORADIOBUTTON},
      {6205, "Button", {86, 87, 39, 9}, "COM5", BS_AUTORADIOBUTTON},
      {6206, "Button", {129, 87, 31, 9}, "COM6", BS_AUTORADIOBUTTON},
      {6207, "Button", {45, 99, 31, 9}, "COM7", BS_AUTORADIOBUTTON},
      {6208, "Button", {86, 99, 39, 9}, "COM8", BS_AUTORADIOBUTTON},
      {6209, "Button", {129, 99, 31, 9}, "COM9", BS_AUTORADIOBUTTON},
      {6210, "Button", {45, 111, 26, 9}, "COM", BS_AUTORADIOBUTTON},
      {6103, "Edit", {71, 109, 11, 12}, "", ES_NUMBER | WS_TABSTOP},
      {6211, "Button", {45, 125, 31, 9}, "9600", BS_AUTORADIOBUTTON | WS_GROUP},
      {6212, "Button", {86, 125, 39, 9}, "19200", BS_AUTORADIOBUTTON},
      {6213, "Button", {129, 125, 31, 9}, "38400", BS_AUTORADIOBUTTON},
      {6214, "Button", {45, 136, 31, 9}, "57600", BS_AUTORADIOBUTTON},
      {6220, "Button", {45, 149, 31, 9}, "7Bits", BS_AUTORADIOBUTTON | WS_GROUP},
      {6221, "Button", {86, 149, 39, 9}, "8Bits", BS_AUTORADIOBUTTON},
      {6230, "Button", {45, 163, 31, 9}, "1Bit", BS_AUTORADIOBUTTON | WS_GROUP},
      {6231, "Button", {86, 163, 39, 9}, "1.5Bit", BS_AUTORADIOBUTTON},
      {6232, "Button", {129, 163, 31, 9}, "2Bits", BS_AUTORADIOBUTTON},
      {6240, "Button", {45, 177, 31, 9}, "None", BS_AUTORADIOBUTTON | WS_GROUP},
      {6241, "Button", {86, 177, 39, 9}, "Odd", BS_AUTORADIOBUTTON},
      {6242, "Button", {129, 177, 31, 9}, "Even", BS_AUTORADIOBUTTON},
      {6107, "Static", {7, 29, 64, 11}, "Print start postion", WS_GROUP},
      {6105, "Button", {4, 2, 163, 57}, "Print setting", BS_GROUPBOX},
      {6109, "Button", {4, 61, 163, 129}, "COM setting", BS_GROUPBOX},
      {6250, "Static", {7, 75, 39, 9}, "Port:", WS_GROUP},
      {6251, "Static", {7, 125, 39, 9}, "Baud:", WS_GROUP},
      {6252, "Static", {7, 149, 39, 9}, "DataBits:", WS_GROUP},
      {6253, "Static", {7, 163, 39, 9}, "StopBits:", WS_GROUP},
      {6200, "Static", {7, 177, 39, 9}, "Parity:", WS_GROUP},
      {6108, "Static", {93, 29, 69, 11}, "(1=1mm)", WS_GROUP},
      {6106, "Static", {7, 14, 55, 11}, "Print density:", WS_GROUP},
      {6255, "Static", {7, 43, 64, 11}, "Print Max Width", WS_GROUP},
      {6254, "Static", {104, 43, 40, 11}, "mm", WS_GROUP},
      // clang-format on
  };
  auto text_of = [](HWND w) {
    wchar_t text[64];
    char utf8[128];
    GetWindowTextW(w, text, 64);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return std::string(utf8);
  };
  auto in_pixels = [](HWND dlg, RECT r) { // x, y, width, height as the dialog maps them
    MapDialogRect(dlg, &r);
    return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
  };
  HostJob job(261, 200, 100);
  UserAtTheDialog setup;
  setup.run(job, 1, [&](HWND dlg) {
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(in_pixels(dlg, {0, 0, 171, 214}),
              (std::vector<LONG>{0, 0, client.right, client.bottom}));
    LOGFONTW font{};
    GetObjectW(HFONT(SendMessageW(dlg, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(L"MS Sans Serif", font.lfFaceName);
    HWND w = GetWindow(dlg, GW_CHILD);
    for (const Control& c : expected) {
      SCOPED_TRACE(c.id);
      ASSERT_NE(nullptr, w);
      char cls[16];
      GetClassNameA(w, cls, sizeof cls);
      RECT r;
      GetWindowRect(w, &r);
      MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
      const DWORD radio = (c.style & 0xF) == BS_AUTORADIOBUTTON ? WS_TABSTOP : 0;
      const DWORD shown = GetWindowLongA(w, GWL_STYLE) & (0xFFFF | WS_GROUP | WS_TABSTOP) & ~radio;
      EXPECT_EQ(std::to_string(c.id) + " " + c.cls + " " + c.text + " " + std::to_string(c.style),
                std::to_string(GetDlgCtrlID(w)) + " " + cls + " " + text_of(w) + " " +
                    std::to_string(shown));
      std::vector<LONG> want = in_pixels(dlg, c.rect),
                        got = {r.left, r.top, r.right - r.left, r.bottom - r.top};
      if (c.id == 6257) // a closed drop-down list is one line high; its list's height is Wine's
        want.pop_back(), got.pop_back();
      EXPECT_EQ(want, got);
      w = GetWindow(w, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, w) << "no control beyond these";
    std::string widths;
    for (int i = 0; i < SendDlgItemMessageA(dlg, 6257, CB_GETCOUNT, 0, 0); ++i) {
      char item[16] = "";
      SendDlgItemMessageA(dlg, 6257, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      widths += std::string(item) + " ";
    }
    EXPECT_EQ("53 56 106 112 ", widths);
    SendDlgItemMessageA(dlg, IDCANCEL, BM_CLICK, 0, 0);
  });
}
