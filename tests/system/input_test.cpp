// Bad input from the host's side, through the real DLL: an INI file that is
// missing, read-only or full of junk; a print position file that is missing
// or damaged; printer numbers and slot indexes outside their range at every
// export; null pointers wherever the host may pass one. Nothing crashes, each
// export gives its documented result, the printers the host did not name are
// left as they were, and a label printed afterwards shows what the driver
// made of the input: the port it reached, the line settings, the centring
// offset and the condition bytes the printer received.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/gdi_hooks.h"
#include "support/ledger_checks.h"
#include "support/png_image.h"
#include "support/process_counts.h"
#include "support/test_files.h"
#include "labelhost/host_dialog.h"
#include "tests/dialog/dialog_user.h"
#include "tests/settings/position_file.h"
#include "tests/system/system_fixture.h"

namespace {
using veldrin_test::HostEnvironment;
using veldrin_test::HostJob;
using veldrin_test::kFirst;
using veldrin_test::kLabelLength;
using veldrin_test::kLabelWidth;
using veldrin_test::kLast;
using veldrin_test::kSecond;

// Ports that only odd INI contents lead to: the default port, and the port
// the letter 'A' stands for in the serial string.
constexpr int kDefaultCom = 3;
constexpr int kLetterCom = 17; // 'A' - '0'
constexpr int kOddHeadMm = 112;

const char kCommError[] = "The RS-232 communication error occurred.";

class BadInput : public veldrin_test::SystemTest {
public:
  static void SetUpTestSuite() {
    StartSimulator({{.com = kDefaultCom,
                     .model = 12,
                     .head_mm = kOddHeadMm,
                     .baud = "fast",
                     .pace_ms = 5,
                     .options = "capture=on"},
                    {.com = kLetterCom,
                     .model = 12,
                     .head_mm = kOddHeadMm,
                     .baud = "fast",
                     .pace_ms = 5,
                     .options = "capture=on"}});
  }
  void TearDown() override {
    SetFileAttributesA(host_.ini_path().c_str(), FILE_ATTRIBUTE_NORMAL);
    SystemTest::TearDown();
  }

  // Bytes received by every simulated port since the last reset.
  long long received_anywhere() {
    long long n = 0;
    for (int com : coms_)
      n += sim().number("received", com);
    return n;
  }
  // Replaces the INI file with these bytes, or removes it.
  void put_ini(bool exists, const std::string& bytes) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, host_.ini_path().c_str());
    SetFileAttributesA(host_.ini_path().c_str(), FILE_ATTRIBUTE_NORMAL);
    if (exists)
      ASSERT_TRUE(veldrin_test::write_file(host_.ini_path(), bytes));
    else
      DeleteFileA(host_.ini_path().c_str());
  }
};

// Pseudo-random bytes of every value (the same ones every run), never
// starting with a byte order mark.
std::string junk(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(seed >> 24);
  }
  bytes[0] = 'J';
  return bytes;
}

// The same, without zero bytes.
std::string text_junk(size_t size, uint32_t seed) {
  std::string bytes = junk(size, seed);
  for (char& c : bytes)
    if (c == '\0')
      c = '?';
  return bytes;
}

// What printer 1's slot makes of an INI file.
struct IniCase {
  const char* name;
  bool exists;      // there is an INI file
  std::string text; // its bytes
  int com;          // the port the slot reaches; 0: none (60800)
  int baud;         // line settings the printer sees
  int dataBits;
  const char* parity;
  const char* stop;
  int offsetDots; // where the label lands on the head
};

// Where a 20 mm label lands at 12 dots/mm for a maximum print width.
int offset_for(int widthMm) {
  return veldrin_test::CentringOffsetDots(widthMm, kLabelWidth, 12);
}

const std::string kSection = "[VELDRIN Info]\r\n";

std::vector<IniCase> ini_cases() {
  return {
      {"no INI file", false, "", kDefaultCom, 9600, 8, "none", "1", offset_for(53)},
      {"an empty INI file", true, "", kDefaultCom, 9600, 8, "none", "1", offset_for(53)},
      {"binary junk", true, junk(4096, 7), kDefaultCom, 9600, 8, "none", "1", offset_for(53)},
      {"junk without zero bytes, then the driver's keys", true,
       text_junk(4096, 11) + "\r\n" + kSection + "VD00=9#19200#7#2#1#\r\nVDMAX00=53\r\n",
       kFirst.com, 19200, 7, "odd", "2", offset_for(53)},
      {"a line of 70000 characters before the driver's keys", true,
       "[Other]\r\nLong=" + std::string(70000, 'L') + "\r\n" + kSection +
           "VD00=9#38400#8#0#2#\r\nVDMAX00=56\r\n",
       kFirst.com, 38400, 8, "even", "1", offset_for(56)},
      {"a serial string of 5000 characters", true,
       kSection + "VD00=" + std::string(5000, '9') + "\r\n", 0, 0, 0, "", "", 0},
      {"the port as a letter", true, kSection + "VD00=A#19200#8#0#0#\r\n", kLetterCom, 19200, 8,
       "none", "1", offset_for(53)},
      {"the port below '0'", true, kSection + "VD00=/#19200#8#0#0#\r\n", 0, 0, 0, "", "", 0},
      {"a letter ends the baud rate", true, kSection + "VD00=9#4800z#8#0#0#\r\n", kFirst.com, 4800,
       8, "none", "1", offset_for(53)},
      {"a letter for the stop bits", true, kSection + "VD00=9#19200#8#x#0#\r\n", 0, 0, 0, "", "",
       0},
      {"other separators", true, kSection + "VD00=9 19200 8 0 2 \r\n", kFirst.com, 19200, 8, "even",
       "1", offset_for(53)},
      {"13 characters, no final mark", true, kSection + "VD00=9#19200#8#0#1\r\n", kFirst.com, 19200,
       8, "odd", "1", offset_for(53)},
      {"12 characters: the serial defaults", true,
       kSection + "VD00=9#19200#8#0#\r\nVDMAX00=106\r\n", kDefaultCom, 9600, 8, "none", "1",
       offset_for(106)},
      {"a width that is not a number", true, kSection + "VD00=9#19200#8#0#0#\r\nVDMAX00=wide\r\n",
       kFirst.com, 19200, 8, "none", "1", 0},
      {"a negative width", true, kSection + "VD00=9#19200#8#0#0#\r\nVDMAX00=-20\r\n", kFirst.com,
       19200, 8, "none", "1", 0},
      {"keys of another slot only", true, kSection + "VD01=9#19200#8#0#0#\r\nVDMAX01=106\r\n",
       kDefaultCom, 9600, 8, "none", "1", offset_for(53)},
  };
}
} // namespace

