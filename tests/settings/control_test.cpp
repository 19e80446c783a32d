// KtPrIoControl: every request through the real DLL's export where its effect
// shows (results, the bytes written at p and q, null pointers, the user data
// round trip, registration), and request 17 through the static core where its
// effect is in the label-format blocks, against a real position file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/exports.h"
#include "driver/slots.h"
#include "host/records.h"
#include "host/zovav.h"
#include "tests/driver/driver_dll.h"
#include "tests/settings/ini_fixture.h"
#include "tests/settings/position_file.h"
#include "zovav/test_hooks.h"

namespace {
constexpr BYTE kPattern = 0xA5;
constexpr size_t kBufSize = 32; // every request writes at most 20 bytes

LONG dll_io(DWORD printer, DWORD request, void* p, void* q) {
  return Driver().IoControl(printer, request, p, q);
}

std::vector<BYTE> patterned() {
  return std::vector<BYTE>(kBufSize, kPattern);
}

// The buffer as expected: the pattern, with `bytes` at `offset`.
std::vector<BYTE> pattern_with(size_t offset, const std::vector<BYTE>& bytes) {
  std::vector<BYTE> b = patterned();
  std::copy(bytes.begin(), bytes.end(), b.begin() + offset);
  return b;
}

std::vector<BYTE> le16(WORD v) {
  return {static_cast<BYTE>(v & 0xFF), static_cast<BYTE>(v >> 8)};
}
std::vector<BYTE> le32(DWORD v) {
  return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
          static_cast<BYTE>(v >> 24)};
}

std::vector<BYTE> printer_record(BYTE printer) {
  std::vector<BYTE> r(20, 0);
  r[0] = 261 & 0xFF;
  r[1] = 261 >> 8;
  r[2] = 200;
  r[8] = printer;
  return r;
}

// A request with p (and for some, q) and what it leaves behind.
struct PCase {
  DWORD request;
  const void* q;           // second pointer as passed
  LONG result;             // with a buffer at p
  std::vector<BYTE> after; // the buffer at p afterwards
  LONG resultWithNullP;    // with p null
};

const DWORD kType261 = 261;
const DWORD kType264 = 264;
const DWORD kType261High = 0x10105; // low 16 bits are 261, the 32-bit code is not

std::vector<PCase> p_cases() {
  return {
      {2, nullptr, 1, patterned(), 1},
      {3, nullptr, 1, pattern_with(2, le16(1000)), 0},
      {4, nullptr, 0, patterned(), 0},
      {5, &kType261, 1, pattern_with(0, le16(106)), 0},
      {5, &kType264, 1, pattern_with(0, le16(112)), 0},
      {5, &kType261High, 1, pattern_with(0, le16(112)), 0},
      {5, nullptr, 1, pattern_with(0, le16(112)), 0},
      {6, nullptr, 1, pattern_with(0, le16(1)), 0},
      {7, nullptr, 1, pattern_with(0, le16(200)), 0},
      {8, nullptr, 1, pattern_with(0, le16(1)), 0},
      {9, nullptr, 0, patterned(), 0},
      {11, nullptr, 1, pattern_with(0, {0}), 0},
      {12, nullptr, 1, pattern_with(0, {0}), 0},
      {14, nullptr, 1, patterned(), 1},
      {18, nullptr, 1, pattern_with(0, le32(1)), 0},
      {19, nullptr, 0, patterned(), 0},
      {20, nullptr, 0, patterned(), 0},
      // Codes outside the table: an empty text at p.
      {0, nullptr, 1, pattern_with(0, {0}), 0},
      {1, nullptr, 1, pattern_with(0, {0}), 0},
      {21, nullptr, 1, pattern_with(0, {0}), 0},
      {0x10002, nullptr, 1, pattern_with(0, {0}), 0}, // not request 2
      {0xFFFFFFFF, nullptr, 1, pattern_with(0, {0}), 0},
  };
}
} // namespace

TEST(IoControl, RequestsThroughTheExport) {
  ASSERT_NE(nullptr, Driver().IoControl);
  for (DWORD printer : {1u, 8u}) {
    for (const PCase& c : p_cases()) {
      SCOPED_TRACE(testing::Message() << "printer " << printer << " request " << c.request);
      std::vector<BYTE> buf = patterned();
      EXPECT_EQ(c.result, dll_io(printer, c.request, buf.data(), const_cast<void*>(c.q)));
      EXPECT_EQ(c.after, buf);
      EXPECT_EQ(c.resultWithNullP, dll_io(printer, c.request, nullptr, const_cast<void*>(c.q)));
    }
  }
}

