// AccessPrintPositionDb against real position files under Wine, with the
// ZoVav stand-in opening them: files built byte by byte, the exact bytes on
// disk after every write, damaged files refused in both modes with their
// bytes unchanged, and after every call the temporary buffer released and
// the file closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/position_db.h"
#include "tests/settings/ini_fixture.h"
#include "tests/settings/position_file.h"
#include "zovav/test_hooks.h"

namespace {
constexpr int32_t kUntouched = 77; // preset of every output

class PositionDb : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    ASSERT_TRUE(LoadZoVavTestHooks(&hooks_));
    hooks_.FailTmpBuf(FALSE);
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", dir_.c_str());
    file_ = dir_ + "\\VD_PosAdjust.adj";
  }
  void TearDown() override {
    hooks_.FailTmpBuf(FALSE);
    for (const std::string& f : created_)
      DeleteFileA(f.c_str());
    SetEnvironmentVariableA("ZOVAV_MODULE_DIR", nullptr);
    IniFixture::TearDown();
  }

  void WriteFileBytes(const std::string& path, const std::string& bytes) {
    created_.push_back(path);
    ASSERT_TRUE(TestWriteFile(path, bytes));
  }
  void WritePositionFile(const std::string& bytes) { WriteFileBytes(file_, bytes); }

  static std::string ReadFileBytes(const std::string& path) { return TestReadFile(path); }
  std::string PositionFileBytes() const { return ReadFileBytes(file_); }

  // The driver's call, followed by the checks every call must pass: no
  // temporary buffer left and no handle left open on the file.
  int Access(int printer, const char* format, const char* product, int32_t* start,
             int32_t* contrast, int write) {
    const int result = AccessPrintPositionDb(printer, format, product, start, contrast, write);
    EXPECT_EQ(0, hooks_.OutstandingBuffers()) << "temporary buffer not released";
    ExpectClosed(file_);
    return result;
  }
  int Read(int printer, const char* format, const char* product, int32_t* start,
           int32_t* contrast) {
    *start = kUntouched;
    *contrast = kUntouched;
    return Access(printer, format, product, start, contrast, 0);
  }
  int Write(int printer, const char* format, const char* product, int32_t start, int32_t contrast) {
    return Access(printer, format, product, &start, &contrast, 1);
  }

  // Opening without sharing succeeds only when nobody holds the file open.
  static void ExpectClosed(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      return;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, f) << path << " is still open (error " << GetLastError() << ")";
    if (f != INVALID_HANDLE_VALUE)
      CloseHandle(f);
  }

  ZoVavTestHooks hooks_{};
  std::string file_; // the default position file in the module directory
  std::vector<std::string> created_;
};

// Byte strings compared with the first difference named, not printed whole.
testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual)
    return testing::AssertionSuccess();
  size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i])
    ++i;
  auto at = [](const std::string& s, size_t i) {
    return i < s.size() ? std::to_string(static_cast<uint8_t>(s[i])) : std::string("end");
  };
  return testing::AssertionFailure()
         << "sizes " << expected.size() << " and " << actual.size() << ", first difference at byte "
         << i << ": expected " << at(expected, i) << ", got " << at(actual, i);
}

// The default layout's file with these records.
std::string file_of(const std::vector<std::string>& records) {
  return TestPositionFile(kTestFields, kTestRecordSize, records);
}

constexpr uint32_t kRecordsStart = 2272 + 656 * 6;
} // namespace

TEST_F(PositionDb, EmptyFileFindsNothing) {
  const std::string before = file_of({});
  WritePositionFile(before);
  int32_t start, contrast;
  EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(kUntouched, start);
  EXPECT_EQ(kUntouched, contrast);
  EXPECT_TRUE(SameBytes(before, PositionFileBytes()));
}