TEST_F(BadInput, IniFilesAreReadAsDocumented) {
  for (const IniCase& c : ini_cases()) {
    SCOPED_TRACE(c.name);
    for (int com : coms_)
      reset_printer(com);
    put_ini(c.exists, c.text);
    EXPECT_EQ(0, api().InitPrinter(kFirst.number, 0));
    DWORD code = 0;
    if (c.com == 0) {
      EXPECT_EQ(0u, api().IsPrintReady(kFirst.slot(), 0));
      EXPECT_EQ(kCommError, error_text(kFirst.number, &code));
      EXPECT_EQ(60800u, code);
      EXPECT_EQ(0, received_anywhere()) << "no printer was reached";
      continue;
    }
    ASSERT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
    EXPECT_EQ(7, sim().number("received", c.com)) << "the stop command reached COM" << c.com;
    EXPECT_EQ(7, received_anywhere()) << "and nothing else";
    HostJob job(261, kLabelWidth, kLabelLength);
    const TestLabel label = label_for(kFirst, 5);
    ASSERT_EQ(0, print(kFirst, label, job, true));
    EXPECT_TRUE(finish(kFirst.number));
    EXPECT_EQ(std::to_string(c.baud), sim().settings("baud", c.com));
    EXPECT_EQ(std::to_string(c.dataBits), sim().settings("data", c.com));
    EXPECT_EQ(c.parity, sim().settings("parity", c.com));
    EXPECT_EQ(c.stop, sim().settings("stop", c.com));
    expect_printed_at(c.com, 1, label, c.offsetDots);
    EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
  }
}