TEST(IoControl, ConstantRequestsAnswerForAnyPrinterNumber) {
  for (DWORD printer : {0u, 9u, 255u, 0xFFFFFFFFu}) {
    for (const PCase& c : p_cases()) {
      SCOPED_TRACE(testing::Message() << "printer " << printer << " request " << c.request);
      std::vector<BYTE> buf = patterned();
      EXPECT_EQ(c.result, dll_io(printer, c.request, buf.data(), const_cast<void*>(c.q)));
      EXPECT_EQ(c.after, buf);
    }
  }
}

TEST(IoControl, PrinterRecordOfRequest13) {
  struct Case {
    DWORD printer;
    BYTE atByte8;
  } cases[] = {{3, 3}, {1, 1}, {8, 8}, {9, 9}, {0, 0}, {0x1FF, 0xFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    std::vector<BYTE> buf = patterned();
    EXPECT_EQ(1, dll_io(c.printer, 13, buf.data(), nullptr));
    EXPECT_EQ(pattern_with(0, printer_record(c.atByte8)), buf) << "20 bytes, nothing past them";
  }
  EXPECT_EQ(0, dll_io(3, 13, nullptr, nullptr));
}

TEST(IoControl, AllOnesOfRequest10WithItsSizeCheck) {
  struct Case {
    const char* what;
    bool hasQ;
    DWORD size;   // the size at q before
    LONG result;  //
    bool written; // 0xFFFFFFFF at p
    DWORD sizeAfter;
  } cases[] = {
      {"size 8", true, 8, 1, true, 4},
      {"size 4", true, 4, 1, true, 4},
      {"size 3", true, 3, 0, false, 3},
      {"size 0", true, 0, 0, false, 0},
      {"negative size", true, 0xFFFFFFFF, 0, false, 0xFFFFFFFF},
      {"no size", false, 0, 1, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> buf = patterned();
    DWORD size = c.size;
    EXPECT_EQ(c.result, dll_io(1, 10, buf.data(), c.hasQ ? &size : nullptr));
    EXPECT_EQ(c.written ? pattern_with(0, le32(0xFFFFFFFF)) : patterned(), buf);
    EXPECT_EQ(c.sizeAfter, size);
  }
  // A null p is refused: nothing written, the size left alone.
  DWORD size = 8;
  EXPECT_EQ(0, dll_io(1, 10, nullptr, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0, dll_io(1, 10, nullptr, nullptr));
}

TEST(IoControl, UserDataRoundTrip) {
  // The pointer value itself is stored, never what it points to.
  const LONG before1 = dll_io(1, 15, nullptr, nullptr);
  EXPECT_EQ(before1, dll_io(1, 16, reinterpret_cast<void*>(77), nullptr));
  EXPECT_EQ(77, dll_io(1, 15, nullptr, nullptr));
  const LONG before8 = dll_io(8, 15, nullptr, nullptr);
  EXPECT_EQ(before8, dll_io(8, 16, reinterpret_cast<void*>(0xCAFE), nullptr));
  EXPECT_EQ(77, dll_io(1, 16, reinterpret_cast<void*>(0xFFFFFFFF), nullptr));
  EXPECT_EQ(-1, dll_io(1, 15, nullptr, nullptr));
  EXPECT_EQ(0xCAFE, dll_io(8, 15, nullptr, nullptr)) << "each printer its own value";
  EXPECT_EQ(-1, dll_io(1, 16, nullptr, nullptr));
  EXPECT_EQ(0, dll_io(1, 15, nullptr, nullptr));

  // Numbers outside 1..8 touch no slot.
  EXPECT_EQ(0, dll_io(1, 16, reinterpret_cast<void*>(5), nullptr));
  for (DWORD printer : {0u, 9u, 255u}) {
    SCOPED_TRACE(printer);
    EXPECT_EQ(0, dll_io(printer, 16, reinterpret_cast<void*>(99), nullptr));
    EXPECT_EQ(0, dll_io(printer, 15, nullptr, nullptr));
  }
  EXPECT_EQ(5, dll_io(1, 15, nullptr, nullptr));
  EXPECT_EQ(0xCAFE, dll_io(8, 15, nullptr, nullptr));
}

TEST(IoControl, Request14RegistersTheDriverAgain) {
  ZoVavTestHooks hooks;
  ASSERT_TRUE(LoadZoVavTestHooks(&hooks));
  ASSERT_NE(nullptr, Driver().hModule);
  // Someone else took the name; request 14 puts the driver back.
  RegisterDLLPrinterFnV("VELDRIN", GetModuleHandleA(nullptr));
  ASSERT_EQ(GetModuleHandleA(nullptr), hooks.RegisteredModule("VELDRIN"));
  const int calls = hooks.RegistrationCount();
  EXPECT_EQ(1, dll_io(1, 14, nullptr, nullptr));
  EXPECT_EQ(calls + 1, hooks.RegistrationCount());
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(Driver().hModule), hooks.RegisteredModule("VELDRIN"));
}

TEST(IoControl, Request17SizeCheckThroughTheExport) {
  LabelFormatParams params{};
  strcpy(params.szProduct, "Soap");
  strcpy(params.szFormat, "Label A");
  struct Case {
    const char* what;
    bool hasQ;
    LONG size;
    DWORD printer;
    bool hasP;
    LONG result;
  } cases[] = {
      {"no size", false, 0, 1, true, 1},     {"size 516", true, 516, 1, true, 1},
      {"size 4096", true, 4096, 8, true, 1}, {"size 515", true, 515, 1, true, 0},
      {"size 0", true, 0, 1, true, 0},       {"negative size", true, -1, 1, true, 0},
      {"null p", false, 0, 1, false, 0},     {"printer 0", false, 0, 0, true, 0},
      {"printer 9", true, 516, 9, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LONG size = c.size;
    EXPECT_EQ(c.result,
              dll_io(c.printer, 17, c.hasP ? &params : nullptr, c.hasQ ? &size : nullptr));
    EXPECT_EQ(c.size, size) << "the size is never written";
  }
}

namespace {
// Request 17 through the static core, with a position file in a private
// module directory.
class LabelFormatRequest : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", dir_.c_str());
    file_ = dir_ + "\\VD_PosAdjust.adj";
    ASSERT_TRUE(TestWriteFile(
        file_, TestPositionFile(kTestFields, kTestRecordSize,
                                {
                                    TestRecordOf("Label A", "Soap", "2", "12", "3"),
                                    TestRecordOf("Label A", "Soap", "1", "7", "5"),
                                    TestRecordOf("Label B", "Soap", "2", "1000", "12"),
                                    TestRecordOf("Label C", "Soap", "2", "42", ""),
                                    TestRecordOf("Label D", "Soap", "2", "-5", "0"),
                                })));
    // Every block holds values request 17 must leave alone unless it applies
    // a stored position.
    for (LabelFormatBlock& b : g_formatBlocks) {
      memset(&b, 'z', sizeof(b));
      memcpy(b.achStartPos, "xyz", 3);
      b.chContrast = 'q';
      b.bPositionFound = 7;
    }
  }
  void TearDown() override {
    memset(g_formatBlocks, 0, sizeof(g_formatBlocks));
    DeleteFileA(file_.c_str());
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", nullptr);
    IniFixture::TearDown();
  }

  static LabelFormatParams params(const char* product, const char* format) {
    LabelFormatParams p;
    memset(&p, 0, sizeof(p));
    strcpy(p.szProduct, product);
    strcpy(p.szFormat, format);
    return p;
  }

  static void expect_names(const char* product, const char* format) {
    for (int i = 0; i < kSlotCount; ++i) {
      SCOPED_TRACE(i);
      EXPECT_STREQ(product, g_formatBlocks[i].szProduct);
      EXPECT_STREQ(format, g_formatBlocks[i].szFormat);
    }
  }

  static void expect_position(int slot, const char* start, char contrast, DWORD found) {
    const LabelFormatBlock& b = g_formatBlocks[slot];
    EXPECT_EQ(std::string(start), std::string(b.achStartPos, 3));
    EXPECT_EQ(contrast, b.chContrast);
    EXPECT_EQ(found, b.bPositionFound);
  }

  std::string file_;
};
} // namespace

TEST_F(LabelFormatRequest, HitSetsTheNamedPrintersPosition) {
  LabelFormatParams p = params("Soap", "Label A");
  LONG size = sizeof(p);
  EXPECT_EQ(1, KtPrIoControl(2, 17, &p, &size));
  expect_names("Soap", "Label A");
  expect_position(1, "012", '3', 1);
  for (int slot : {0, 2, 3, 4, 5, 6, 7}) {
    SCOPED_TRACE(slot);
    expect_position(slot, "xyz", 'q', 7);
  }
  // Nothing else of the block changes.
  EXPECT_EQ(std::string(16, 'z'), std::string(g_formatBlocks[1].achImageX, 16));
}

TEST_F(LabelFormatRequest, LookupUsesThePrinterNumber) {
  LabelFormatParams p = params("SOAP", "label a");
  EXPECT_EQ(1, KtPrIoControl(1, 17, &p, nullptr));
  expect_position(0, "007", '5', 1);
  EXPECT_EQ(1, KtPrIoControl(2, 17, &p, nullptr));
  expect_position(1, "012", '3', 1);
  expect_names("SOAP", "label a");
}

TEST_F(LabelFormatRequest, StoredValuesAsThreeDigitsAndOneCharacter) {
  struct Case {
    const char* format;
    const char* start;
    char contrast;
  } cases[] = {
      {"Label B", "100", '0' + 12}, // 1000 cut to three characters; density 12 is '<'
      {"Label D", "-05", '0'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    LabelFormatParams p = params("Soap", c.format);
    EXPECT_EQ(1, KtPrIoControl(2, 17, &p, nullptr));
    expect_position(1, c.start, c.contrast, 1);
  }
}

TEST_F(LabelFormatRequest, MissLeavesThePositionAndClearsTheFlag) {
  struct Case {
    const char* product;
    const char* format;
    DWORD printer;
  } cases[] = {
      {"Soap", "Label A", 3}, // no record for printer 3
      {"Rope", "Label A", 2}, // no such product
      {"Soap", "Label C", 2}, // record with an empty density
      {"", "Label A", 2},     // the empty product is its own key
      {"Soap", "", 2},        // no format name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.product << "/" << c.format << "/" << c.printer);
    LabelFormatParams p = params(c.product, c.format);
    EXPECT_EQ(1, KtPrIoControl(c.printer, 17, &p, nullptr));
    expect_names(c.product, c.format);
    expect_position(static_cast<int>(c.printer) - 1, "xyz", 'q', 0);
  }
}

TEST_F(LabelFormatRequest, NoPositionFileIsAMiss) {
  DeleteFileA(file_.c_str());
  LabelFormatParams p = params("Soap", "Label A");
  EXPECT_EQ(1, KtPrIoControl(2, 17, &p, nullptr));
  expect_position(1, "xyz", 'q', 0);
}

TEST_F(LabelFormatRequest, RefusedCallsChangeNoBlock) {
  LabelFormatParams p = params("Soap", "Label A");
  struct Case {
    const char* what;
    DWORD printer;
    bool hasP;
    bool hasQ;
    LONG size;
  } cases[] = {
      {"size 515", 2, true, true, 515},       {"size 0", 2, true, true, 0},
      {"negative size", 2, true, true, -516}, {"null p", 2, false, false, 0},
      {"printer 0", 0, true, false, 0},       {"printer 9", 9, true, true, 516},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> before(reinterpret_cast<BYTE*>(g_formatBlocks),
                             reinterpret_cast<BYTE*>(g_formatBlocks) + sizeof(g_formatBlocks));
    LONG size = c.size;
    EXPECT_EQ(0, KtPrIoControl(c.printer, 17, c.hasP ? &p : nullptr, c.hasQ ? &size : nullptr));
    EXPECT_EQ(0, memcmp(before.data(), g_formatBlocks, sizeof(g_formatBlocks)));
  }
}

TEST_F(LabelFormatRequest, UnterminatedHostTextsStayInsideTheirFields) {
  LabelFormatParams p;
  memset(p.szProduct, 'P', sizeof(p.szProduct));
  memset(p.szFormat, 'F', sizeof(p.szFormat));
  EXPECT_EQ(1, KtPrIoControl(4, 17, &p, nullptr));
  expect_names(std::string(255, 'P').c_str(), std::string(259, 'F').c_str());
  expect_position(3, "xyz", 'q', 0);
  EXPECT_EQ(7u, g_formatBlocks[4].bPositionFound) << "nothing written past szFormat";
}

TEST_F(LabelFormatRequest, BytesBehindTheNamesAreCopiedToo) {
  LabelFormatParams p;
  memset(&p, 'x', sizeof(p));
  memcpy(p.szProduct, "Soap", 5);
  memcpy(p.szFormat, "Label A", 8);
  EXPECT_EQ(1, KtPrIoControl(2, 17, &p, nullptr));
  expect_position(1, "012", '3', 1);
  for (const LabelFormatBlock& b : g_formatBlocks) {
    EXPECT_EQ(0, memcmp(b.szProduct, p.szProduct, 255));
    EXPECT_EQ(0, memcmp(b.szFormat, p.szFormat, 259));
  }
}

TEST_F(LabelFormatRequest, OtherSlotsAreUntouchedByTheUserDataRequests) {
  std::vector<BYTE> before(reinterpret_cast<BYTE*>(g_slots),
                           reinterpret_cast<BYTE*>(g_slots) + sizeof(g_slots));
  EXPECT_EQ(0, KtPrIoControl(9, 16, reinterpret_cast<void*>(1234), nullptr));
  EXPECT_EQ(0, KtPrIoControl(0, 16, reinterpret_cast<void*>(1234), nullptr));
  EXPECT_EQ(0, memcmp(before.data(), g_slots, sizeof(g_slots)));
  const DWORD old = g_slots[5].dwUserData;
  EXPECT_EQ(static_cast<LONG>(old), KtPrIoControl(6, 16, reinterpret_cast<void*>(1234), nullptr));
  EXPECT_EQ(1234u, g_slots[5].dwUserData);
  g_slots[5].dwUserData = old;
}
