// labelhost posdb, run as a separate process the way a person runs it: the
// exact bytes of a new position file, the record "set" stores through the
// driver, "get" finding it, and refusals with their exit codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/programs.h"
#include "tests/settings/ini_fixture.h"
#include "tests/settings/position_file.h"

namespace {
// Runs labelhost with these arguments; the exit code, or -1.
int run_labelhost(const std::string& args) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string output;
  return veldrin_test::RunProgram("\"" + veldrin_test::BuildProgramPath("labelhost.exe") + "\" " +
                                      args,
                                  std::string(temp) + "veldrin-posdb-tool.txt", &output);
}

// The five default fields: Format 64, Product 64, MacNo 4, StartPos 8,
// Contrast 4, then the extra fields given.
std::string expected_new_file(const std::vector<TestField>& extra, uint32_t recordSize) {
  std::vector<TestField> fields = {
      {"Format", 64, 0},    {"Product", 64, 64},  {"MacNo", 4, 128},
      {"StartPos", 8, 132}, {"Contrast", 4, 140},
  };
  fields.insert(fields.end(), extra.begin(), extra.end());
  const uint32_t length = 2272 + 656 * static_cast<uint32_t>(fields.size());
  std::string file(length, '\0');
  TestPut32(file, kHdrFileLength, length);
  TestPut32(file, kHdrRecordSize, recordSize);
  TestPut16(file, kHdrFieldCount, static_cast<uint16_t>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    std::string d = TestDescriptor(fields[i]);
    d.replace(0, 4, 4, '\0'); // a new file's host bytes are zero
    file.replace(2272 + 656 * i, 656, d);
  }
  return file;
}

class PosDbTool : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    file_ = dir_ + "\\made.adj";
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    IniFixture::TearDown();
  }
  std::string file_;
};
} // namespace

TEST_F(PosDbTool, CreateWritesAnEmptyFileOfTheDefaultLayout) {
  ASSERT_EQ(0, run_labelhost("posdb create \"" + file_ + "\""));
  EXPECT_TRUE(TestReadFile(file_) == expected_new_file({}, 144));
  EXPECT_EQ(1, run_labelhost("posdb create \"" + file_ + "\"")) << "an existing file is kept";
}

TEST_F(PosDbTool, CreateAppendsExtraFields) {
  ASSERT_EQ(0, run_labelhost("posdb create \"" + file_ + "\" Memo:10 Note"));
  EXPECT_TRUE(TestReadFile(file_) ==
              expected_new_file({{"Memo", 10, 144}, {"Note", 16, 154}}, 170));
}

TEST_F(PosDbTool, CreateRefusesBadFields) {
  EXPECT_EQ(2, run_labelhost("posdb create \"" + file_ + "\" Memo:0"));
  EXPECT_EQ(2, run_labelhost("posdb create \"" + file_ + "\" Memo:x"));
  EXPECT_EQ(2, run_labelhost("posdb create \"" + file_ + "\" :4"));
  EXPECT_EQ(2, run_labelhost("posdb create \"" + file_ + "\" Big:65500"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST_F(PosDbTool, SetStoresThroughTheDriverAndGetFindsIt) {
  ASSERT_EQ(0, run_labelhost("posdb create \"" + file_ + "\""));
  const std::string empty = TestReadFile(file_);
  ASSERT_EQ(0, run_labelhost("posdb set \"" + file_ +
                             "\" --format \"Label A\" --product Soap --printer 2 --start 12 "
                             "--density 3"));
  std::string expected =
      empty +
      TestRecord(
          144,
          {{0, 64, "Label A"}, {64, 64, "Soap"}, {128, 4, "2"}, {132, 8, "12"}, {140, 4, "3"}});
  TestPut32(expected, kHdrRecordCount, 1);
  TestPut32(expected, kHdrFileLength, 5552 + 144);
  EXPECT_TRUE(TestReadFile(file_) == expected);

  EXPECT_EQ(0, run_labelhost("posdb get \"" + file_ +
                             "\" --format \"LABEL A\" --product soap --printer 2"));
  EXPECT_EQ(1, run_labelhost("posdb get \"" + file_ +
                             "\" --format \"Label A\" --product Soap --printer 3"));
  EXPECT_EQ(0, run_labelhost("posdb list \"" + file_ + "\""));
}

TEST_F(PosDbTool, SetNeedsAnExistingFileAndEveryValue) {
  EXPECT_EQ(
      1, run_labelhost("posdb set \"" + file_ + "\" --format A --printer 1 --start 1 --density 1"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str())) << "never created";
  EXPECT_EQ(2, run_labelhost("posdb set \"" + file_ + "\" --format A --printer 1 --start 1"));
  EXPECT_EQ(2, run_labelhost("posdb set \"" + file_ + "\" --printer 1 --start 1 --density 1"));
  EXPECT_EQ(2, run_labelhost("posdb get \"" + file_ + "\" --format A"));
  EXPECT_EQ(2, run_labelhost("posdb frobnicate \"" + file_ + "\""));
}

TEST_F(PosDbTool, ListRefusesADamagedFile) {
  std::string damaged = expected_new_file({}, 144);
  TestPut32(damaged, kHdrRecordCount, 3); // three records promised, none there
  ASSERT_TRUE(TestWriteFile(file_, damaged));
  EXPECT_EQ(1, run_labelhost("posdb list \"" + file_ + "\""));
}