TEST_F(BadInput, AReadOnlyIniFileIsReadAndNeverWritten) {
  // No product name in any slot: the dialog keeps start position and density
  // in the host's record, away from the print position file.
  LabelFormatParams none{};
  ASSERT_EQ(1, api().IoControl(kFirst.number, 17, &none, nullptr));
  const std::string text = ini_text();
  put_ini(true, text);
  // Read-only twice over: Wine lets root write through the read-only
  // attribute, so the file is also held open for reading by a handle that
  // lets others read it but no one write it.
  ASSERT_TRUE(SetFileAttributesA(host_.ini_path().c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE reader = CreateFileA(host_.ini_path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));

  // The user saves other settings: 19200 baud on COM5.
  HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
  std::vector<std::string> failures;
  const DWORD result = veldrin_test::RunWithUser(
      [&] { return api().PrinterSetup(nullptr, kFirst.number, &job.info); },
      [](veldrin_test::DialogUser& u) {
        HWND dlg = u.WaitForWindow(veldrin_test::kSettingsCaption);
        if (dlg == nullptr)
          return u.Fail("the settings dialog did not open");
        u.Click(dlg, 6212);
        u.Click(dlg, 6205);
        u.Press(dlg, IDOK);
        if (!u.WaitGone(dlg))
          u.Fail("the dialog did not close");
      },
      &failures);
  for (const std::string& f : failures)
    ADD_FAILURE() << "user: " << f;
  EXPECT_EQ(1u, result);
  std::string now;
  ASSERT_TRUE(veldrin_test::read_file(host_.ini_path(), &now));
  EXPECT_EQ(text, now) << "the read-only file is unchanged";

  // Loading still gives the file's settings: COM9 at 57600 baud.
  ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
  ASSERT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
  const TestLabel label = label_for(kFirst, 6);
  ASSERT_EQ(0, print(kFirst, label, job, true));
  EXPECT_TRUE(finish(kFirst.number));
  EXPECT_EQ("57600", sim().settings("baud", kFirst.com));
  expect_printed(kFirst, 1, label);
  CloseHandle(reader);
  ASSERT_TRUE(veldrin_test::read_file(host_.ini_path(), &now));
  EXPECT_EQ(text, now) << "nothing was written later either";
}

namespace {
// The label format the host hands over, and what the print position file
// may hold for it.
const char kFormatName[] = "Label A";
const char kProductName[] = "Product A";

std::string good_position_file() {
  return TestPositionFile(kTestFields, kTestRecordSize,
                          {TestRecordOf("Other", kProductName, "1", "99", "9"),
                           TestRecordOf(kFormatName, kProductName, "1", "21", "3")});
}

// What the printer gets as print conditions (12 dots/mm): the host's start
// position 034 and density 7, or the file's 021 and 3.
const std::string kHostConditions = "\x1BM000\r\x1BK034\r\x1B"
                                    "A71\r";
const std::string kFileConditions = "\x1BM000\r\x1BK021\r\x1B"
                                    "A31\r";

struct PositionCase {
  const char* name;
  bool exists;            // there is a position file
  std::string bytes;      // its bytes
  std::string iniName;    // VD_DBPrintPos; empty: the default name
  std::string conditions; // what the printer receives
};

std::vector<PositionCase> position_cases() {
  const std::string good = good_position_file();
  std::string moreRecords = good;
  TestPut32(moreRecords, kHdrRecordCount, 5);
  std::string manyFields = good;
  TestPut16(manyFields, kHdrFieldCount, 0xFFFF);
  std::string noStart = TestPositionFile(
      {{"Format", 32, 0}, {"Product", 32, 32}, {"MacNo", 4, 64}, {"Contrast", 3, 74}},
      kTestRecordSize, {TestRecordOf(kFormatName, kProductName, "1", "21", "3")});
  std::string outside =
      TestPositionFile({{"Format", 32, 0},
                        {"Product", 32, 32},
                        {"MacNo", 4, 64},
                        {"StartPos", 6, 200},
                        {"Contrast", 3, 74}},
                       kTestRecordSize, {TestRecordOf(kFormatName, kProductName, "1", "21", "3")});
  std::string zeroSize = good;
  TestPut32(zeroSize, kHdrRecordSize, 0);
  return {
      {"a good file", true, good, "", kFileConditions},
      {"no file", false, "", "", kHostConditions},
      {"an empty file", true, "", "", kHostConditions},
      {"half a header", true, good.substr(0, 1000), "", kHostConditions},
      {"a header claiming more records than the file holds", true, moreRecords, "",
       kHostConditions},
      {"65535 field descriptors claimed", true, manyFields, "", kHostConditions},
      {"no StartPos field", true, noStart, "", kHostConditions},
      {"a field outside the record", true, outside, "", kHostConditions},
      {"a record size of 0", true, zeroSize, "", kHostConditions},
      {"junk", true, junk(5000, 3), "", kHostConditions},
      {"the file cut in the last record", true, good.substr(0, good.size() - 10), "",
       kHostConditions},
      {"an empty StartPos in the matching record", true,
       TestPositionFile(kTestFields, kTestRecordSize,
                        {TestRecordOf(kFormatName, kProductName, "1", "", "3")}),
       "", kHostConditions},
      {"a record for another printer only", true,
       TestPositionFile(kTestFields, kTestRecordSize,
                        {TestRecordOf(kFormatName, kProductName, "2", "21", "3")}),
       "", kHostConditions},
      {"the INI file names a folder", true, good, "Folder", kHostConditions},
      {"the INI file names a file in a missing folder", true, good, "Missing\\VD_PosAdjust.adj",
       kHostConditions},
  };
}
} // namespace

TEST_F(BadInput, PositionFilesMissingOrDamagedLeaveTheHostsConditions) {
  const std::string path = host_.dir() + "\\VD_PosAdjust.adj";
  ASSERT_TRUE(CreateDirectoryA((host_.dir() + "\\Folder").c_str(), nullptr));
  for (const PositionCase& c : position_cases()) {
    SCOPED_TRACE(c.name);
    reset_printer(kFirst.com);
    std::string ini = ini_text();
    if (!c.iniName.empty())
      ini += "[VD_PrintAdjust]\r\nVD_DBPrintPos=" + c.iniName + "\r\n";
    put_ini(true, ini);
    DeleteFileA(path.c_str());
    if (c.exists) {
      ASSERT_TRUE(TestWriteFile(path, c.bytes));
    }

    LabelFormatParams params{};
    strcpy(params.szProduct, kProductName);
    strcpy(params.szFormat, kFormatName);
    LONG size = sizeof(params);
    EXPECT_EQ(1, api().IoControl(kFirst.number, 17, &params, &size));

    HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
    job.condition.nContrast = 7;
    memcpy(job.condition.achStartPos, "034", 3);
    const TestLabel label = label_for(kFirst, 8);
    ASSERT_EQ(0, print(kFirst, label, job, true));
    EXPECT_TRUE(finish(kFirst.number));
    const std::string stop = "\x1BZ1\r\x1BS\r";
    const std::string clear = "\x1BZ1\r";
    EXPECT_EQ(stop + clear + c.conditions + "\x1B" + "B",
              captured(kFirst.com).substr(0, stop.size() + clear.size() + c.conditions.size() + 2));
    expect_printed(kFirst, 1, label);
    if (c.exists) {
      EXPECT_EQ(c.bytes, TestReadFile(path)) << "the file is never written";
    }
    EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
  }
}

namespace {
// The arguments outside the range of each kind of export.
enum class Argument {
  kPrinterNumber, // 1..8 is valid: 0, 9 and 255 are tried
  kSlotIndex,     // 0..7 is valid: 8 and 255 are tried
  kModelIndex     // 0 and 1 are the models: 9 and 255 are tried
};

std::vector<DWORD> outside(Argument kind) {
  switch (kind) {
  case Argument::kPrinterNumber:
    return {0, 9, 255};
  case Argument::kSlotIndex:
    return {8, 255};
  default:
    return {9, 255};
  }
}

// Where a call with such an argument lands.
enum class Lands {
  kNowhere,  // no slot: slot 0 keeps its pending error and open port
  kFirstSlot // slot 0, as for printer number 1
};

struct NumberCase {
  const char* exportName;
  Argument kind;
  LONG (*call)(BadInput&, DWORD argument); // the export's result
  LONG result;                             // expected
  Lands lands;
  // For kFirstSlot: what slot 0 shows afterwards.
  DWORD firstCode = 0;          // KtPrGetPrintError(1)
  bool firstPortHeld = false;   // the port of printer 1
  long long firstReceived = -1; // bytes the printer on COM9 received; -1: not counted
  bool reloadsFirst = false;    // slot 0's settings are loaded again from the INI file
};

const char kFormatName2[] = "Numbers";

// Slot 0 with a pending error (60806) and its port open; slot 1 with its port
// open; slot 7 closed; every slot's user value 0x100 + printer number. Then
// the INI file changes: printer 1 is now on COM17 at 19200 baud, so a call
// that loads slot 0's settings again shows in the port slot 0 opens next.
void prepare_slots(BadInput& t) {
  for (int com : t.coms_)
    t.reset_printer(com);
  t.put_ini(true, t.ini_text());
  for (const veldrin_test::SystemPrinter& p : veldrin_test::kPrinters)
    ASSERT_EQ(0, t.api().InitPrinter(p.number, 0));
  for (DWORD n = 1; n <= 8; ++n)
    t.api().IoControl(n, 16, reinterpret_cast<void*>(static_cast<UINT_PTR>(0x100 + n)), nullptr);
  ASSERT_TRUE(t.sim().ok("dsr off", kFirst.com));
  ASSERT_EQ(0u, t.api().IsPrintReady(kFirst.slot(), 0));
  ASSERT_TRUE(t.sim().ok("dsr on", kFirst.com));
  LONG remaining = 0;
  ASSERT_EQ(2, t.api().IsPrintFinished(kSecond.number, &remaining, 0, 0));
  ASSERT_EQ(1u, t.api().ClosePrinter(kLast.slot()));
  std::string ini =
      "[VELDRIN Info]\r\n" + HostEnvironment::printer_keys(kFirst.number, kLetterCom, 19200, 56);
  for (const veldrin_test::SystemPrinter& p : {kSecond, kLast})
    ini += HostEnvironment::printer_keys(p.number, p.com, 57600, p.maxWidthMm);
  t.put_ini(true, ini);
}

LONG print_with(BadInput& t, DWORD number, int how) {
  HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
  HBITMAP bitmap = LabelBitmap(t.label_for(kFirst, 9));
  const SHORT r = how == 0   ? t.api().PrintOneLabel(number, 1, bitmap, &job.info)
                  : how == 1 ? t.api().StartPrint(number, 1, bitmap, &job.info)
                             : t.api().RePrintOneLabel(number, 1, bitmap, &job.info);
  DeleteObject(bitmap);
  EXPECT_TRUE(t.finish(kFirst.number));
  t.expect_printed(kFirst, 1, t.label_for(kFirst, 9));
  return r;
}

// The settings dialog opened for a number: it shows slot 0's port and baud
// rate as the INI file now has them (COM17 at 19200); the user cancels.
LONG setup_with(BadInput& t, DWORD number) {
  HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
  std::vector<std::string> failures;
  bool freePort = false, baud19200 = false;
  std::string port;
  const DWORD result =
      veldrin_test::RunWithUser([&] { return t.api().PrinterSetup(nullptr, number, &job.info); },
                                [&](veldrin_test::DialogUser& u) {
                                  HWND dlg = u.WaitForWindow(veldrin_test::kSettingsCaption);
                                  if (dlg == nullptr)
                                    return u.Fail("the settings dialog did not open");
                                  freePort = u.Checked(dlg, 6210);
                                  port = u.Text(dlg, 6103);
                                  baud19200 = u.Checked(dlg, 6212);
                                  u.Press(dlg, IDCANCEL);
                                  if (!u.WaitGone(dlg))
                                    u.Fail("the dialog did not close");
                                },
                                &failures);
  for (const std::string& f : failures)
    ADD_FAILURE() << "user: " << f;
  EXPECT_TRUE(freePort) << "the dialog shows printer 1's port";
  EXPECT_EQ("17", port);
  EXPECT_TRUE(baud19200) << "and its baud rate";
  return static_cast<LONG>(result);
}

// The host's print-condition dialog asks the callback to apply the settings
// again for a printer number.
LONG conddlg_with(BadInput&, DWORD number) {
  PrinterRef ref{};
  ref.nPrinterNo = static_cast<BYTE>(number);
  CondDialogInfo quiet{}; // what the dialog passes while it is created: inactive
  HostDialogContext ctx{Driver().CondDlgCB, &quiet, nullptr, 0, 0};
  const std::vector<WORD> tmpl = BuildHostDialogTemplate();
  HWND dlg = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()),
                                        nullptr, HostDialogProc, reinterpret_cast<LPARAM>(&ctx));
  EXPECT_NE(nullptr, dlg);
  CondDialogInfo info{};
  info.dwActive = 1;
  info.pPrinterRef = &ref;
  const LONG result = static_cast<LONG>(Driver().CondDlgCB(dlg, WM_COMMAND, 20714, 0, &info));
  char text[16] = "";
  GetDlgItemTextA(dlg, 20701, text, sizeof(text));
  EXPECT_STREQ("200", text) << "the steps ran";
  DestroyWindow(dlg);
  return result;
}