TEST_F(PositionDb, FirstWriteAppendsTheFirstRecord) {
  const std::string before = file_of({});
  WritePositionFile(before);
  EXPECT_EQ(1, Write(2, "Label A", "Soap", 12, 3));

  std::string expected = before + TestRecordOf("Label A", "Soap", "2", "12", "3");
  TestPut32(expected, kHdrRecordCount, 1);
  TestPut32(expected, kHdrFileLength, 2272 + 656 * 6 + 84);
  const std::string after = PositionFileBytes();
  ASSERT_EQ(expected.size(), after.size());
  EXPECT_TRUE(SameBytes(expected.substr(0, 2272), after.substr(0, 2272)))
      << "header: count, length, rest kept";
  EXPECT_TRUE(SameBytes(expected.substr(2272, 656 * 6), after.substr(2272, 656 * 6)))
      << "descriptors kept";
  EXPECT_EQ(expected.substr(kRecordsStart), after.substr(kRecordsStart)) << "the record";
  EXPECT_EQ(6292u, TestGet32(after, kHdrFileLength));

  int32_t start, contrast;
  EXPECT_EQ(1, Read(2, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(12, start);
  EXPECT_EQ(3, contrast);
}

TEST_F(PositionDb, AppendGoesBehindTheLastRecord) {
  const std::string r1 = TestRecordOf("Label A", "Soap", "1", "5", "1", "m1", '\xAB');
  const std::string r2 = TestRecordOf("Label B", "Soap", "1", "6", "2", "m2", '\xAB');
  const std::string before = file_of({r1, r2});
  WritePositionFile(before);
  EXPECT_EQ(1, Write(1, "Label C", "Rope", 100, 9));
  std::string expected = before + TestRecordOf("Label C", "Rope", "1", "100", "9");
  TestPut32(expected, kHdrRecordCount, 3);
  TestPut32(expected, kHdrFileLength, kRecordsStart + 3 * 84);
  EXPECT_TRUE(SameBytes(expected, PositionFileBytes()));
}

TEST_F(PositionDb, SecondWriteUpdatesInPlace) {
  const std::string r1 = TestRecordOf("Label A", "Soap", "1", "5", "1", "memo1", '\xAB');
  const std::string r2 = TestRecordOf("Label A", "Soap", "2", "123456", "999", "memo2", '\xAB');
  const std::string r3 = TestRecordOf("Label A", "Soap", "3", "7", "3", "memo3", '\xAB');
  const std::string before = file_of({r1, r2, r3});
  WritePositionFile(before);
  EXPECT_EQ(1, Write(2, "Label A", "Soap", 15, 4));

  std::string expected = before;
  const size_t at = kRecordsStart + 84;
  expected.replace(at + 68, 6, std::string("15\0\0\0\0", 6));
  expected.replace(at + 74, 3, std::string("4\0\0", 3));
  EXPECT_TRUE(SameBytes(expected, PositionFileBytes()))
      << "only StartPos and Contrast of record 2 change";
  EXPECT_EQ(3u, TestGet32(PositionFileBytes(), kHdrRecordCount));

  // And once more: still the same record.
  EXPECT_EQ(1, Write(2, "LABEL A", "SOAP", 16, 5));
  expected.replace(at + 68, 6, std::string("16\0\0\0\0", 6));
  expected.replace(at + 74, 3, std::string("5\0\0", 3));
  EXPECT_TRUE(SameBytes(expected, PositionFileBytes()));
}

TEST_F(PositionDb, TwoPrintersGetTwoRecords) {
  WritePositionFile(file_of({}));
  EXPECT_EQ(1, Write(1, "Label A", "Soap", 5, 1));
  EXPECT_EQ(1, Write(2, "Label A", "Soap", 7, 2));
  EXPECT_EQ(1, Write(1, "Label A", "Soap", 8, 4)); // updates printer 1's record
  const std::string after = PositionFileBytes();
  EXPECT_EQ(2u, TestGet32(after, kHdrRecordCount));
  EXPECT_EQ(kRecordsStart + 2 * 84, TestGet32(after, kHdrFileLength));
  EXPECT_EQ(TestRecordOf("Label A", "Soap", "1", "8", "4"), after.substr(kRecordsStart, 84));
  EXPECT_EQ(TestRecordOf("Label A", "Soap", "2", "7", "2"), after.substr(kRecordsStart + 84, 84));

  int32_t start, contrast;
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(8, start);
  EXPECT_EQ(4, contrast);
  EXPECT_EQ(1, Read(2, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(7, start);
  EXPECT_EQ(2, contrast);
  EXPECT_EQ(0, Read(3, "Label A", "Soap", &start, &contrast));
}

TEST_F(PositionDb, LookupsByKey) {
  const std::string longName(32, 'N'); // exactly as wide as the Format field
  WritePositionFile(file_of({
      TestRecordOf("Label A", "Soap", "1", "11", "1"),
      TestRecordOf("label a", "", "1", "12", "2"),
      TestRecordOf(longName, "Soap", "2", "13", "3"),
      TestRecordOf("Caf\xC9", "Soap", "1", "14", "4"),
      TestRecordOf("Label [1]", "Soap", "1", "15", "5"),
      TestRecordOf("Label A", "Soap", " +4", "16", "6"),
  }));
  struct Case {
    std::string format;
    const char* product; // null: no product name
    int printer;
    int result;
    int32_t start; // expected outputs (kUntouched when not found)
    int32_t contrast;
  } cases[] = {
      {"Label A", "Soap", 1, 1, 11, 1},
      {"LABEL A", "sOAP", 1, 1, 11, 1},  // letters without regard to case
      {"Label A", "", 1, 1, 12, 2},      // the empty product is its own key
      {"Label A", nullptr, 1, 1, 12, 2}, // null product: the empty name
      {"Label A", "Soa", 1, 0, kUntouched, kUntouched},
      {"Label A", "Soap ", 1, 0, kUntouched, kUntouched},
      {"Label", "Soap", 1, 0, kUntouched, kUntouched},
      {"Label A", "Soap", 2, 0, kUntouched, kUntouched},
      {"Label A", "Soap", 4, 1, 16, 6}, // MacNo " +4"
      {longName + "tail", "Soap", 2, 1, 13, 3},
      {std::string(32, 'n'), "Soap", 2, 1, 13, 3},
      {std::string(31, 'N'), "Soap", 2, 0, kUntouched, kUntouched},
      {"Caf\xC9", "Soap", 1, 1, 14, 4},
      {"Caf\xE9", "Soap", 1, 0, kUntouched, kUntouched}, // only A-Z fold
      {"CAF\xC9", "Soap", 1, 1, 14, 4},
      {"Label {1}", "Soap", 1, 0, kUntouched, kUntouched}, // '[' is not '{'
      {"label [1]", "SOAP", 1, 1, 15, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.format << " / " << (c.product ? c.product : "(null)") << " / " << c.printer);
    int32_t start, contrast;
    EXPECT_EQ(c.result, Read(c.printer, c.format.c_str(), c.product, &start, &contrast));
    EXPECT_EQ(c.start, start);
    EXPECT_EQ(c.contrast, contrast);
  }
}

TEST_F(PositionDb, FieldNamesInAnyCase) {
  const std::vector<TestField> fields = {
      {"CONTRAST", 3, 74}, {"memo", 5, 77},     {"sTaRtPoS", 6, 68},
      {"format", 32, 0},   {"PRODUCT", 32, 32}, {"Macno", 4, 64},
  };
  const std::string before = TestPositionFile(fields, 84, {});
  WritePositionFile(before);
  EXPECT_EQ(1, Write(5, "Label A", "Soap", 42, 7));
  std::string expected = before + TestRecordOf("Label A", "Soap", "5", "42", "7");
  TestPut32(expected, kHdrRecordCount, 1);
  TestPut32(expected, kHdrFileLength, kRecordsStart + 84);
  EXPECT_TRUE(SameBytes(expected, PositionFileBytes()));
  int32_t start, contrast;
  EXPECT_EQ(1, Read(5, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(42, start);
  EXPECT_EQ(7, contrast);
}

TEST_F(PositionDb, LaterDescriptorOfTheSameNameCounts) {
  std::vector<TestField> fields = kTestFields;
  fields.push_back({"StartPos", 2, 82}); // the two spare bytes at the end
  const std::string before = TestPositionFile(fields, 84, {});
  WritePositionFile(before);
  EXPECT_EQ(1, Write(1, "Label A", "Soap", 42, 7));
  std::string record = TestRecordOf("Label A", "Soap", "1", "", "7");
  record.replace(82, 2, "42");
  const size_t start = 2272 + 656 * 7;
  EXPECT_EQ(record, PositionFileBytes().substr(start));
}

TEST_F(PositionDb, NamesLongerThanTheFieldAreCut) {
  WritePositionFile(file_of({}));
  const std::string format = std::string(32, 'F') + "-first";
  const std::string product = std::string(32, 'P') + "-first";
  EXPECT_EQ(1, Write(1, format.c_str(), product.c_str(), 1, 1));
  const std::string after = PositionFileBytes();
  EXPECT_EQ(std::string(32, 'F'), after.substr(kRecordsStart, 32));
  EXPECT_EQ(std::string(32, 'P'), after.substr(kRecordsStart + 32, 32));
  EXPECT_EQ(std::string("1\0\0\0", 4), after.substr(kRecordsStart + 64, 4));

  // Any name that agrees over the width finds the same record.
  const std::string other = std::string(32, 'f') + "-second";
  EXPECT_EQ(1, Write(1, other.c_str(), (std::string(32, 'P') + "x").c_str(), 2, 2));
  EXPECT_EQ(1u, TestGet32(PositionFileBytes(), kHdrRecordCount));
  int32_t start, contrast;
  EXPECT_EQ(1,
            Read(1, std::string(32, 'F').c_str(), std::string(32, 'P').c_str(), &start, &contrast));
  EXPECT_EQ(2, start);
}

TEST_F(PositionDb, ValuesLongerThanTheFieldAreCut) {
  WritePositionFile(file_of({}));
  EXPECT_EQ(1, Write(1, "Label A", "Soap", 12345678, -1234));
  const std::string after = PositionFileBytes();
  EXPECT_EQ("123456", after.substr(kRecordsStart + 68, 6));
  EXPECT_EQ("-12", after.substr(kRecordsStart + 74, 3));
  int32_t start, contrast;
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(123456, start);
  EXPECT_EQ(-12, contrast);
}

TEST_F(PositionDb, FieldExactlyAsWideAsItsText) {
  // Contrast fills its three bytes; the digits of Memo right behind it must
  // not be read as part of it, nor those of Contrast as part of StartPos.
  WritePositionFile(file_of({TestRecordOf("Label A", "Soap", "1", "654321", "999", "55555")}));
  int32_t start, contrast;
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(654321, start);
  EXPECT_EQ(999, contrast);
}

TEST_F(PositionDb, ZeroIsAValueAnEmptyFieldIsNot) {
  WritePositionFile(file_of({
      TestRecordOf("Zero", "Soap", "1", "0", "0"),
      TestRecordOf("NoStart", "Soap", "1", "", "4"),
      TestRecordOf("NoContrast", "Soap", "1", "9", ""),
  }));
  int32_t start, contrast;
  EXPECT_EQ(1, Read(1, "Zero", "Soap", &start, &contrast));
  EXPECT_EQ(0, start);
  EXPECT_EQ(0, contrast);

  EXPECT_EQ(0, Read(1, "NoStart", "Soap", &start, &contrast));
  EXPECT_EQ(kUntouched, start);
  EXPECT_EQ(kUntouched, contrast);

  // The start position is delivered before the empty density fails the read.
  EXPECT_EQ(0, Read(1, "NoContrast", "Soap", &start, &contrast));
  EXPECT_EQ(9, start);
  EXPECT_EQ(kUntouched, contrast);

  // Zero is stored as the text "0".
  EXPECT_EQ(1, Write(1, "NoStart", "Soap", 0, 0));
  EXPECT_EQ(std::string("0\0\0\0\0\0", 6), PositionFileBytes().substr(kRecordsStart + 84 + 68, 6));
}

TEST_F(PositionDb, EmptyProductIsItsOwnKey) {
  WritePositionFile(file_of({}));
  EXPECT_EQ(1, Write(1, "Label A", "", 3, 3));
  EXPECT_EQ(1, Write(1, "Label A", "Soap", 4, 4));
  EXPECT_EQ(1, Write(1, "Label A", nullptr, 5, 5)); // the empty-product record again
  const std::string after = PositionFileBytes();
  EXPECT_EQ(2u, TestGet32(after, kHdrRecordCount));
  EXPECT_EQ(TestRecordOf("Label A", "", "1", "5", "5"), after.substr(kRecordsStart, 84));
  EXPECT_EQ(TestRecordOf("Label A", "Soap", "1", "4", "4"), after.substr(kRecordsStart + 84, 84));
}

TEST_F(PositionDb, RefusedArgumentsLeaveTheFileAlone) {
  const std::string before = file_of({TestRecordOf("Label A", "Soap", "1", "5", "1")});
  WritePositionFile(before);
  int32_t start = 9, contrast = 9;
  for (int write : {0, 1}) {
    SCOPED_TRACE(write);
    EXPECT_EQ(0, Access(1, nullptr, "Soap", &start, &contrast, write));
    EXPECT_EQ(0, Access(1, "", "Soap", &start, &contrast, write));
    EXPECT_EQ(0, Access(1, "Label A", "Soap", nullptr, &contrast, write));
    EXPECT_EQ(0, Access(1, "Label A", "Soap", &start, nullptr, write));
    EXPECT_EQ(9, start);
    EXPECT_EQ(9, contrast);
    EXPECT_TRUE(SameBytes(before, PositionFileBytes()));
  }
}

TEST_F(PositionDb, AnyNonZeroFlagWrites) {
  WritePositionFile(file_of({}));
  int32_t start = 3, contrast = 4;
  EXPECT_EQ(1, Access(1, "Label A", "Soap", &start, &contrast, -7));
  EXPECT_EQ(1u, TestGet32(PositionFileBytes(), kHdrRecordCount));
}

TEST_F(PositionDb, NoFileNoRecordAndNothingCreated) {
  int32_t start, contrast;
  EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(0, Write(1, "Label A", "Soap", 1, 1));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST_F(PositionDb, FileNamedInTheIniFile) {
  const std::string other = dir_ + "\\Other.adj";
  WriteFileBytes(other, file_of({TestRecordOf("Label A", "Soap", "1", "21", "2")}));
  WritePositionFile(file_of({TestRecordOf("Label A", "Soap", "1", "11", "1")}));
  int32_t start, contrast;

  WriteIni("[VD_PrintAdjust]\r\nVD_DBPrintPos=Other.adj\r\n");
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(21, start);
  EXPECT_EQ(1, Write(1, "Label B", "Soap", 1, 1));
  EXPECT_EQ(2u, TestGet32(ReadFileBytes(other), kHdrRecordCount));
  ExpectClosed(other);

  WriteIni("[VD_PrintAdjust]\r\nOtherKey=Other.adj\r\n"); // key absent: the default name
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(11, start);

  WriteIni("[VD_PrintAdjust]\r\nVD_DBPrintPos=Missing.adj\r\n");
  EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(0, Write(1, "Label A", "Soap", 1, 1));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir_ + "\\Missing.adj").c_str()));

  WriteIni("[VD_PrintAdjust]\r\nVD_DBPrintPos=\r\n"); // an empty name is no file
  EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
}

TEST_F(PositionDb, NoTemporaryBufferNoAccess) {
  const std::string before = file_of({TestRecordOf("Label A", "Soap", "1", "5", "1")});
  WritePositionFile(before);
  hooks_.FailTmpBuf(TRUE);
  int32_t start, contrast;
  EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
  EXPECT_EQ(kUntouched, start);
  EXPECT_EQ(0, Write(1, "Label A", "Soap", 6, 2));
  EXPECT_EQ(0, Write(1, "Label B", "Soap", 6, 2));
  EXPECT_TRUE(SameBytes(before, PositionFileBytes()));
  hooks_.FailTmpBuf(FALSE);
  EXPECT_EQ(1, Read(1, "Label A", "Soap", &start, &contrast));
}

TEST_F(PositionDb, FileCanBeDeletedAfterEveryKindOfCall) {
  WritePositionFile(file_of({TestRecordOf("Label A", "Soap", "1", "5", "1")}));
  int32_t start, contrast;
  Read(1, "Label A", "Soap", &start, &contrast);
  Read(1, "Missing", "Soap", &start, &contrast);
  Write(1, "Label A", "Soap", 1, 1);
  Write(1, "Label B", "Soap", 1, 1);
  EXPECT_TRUE(DeleteFileA(file_.c_str())) << "error " << GetLastError();
}

// Each damaged file: the result 0 in both modes, its bytes unchanged, the
// outputs untouched, no buffer left and the file closed.
TEST_F(PositionDb, DamagedFilesAreRefusedUnchanged) {
  const std::string good = TestRecordOf("Label A", "Soap", "1", "5", "1");
  auto with_field = [](size_t index, TestField field) {
    std::vector<TestField> fields = kTestFields;
    fields[index] = field;
    return fields;
  };
  auto patched = [&](size_t offset, uint32_t value, int records) {
    std::string f = file_of(std::vector<std::string>(records, good));
    TestPut32(f, offset, value);
    return f;
  };
  auto field_count = [&](uint16_t count) {
    std::string f = file_of({good});
    TestPut16(f, kHdrFieldCount, count);
    return f;
  };
  std::string unterminated = TestDescriptor({std::string(644, 'x'), 3, 74});
  unterminated.replace(12, 8, "Contrast");
  std::string noContrastName = file_of({good});
  noContrastName.replace(2272 + 656 * 4, 656, unterminated);
  const std::string full = file_of({good, good, good});

  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"field past the record end",
       TestPositionFile(with_field(4, {"Contrast", 3, 82}), 84, {good})},
      {"field one byte past", TestPositionFile(with_field(1, {"Product", 21, 64}), 84, {good})},
      {"negative width", TestPositionFile(with_field(3, {"StartPos", -6, 68}), 84, {good})},
      {"negative offset", TestPositionFile(with_field(0, {"Format", 32, -1}), 84, {good})},
      {"offset and width overflow",
       TestPositionFile(with_field(2, {"MacNo", 0x7FFFFFFF, 64}), 84, {good})},
      {"huge offset", TestPositionFile(with_field(2, {"MacNo", 4, 0x7FFFFFF0}), 84, {good})},
      {"missing field", TestPositionFile(with_field(2, {"MachineNo", 4, 64}), 84, {good})},
      {"unterminated name", noContrastName},
      {"record size 0", patched(kHdrRecordSize, 0, 1)},
      {"record size of gigabytes", patched(kHdrRecordSize, 0x40000000, 1)},
      {"record size 0xFFFFFFFF", patched(kHdrRecordSize, 0xFFFFFFFF, 1)},
      {"record size just over the limit", patched(kHdrRecordSize, 65537, 1)},
      {"record size larger than the records", patched(kHdrRecordSize, 85, 1)},
      {"no fields", field_count(0)},
      {"thousands of fields", field_count(4000)},
      {"65535 fields", field_count(0xFFFF)},
      {"negative record count", patched(kHdrRecordCount, 0xFFFFFFFF, 1)},
      {"most negative record count", patched(kHdrRecordCount, 0x80000000, 1)},
      {"huge record count", patched(kHdrRecordCount, 0x7FFFFFFF, 1)},
      {"ends before the record count", full.substr(0, full.size() - 84)},
      {"ends inside the last record", full.substr(0, full.size() - 1)},
      {"ends inside the descriptors", full.substr(0, 2272 + 656 * 3)},
      {"stored length past the end", patched(kHdrFileLength, 2272 + 656 * 6 + 85, 1)},
      {"shorter than a header", full.substr(0, 2000)},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WritePositionFile(c.bytes);
    int32_t start, contrast;
    EXPECT_EQ(0, Read(1, "Label A", "Soap", &start, &contrast));
    EXPECT_EQ(kUntouched, start);
    EXPECT_EQ(kUntouched, contrast);
    EXPECT_EQ(0, Write(1, "Label A", "Soap", 6, 2)) << "update";
    EXPECT_EQ(0, Write(1, "Label B", "Soap", 6, 2)) << "append";
    EXPECT_TRUE(SameBytes(c.bytes, PositionFileBytes())) << "file changed";
  }
}