const NumberCase kNumberCases[] = {
    {"KtPrInitPrinter", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return t.api().InitPrinter(n, 0); }, -1, Lands::kNowhere},
    {"KtPrGetPrintError", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       char text[64];
       memset(text, 'x', sizeof(text));
       const LONG code = static_cast<LONG>(t.api().GetPrintError(n, text, sizeof(text)));
       EXPECT_EQ('\0', text[0]) << "an empty text";
       return code;
     },
     0, Lands::kNowhere},
    {"KtPrIoControl 16 (store a value)", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       return t.api().IoControl(n, 16, reinterpret_cast<void*>(0x77), nullptr);
     },
     0, Lands::kNowhere},
    {"KtPrIoControl 15 (fetch the value)", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return t.api().IoControl(n, 15, nullptr, nullptr); }, 0,
     Lands::kNowhere},
    {"KtPrIoControl 17 (label format)", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       LabelFormatParams params{};
       strcpy(params.szFormat, kFormatName2);
       LONG size = sizeof(params);
       return t.api().IoControl(n, 17, &params, &size);
     },
     0, Lands::kNowhere},
    {"KtPrIoControl 2 (a constant)", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return t.api().IoControl(n, 2, nullptr, nullptr); }, 1,
     Lands::kNowhere},
    {"KtPrIoControl 13 (the printer record)", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       BYTE record[20];
       memset(record, 0xEE, sizeof(record));
       const LONG r = t.api().IoControl(n, 13, record, nullptr);
       EXPECT_EQ(static_cast<BYTE>(n), record[8]) << "the number as passed";
       return r;
     },
     1, Lands::kNowhere},
    {"KtPrGetPrintData", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       PrintData data{};
       data.wTypeCode = 264;
       const LONG r = static_cast<LONG>(t.api().GetPrintData(n, &data));
       EXPECT_EQ(80, data.wDotsPer10mm);
       EXPECT_EQ(static_cast<BYTE>(n), data.bPrinterNo) << "the number as passed";
       return r;
     },
     1, Lands::kNowhere},
    {"KtPrPrintNotify", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return static_cast<LONG>(t.api().PrintNotify(n, n)); }, 0,
     Lands::kNowhere},
    {"KtPrIsPrintReady", Argument::kSlotIndex,
     [](BadInput& t, DWORD n) -> LONG { return static_cast<LONG>(t.api().IsPrintReady(n, 0)); }, 0,
     Lands::kNowhere},
    {"KtPrClosePrinter", Argument::kSlotIndex,
     [](BadInput& t, DWORD n) -> LONG { return static_cast<LONG>(t.api().ClosePrinter(n)); }, 1,
     Lands::kNowhere},
    {"KtPrGetPrinterSpec", Argument::kModelIndex,
     [](BadInput& t, DWORD n) -> LONG {
       PrinterSpec spec{};
       spec.dwSize = sizeof(spec);
       const LONG r = static_cast<LONG>(t.api().GetPrinterSpec(&spec, n));
       EXPECT_EQ(264u, spec.dwTypeCode);
       EXPECT_STREQ("TLX-Pro series(8dot,COM Type)", spec.szModelName);
       EXPECT_EQ(203, spec.wDpiX);
       return r;
     },
     268, Lands::kNowhere},
    {"KtPrStopPrint", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return static_cast<LONG>(t.api().StopPrint(n)); }, 1,
     Lands::kFirstSlot, 0, false, 7},
    {"KtPrFeedLabel", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return static_cast<LONG>(t.api().FeedLabel(n, 5)); }, 1,
     Lands::kFirstSlot, 0, false, 7},
    {"KtPrIsPrintFinished", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       EXPECT_TRUE(t.sim().ok("send 1B 4F 30 30 30 34 0D", kFirst.com));
       LONG remaining = -7;
       const LONG r = t.poll_until_answer(n, &remaining);
       EXPECT_EQ(4, remaining);
       return r;
     },
     0, Lands::kFirstSlot, 0, true, 0},
    {"KtPrWaitPrintFinished", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG {
       EXPECT_TRUE(t.sim().ok("send 1B 4F 30 30 30 30 0D", kFirst.com));
       return static_cast<LONG>(t.api().WaitPrintFinished(n, 0));
     },
     1, Lands::kFirstSlot, 0, true, 0},
    {"KtPrPrintOneLabel", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return print_with(t, n, 0); }, 0, Lands::kFirstSlot, 0,
     true, -1},
    {"KtPrStartPrint", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return print_with(t, n, 1); }, 0, Lands::kFirstSlot, 0,
     true, -1},
    {"KtPrRePrintOneLabel", Argument::kPrinterNumber,
     [](BadInput& t, DWORD n) -> LONG { return print_with(t, n, 2); }, 0, Lands::kFirstSlot, 0,
     true, -1},
    {"KtPrPrinterSetup", Argument::kPrinterNumber, setup_with, 1, Lands::kFirstSlot, 0, true, 0,
     true},
    {"KtPrCondDlgCB", Argument::kPrinterNumber, conddlg_with, 0, Lands::kFirstSlot, 0, true, 0,
     true},
};
} // namespace

TEST_F(BadInput, NumbersOutOfRangeAtEveryExport) {
  for (const NumberCase& c : kNumberCases) {
    for (DWORD argument : outside(c.kind)) {
      SCOPED_TRACE(testing::Message() << c.exportName << "(" << argument << ")");
      prepare_slots(*this);
      if (HasFatalFailure())
        return;
      EXPECT_EQ(c.result, c.call(*this, argument));

      // The printers the call had no business with.
      EXPECT_TRUE(port_held(kSecond.com)) << "printer 2's port";
      EXPECT_FALSE(port_held(kLast.com)) << "printer 8's port";
      EXPECT_EQ(0, sim().number("received", kSecond.com));
      EXPECT_EQ(0, sim().number("received", kLast.com));
      for (DWORD n = 1; n <= 8; ++n)
        EXPECT_EQ(static_cast<LONG>(0x100 + n), api().IoControl(n, 15, nullptr, nullptr))
            << "the value kept for printer " << n;
      DWORD code = 0;
      error_text(kSecond.number, &code);
      EXPECT_EQ(0u, code);

      // Slot 0.
      if (c.lands == Lands::kNowhere) {
        EXPECT_TRUE(port_held(kFirst.com)) << "printer 1's port stays open";
        EXPECT_EQ(0, sim().number("received", kFirst.com));
        EXPECT_EQ("The state of the printer cannot be printed.", error_text(kFirst.number, &code));
        EXPECT_EQ(60806u, code) << "printer 1's error stays";
      } else {
        EXPECT_EQ(c.firstPortHeld, port_held(kFirst.com)) << "printer 1's port";
        if (c.firstReceived >= 0) {
          EXPECT_EQ(c.firstReceived, sim().number("received", kFirst.com));
        }
        error_text(kFirst.number, &code);
        EXPECT_EQ(c.firstCode, code) << "printer 1's error";
      }
      // Slot 0's settings: the port it opens next.
      EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
      const long long before9 = sim().number("received", kFirst.com);
      const long long before17 = sim().number("received", kLetterCom);
      EXPECT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
      EXPECT_EQ(c.reloadsFirst ? 0 : 7, sim().number("received", kFirst.com) - before9);
      EXPECT_EQ(c.reloadsFirst ? 7 : 0, sim().number("received", kLetterCom) - before17)
          << "printer 1's settings loaded again";
    }
  }
}

namespace {
const char kNoFormat[] =
    "Because the format is not opened, it doesn't put it in the printer setting.";

// Printer 1 with a pending error (60806) and its port open.
void pending_error(BadInput& t) {
  ASSERT_TRUE(t.sim().ok("dsr off", kFirst.com));
  ASSERT_EQ(0u, t.api().IsPrintReady(kFirst.slot(), 0));
  ASSERT_TRUE(t.sim().ok("dsr on", kFirst.com));
  t.host_.clear_debug();
}

// Printer 1's port open and a count reply on its way.
void count_reply(BadInput& t, const char* hex) {
  LONG remaining = 0;
  ASSERT_EQ(2, t.api().IsPrintFinished(kFirst.number, &remaining, 0, 0));
  ASSERT_TRUE(t.sim().ok(std::string("send ") + hex, kFirst.com));
}

// A label through KtPrPrintOneLabel with one of the job record's pointers
// changed; the export's result.
LONG print_job(BadInput& t, void (*change)(HostJob&), bool start = false) {
  HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
  job.add_extra("EXTRA-A");
  job.add_extra("EXTRA-B");
  change(job);
  HBITMAP bitmap = LabelBitmap(t.label_for(kFirst, 10));
  const SHORT r = start ? t.api().StartPrint(kFirst.number, 1, bitmap, &job.info)
                        : t.api().PrintOneLabel(kFirst.number, 1, bitmap, &job.info);
  DeleteObject(bitmap);
  return r;
}

// Prints the label with the change made to its job record and checks that it
// went out whole, with no extra record, and printed. Gives the export's result.
LONG print_plain_label(BadInput& t, void (*change)(HostJob&)) {
  const LONG result = print_job(t, change);
  EXPECT_TRUE(t.finish(kFirst.number));
  const std::string stream = t.captured(kFirst.com);
  EXPECT_EQ(std::string::npos, stream.find("EXTRA")) << "no extra record";
  const std::string tail = "\r\x1BP0001\r\x1BR\r";
  EXPECT_EQ(tail, stream.substr(stream.size() - std::min(stream.size(), tail.size())))
      << "the image's CR, then the print command";
  t.expect_printed(kFirst, 1, t.label_for(kFirst, 10));
  return result;
}

// KtPrPrinterSetup with a job record the driver cannot use: the message of
// 60807, then 0.
LONG setup_refused(BadInput& t, PrintJobInfo* job) {
  veldrin_test::SeenMessageBox seen{};
  std::vector<std::string> failures;
  const DWORD r = veldrin_test::RunWithUser(
      [&] { return t.api().PrinterSetup(nullptr, kFirst.number, job); },
      [&](veldrin_test::DialogUser& u) { u.CloseAlert(nullptr, &seen); }, &failures);
  for (const std::string& f : failures)
    ADD_FAILURE() << "user: " << f;
  EXPECT_EQ(kNoFormat, seen.text);
  return static_cast<LONG>(r);
}

struct NullCase {
  const char* name;
  void (*before)(BadInput&); // the state before the call; may be null
  LONG (*call)(BadInput&);   // the export's result
  LONG result;               // expected
  DWORD code;                // KtPrGetPrintError(1) afterwards
  long long received;        // bytes printer 1 received; -1: not counted
};

const NullCase kNullCases[] = {
    {"driver spec record", nullptr,
     [](BadInput& t) -> LONG { return static_cast<LONG>(t.api().GetDriverSpec(nullptr)); }, 268, 0,
     0},
    {"printer spec record, model 0", nullptr,
     [](BadInput& t) -> LONG { return static_cast<LONG>(t.api().GetPrinterSpec(nullptr, 0)); }, 268,
     0, 0},
    {"printer spec record, model 1", nullptr,
     [](BadInput& t) -> LONG { return static_cast<LONG>(t.api().GetPrinterSpec(nullptr, 1)); }, 268,
     0, 0},
    {"print data record", nullptr,
     [](BadInput& t) -> LONG {
       return static_cast<LONG>(t.api().GetPrintData(kFirst.number, nullptr));
     },
     1, 0, 0},
    {"error text buffer", pending_error,
     [](BadInput& t) -> LONG {
       const LONG code = static_cast<LONG>(t.api().GetPrintError(kFirst.number, nullptr, 256));
       const std::vector<std::string> lines = {"GetPrintError--60806", "GetPrintError-CloseCom"};
       EXPECT_EQ(lines, t.host_.debug_lines());
       EXPECT_FALSE(t.port_held(kFirst.com)) << "the port is closed all the same";
       return code;
     },
     60806, 60806, 0},
    {"error text buffer of no characters", pending_error,
     [](BadInput& t) -> LONG {
       char text[8] = "xxxxxxx";
       const LONG code = static_cast<LONG>(t.api().GetPrintError(kFirst.number, text, 0));
       EXPECT_STREQ("xxxxxxx", text) << "nothing written";
       return code;
     },
     60806, 60806, 0},
    {"remaining count, labels left", [](BadInput& t) { count_reply(t, "1B 4F 30 30 30 33 0D"); },
     [](BadInput& t) -> LONG { return t.poll_until_answer(kFirst.number, nullptr); }, 0, 0, 0},
    {"remaining count, none left", [](BadInput& t) { count_reply(t, "1B 4F 30 30 30 30 0D"); },
     [](BadInput& t) -> LONG { return t.poll_until_answer(kFirst.number, nullptr); }, 1, 0, 0},
    {"control request 5 without a type code", nullptr,
     [](BadInput& t) -> LONG {
       WORD width = 0;
       const LONG r = t.api().IoControl(kFirst.number, 5, &width, nullptr);
       EXPECT_EQ(112, width);
       return r;
     },
     1, 0, 0},
    {"control request 10 without a size", nullptr,
     [](BadInput& t) -> LONG {
       DWORD value = 0;
       const LONG r = t.api().IoControl(kFirst.number, 10, &value, nullptr);
       EXPECT_EQ(0xFFFFFFFFu, value);
       return r;
     },
     1, 0, 0},
    {"control request 17 without a size", nullptr,
     [](BadInput& t) -> LONG {
       LabelFormatParams params{};
       return t.api().IoControl(kFirst.number, 17, &params, nullptr);
     },
     1, 0, 0},
    {"job record", nullptr,
     [](BadInput& t) -> LONG {
       HBITMAP bitmap = LabelBitmap(t.label_for(kFirst, 10));
       const SHORT r = t.api().PrintOneLabel(kFirst.number, 1, bitmap, nullptr);
       DeleteObject(bitmap);
       return r;
     },
     -1, 60805, 0},
    {"job record when a label starts", nullptr,
     [](BadInput& t) -> LONG {
       HBITMAP bitmap = LabelBitmap(t.label_for(kFirst, 10));
       const SHORT r = t.api().StartPrint(kFirst.number, 1, bitmap, nullptr);
       DeleteObject(bitmap);
       return r;
     },
     -1, 60805, 7},
    {"label format", nullptr,
     [](BadInput& t) -> LONG { return print_job(t, [](HostJob& j) { j.info.pFormat = nullptr; }); },
     -1, 60805, 0},
    {"print conditions", nullptr,
     [](BadInput& t) -> LONG {
       return print_job(t, [](HostJob& j) { j.info.pCondition = nullptr; });
     },
     -1, 60805, 0},
    {"print data", nullptr,
     [](BadInput& t) -> LONG {
       return print_job(t, [](HostJob& j) { j.info.pPrintData = nullptr; });
     },
     -1, 60805, 0},
    {"print data when a label starts", nullptr,
     [](BadInput& t) -> LONG {
       return print_job(
           t, [](HostJob& j) { j.info.pPrintData = nullptr; }, true);
     },
     -1, 60805, 7},
    {"label bitmap", nullptr,
     [](BadInput& t) -> LONG {
       HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
       return t.api().PrintOneLabel(kFirst.number, 1, nullptr, &job.info);
     },
     -1, 60804, 0},
    {"extra records of an incremental label", nullptr,
     [](BadInput& t) -> LONG {
       return print_plain_label(t, [](HostJob& j) {
         j.info.bIncremental = 1;
         j.info.pExtraRecords = nullptr;
       });
     },
     0, 0, -1},
    {"extra record count of an incremental label", nullptr,
     [](BadInput& t) -> LONG {
       return print_plain_label(t, [](HostJob& j) {
         j.info.bIncremental = 1;
         j.info.pExtraCount = nullptr;
       });
     },
     0, 0, -1},
    {"condition dialog record", pending_error,
     [](BadInput& t) -> LONG {
       return static_cast<LONG>(t.api().CondDlgCB(nullptr, WM_INITDIALOG, 0, 0, nullptr));
     },
     0, 60806, 0},
    {"condition dialog's printer record: the first slot", pending_error,
     [](BadInput& t) -> LONG {
       CondDialogInfo info{};
       info.dwActive = 1;
       return static_cast<LONG>(t.api().CondDlgCB(nullptr, WM_COMMAND, 20714, 0, &info));
     },
     0, 0, 0},
    {"settings job record", nullptr, [](BadInput& t) -> LONG { return setup_refused(t, nullptr); },
     0, 0, 0},
    {"settings job record without a format", nullptr,
     [](BadInput& t) -> LONG {
       HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
       job.info.pFormat = nullptr;
       return setup_refused(t, &job.info);
     },
     0, 0, 0},
    {"settings job record without conditions", nullptr,
     [](BadInput& t) -> LONG {
       HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
       job.info.pCondition = nullptr;
       return setup_refused(t, &job.info);
     },
     0, 0, 0},
};

// KtPrIoControl with both pointers null: what each request answers.
struct NullControl {
  DWORD request;
  LONG result;
};
const NullControl kNullControls[] = {
    {1, 0},  {2, 1},  {3, 0},  {4, 0},  {5, 0},  {6, 0},  {7, 0},
    {8, 0},  {9, 0},  {10, 0}, {11, 0}, {12, 0}, {13, 0}, {14, 1},
    {15, 0}, {16, 0}, {17, 0}, {18, 0}, {19, 0}, {20, 0}, {21, 0},
};
} // namespace

TEST_F(BadInput, NullPointersGiveTheDocumentedResults) {
  ASSERT_TRUE(InstallHooksIn(api().hModule));
  veldrin_test::WarmUpProcess(sim(), kFirst.com);
  // The first message box of the process opens handles of its own too.
  EXPECT_EQ(0, setup_refused(*this, nullptr));
  // A known value for requests 15 and 16.
  api().IoControl(kFirst.number, 16, nullptr, nullptr);
  const size_t handlesBefore = veldrin_test::CountOpenHandles();
  StartRecording();

  for (const NullCase& c : kNullCases) {
    SCOPED_TRACE(c.name);
    reset_printer(kFirst.com);
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
    if (c.before != nullptr)
      c.before(*this);
    if (HasFatalFailure())
      return;
    EXPECT_EQ(c.result, c.call(*this));
    if (c.received >= 0) {
      EXPECT_EQ(c.received, sim().number("received", kFirst.com));
    }
    EXPECT_EQ(c.code, api().GetPrintError(kFirst.number, nullptr, 0));
    EXPECT_EQ(1u, api().ClosePrinter(kFirst.slot()));
  }
  for (const NullControl& c : kNullControls) {
    SCOPED_TRACE(testing::Message() << "control request " << c.request);
    EXPECT_EQ(c.result, api().IoControl(kFirst.number, c.request, nullptr, nullptr));
  }
  // Requests 15 and 16 need no pointer: 16 keeps the null pointer's value.
  api().IoControl(kFirst.number, 16, reinterpret_cast<void*>(0x55), nullptr);
  EXPECT_EQ(0x55, api().IoControl(kFirst.number, 16, nullptr, nullptr));
  EXPECT_EQ(0, api().IoControl(kFirst.number, 15, nullptr, nullptr));

  const CallLedger ledger = StopRecording();
  ExpectNothingLeft(ledger);
  const size_t handlesAfter = veldrin_test::CountOpenHandles();
  EXPECT_LE(handlesAfter, handlesBefore) << "handles left behind";
}

namespace {
// Label bitmap handles that name no bitmap.
struct BadHandle {
  const char* name;
  HBITMAP (*make)(); // the handle the host passes
  void (*release)(HBITMAP);
};

const BadHandle kBadHandles[] = {
    {"a brush",
     []() -> HBITMAP { return reinterpret_cast<HBITMAP>(CreateSolidBrush(RGB(0, 0, 0))); },
     [](HBITMAP h) { DeleteObject(h); }},
    {"a bitmap already deleted",
     []() -> HBITMAP {
       HBITMAP h = CreateBitmap(64, 64, 1, 1, nullptr);
       DeleteObject(h);
       return h;
     },
     [](HBITMAP) {}},
    {"a value that names nothing", []() -> HBITMAP { return reinterpret_cast<HBITMAP>(0x7FF0); },
     [](HBITMAP) {}},
};
} // namespace

TEST_F(BadInput, LabelHandlesThatNameNoBitmap) {
  for (const BadHandle& b : kBadHandles) {
    SCOPED_TRACE(b.name);
    reset_printer(kFirst.com);
    ASSERT_EQ(0, api().InitPrinter(kFirst.number, 0));
    HostJob job(kFirst.typeCode(), kLabelWidth, kLabelLength);
    HBITMAP handle = b.make();
    EXPECT_EQ(-1, api().PrintOneLabel(kFirst.number, 1, handle, &job.info));
    b.release(handle);
    DWORD code = 0;
    EXPECT_EQ("The specified bit map image data cannot be transmitted.",
              error_text(kFirst.number, &code));
    EXPECT_EQ(60804u, code);
    EXPECT_EQ(0, sim().number("received", kFirst.com)) << "nothing sent";
    // The next label prints.
    EXPECT_EQ(1u, api().IsPrintReady(kFirst.slot(), 0));
    const TestLabel label = label_for(kFirst, 11);
    EXPECT_EQ(0, print(kFirst, label, job, true));
    EXPECT_TRUE(finish(kFirst.number));
    expect_printed(kFirst, 1, label);
  }
}
