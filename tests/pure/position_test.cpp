// The print position file's scan over an in-memory file: what each request
// finds, delivers and leaves in the file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "settings/position_db_record.h"
#include "settings/position_scan.h"
#include "support/position_file.h"

namespace {
using namespace veldrin_test;
using Field = veldrin_test::FileField;

// Six descriptors: the records start at 2272 + 6 x 656 = 6208, 28 bytes each.
const std::vector<Field> kFields = {{"Format", 8, 0},    {"Product", 6, 8},   {"MacNo", 2, 14},
                                    {"StartPos", 4, 16}, {"Contrast", 2, 20}, {"Memo", 4, 22}};

// The six descriptors with `name` at (length, offset), or with a seventh
// descriptor when none has exactly that name.
std::vector<Field> With(const char* name, int32_t length, int32_t offset) {
  std::vector<Field> fields = kFields;
  auto same = [&](const Field& f) { return strcmp(f.name, name) == 0; };
  if (auto f = std::find_if(fields.begin(), fields.end(), same); f != fields.end())
    *f = {name, length, offset};
  else
    fields.push_back({name, length, offset});
  return fields;
}

// A position file of 28-byte records with the given header numbers.
std::string File(uint32_t fileLength, int32_t recordCount, const std::vector<Texts>& records,
                 const std::vector<Field>& fields = kFields) {
  return PositionFile(fields, 28, records, fileLength, recordCount);
}

struct MemoryFile {
  std::string bytes;
  int64_t failReadAt; // offset whose read fails, or -1
  int failWrite;      // index of the write that fails, or -1
  int writes = 0;
};

int32_t ReadAt(void* context, uint32_t offset, void* data, uint32_t size) {
  auto* file = static_cast<MemoryFile*>(context);
  if (offset == file->failReadAt)
    return -1;
  if (offset >= file->bytes.size())
    return 0;
  const size_t n = std::min<size_t>(size, file->bytes.size() - offset);
  memcpy(data, &file->bytes[offset], n);
  return static_cast<int32_t>(n);
}

int32_t WriteAt(void* context, uint32_t offset, const void* data, uint32_t size) {
  auto* file = static_cast<MemoryFile*>(context);
  if (file->writes++ == file->failWrite)
    return -1;
  if (file->bytes.size() < offset + size)
    file->bytes.resize(offset + size);
  memcpy(&file->bytes[offset], data, size);
  return static_cast<int32_t>(size);
}

// Offset of the first byte in which two files differ, or -1.
long Difference(const std::string& a, const std::string& b) {
  const auto [pa, pb] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return pa == a.end() && pb == b.end() ? -1 : pa - a.begin();
}

constexpr int32_t kUnset = -7; // a read's outputs before the call
const Texts kRecord1 = {"F1", "P1", "1", "12", "3", ""};
const Texts kRecord2 = {"F1", "P1", " 2", "20", "4", ""};
const Texts kMemo = {"F1", "P1", "1", "12", "3", "memo"};
const std::string kSame; // the file is left as it was
const std::vector<Field> kOtherCase = {{"FORMAT", 8, 0},    {"product", 6, 8},   {"MACNO", 2, 14},
                                       {"startpos", 4, 16}, {"CONTRAST", 2, 20}, {"Memo", 4, 22}};
const std::vector<Field> kNoContrast = {
    {"Format", 8, 0}, {"Product", 6, 8}, {"MacNo", 2, 14}, {"StartPos", 4, 16}, {"Memo", 4, 22}};

TEST(PositionFile, Requests) {
  struct Row {
    const char* what;
    std::string file;
    int printer;
    const char* format;
    const char* product;
    int32_t start, contrast; // write: stored; read: expected afterwards
    bool write;
    int result;
    std::string after; // kSame: unchanged
    int64_t failReadAt = -1;
    int failWrite = -1;
  } rows[] = {
      {"empty file, read", File(6208, 0, {}), 1, "F1", "P1", kUnset, kUnset, false, 0, kSame},
      {"empty file, write appends behind the descriptors", File(6208, 0, {}), 1, "F1", "P1", 12, 3,
       true, 1, File(6236, 1, {kRecord1})},
      {"read", File(6236, 1, {kRecord1}), 1, "F1", "P1", 12, 3, false, 1, kSame},
      {"saving again updates in place", File(6236, 1, {{"F1", "P1", "1", "123", "3", "memo"}}), 1,
       "F1", "P1", 45, 7, true, 1, File(6236, 1, {{"F1", "P1", "1", "45", "7", "memo"}})},
      {"printer 2 gets a record of its own", File(6236, 1, {kMemo}), 2, "F1", "P1", 20, 4, true, 1,
       File(6264, 2, {kMemo, {"F1", "P1", "2", "20", "4", ""}})},
      {"printer 2's record", File(6264, 2, {kRecord1, kRecord2}), 2, "F1", "P1", 20, 4, false, 1,
       kSame},
      {"printer 3 has none", File(6264, 2, {kRecord1, kRecord2}), 3, "F1", "P1", kUnset, kUnset,
       false, 0, kSame},
      {"format in other case", File(6236, 1, {kRecord1}), 1, "f1", "P1", 12, 3, false, 1, kSame},
      {"only A-Z fold", File(6236, 1, {{"F[", "P1", "1", "12", "3", ""}}), 1, "f{", "P1", kUnset,
       kUnset, false, 0, kSame},
      {"long format stored cut", File(6208, 0, {}), 1, "ABCDEFGHIJ", "P1", 12, 3, true, 1,
       File(6236, 1, {{"ABCDEFGH", "P1", "1", "12", "3", ""}})},
      {"agreeing over the width", File(6236, 1, {{"ABCDEFGH", "P1", "1", "12", "3", ""}}), 1,
       "ABCDEFGHXY", "P1", 12, 3, false, 1, kSame},
      {"shorter than the full field", File(6236, 1, {{"ABCDEFGH", "P1", "1", "12", "3", ""}}), 1,
       "ABCDEFG", "P1", kUnset, kUnset, false, 0, kSame},
      {"long start position stored cut", File(6208, 0, {}), 1, "F1", "P1", 123456, 3, true, 1,
       File(6236, 1, {{"F1", "P1", "1", "1234", "3", ""}})},
      {"full-width fields read alone", File(6236, 1, {{"F1", "P1", "1", "1234", "12", "99"}}), 1,
       "F1", "P1", 1234, 12, false, 1, kSame},
      {"stored 0", File(6236, 1, {{"F1", "P1", "1", "0", "0", ""}}), 1, "F1", "P1", 0, 0, false, 1,
       kSame},
      {"empty StartPos", File(6236, 1, {{"F1", "P1", "1", "", "3", ""}}), 1, "F1", "P1", kUnset,
       kUnset, false, 0, kSame},
      {"empty Contrast", File(6236, 1, {{"F1", "P1", "1", "12", "", ""}}), 1, "F1", "P1", 12,
       kUnset, false, 0, kSame},
      {"field names in other case", File(6236, 1, {kRecord1}, kOtherCase), 1, "F1", "P1", 12, 3,
       false, 1, kSame},
      {"empty product, empty field", File(6264, 2, {kRecord1, {"F1", "", "1", "30", "5", ""}}), 1,
       "F1", "", 30, 5, false, 1, kSame},
      {"empty product, no empty field", File(6236, 1, {kRecord1}), 1, "F1", "", kUnset, kUnset,
       false, 0, kSame},
      {"a field ending at the record's end", File(6208, 0, {}, With("Contrast", 2, 26)), 1, "F1",
       "P1", 12, 3, true, 1, File(6236, 1, {kRecord1}, With("Contrast", 2, 26))},
      {"a later descriptor replaces an earlier one",
       File(6892, 1, {{"F1", "P1", "1", "99", "3", "", "55"}}, With("startPos", 2, 26)), 1, "F1",
       "P1", 55, 3, false, 1, kSame},
      // Damaged files and failing calls: nothing delivered, nothing written.
      {"no Contrast field", File(5552, 0, {}, kNoContrast), 1, "F1", "P1", 12, 3, true, 0, kSame},
      {"a field outside the record", File(6208, 0, {}, With("Contrast", 2, 27)), 1, "F1", "P1", 12,
       3, true, 0, kSame},
      {"a negative offset", File(6208, 0, {}, With("Contrast", 2, -1)), 1, "F1", "P1", 12, 3, true,
       0, kSame},
      {"no descriptors", File(2272, 0, {}, {}), 1, "F1", "P1", 12, 3, true, 0, kSame},
      {"fewer records than counted", File(6264, 2, {kRecord1}), 3, "F1", "P1", 12, 3, true, 0,
       kSame},
      {"a read failing mid scan", File(6264, 2, {kRecord1, kRecord2}), 3, "F1", "P1", 12, 3, true,
       0, kSame, 6236},
      {"the update's write fails", File(6236, 1, {kRecord1}), 1, "F1", "P1", 45, 7, true, 0, kSame,
       -1, 0},
      {"the new record's write fails", File(6208, 0, {}), 1, "F1", "P1", 12, 3, true, 0, kSame, -1,
       0},
      {"the header's write fails", File(6208, 0, {}), 1, "F1", "P1", 12, 3, true, 0,
       File(6208, 0, {kRecord1}), -1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryFile file{row.file, row.failReadAt, row.failWrite};
    DbsInfo info;
    memcpy(&info, file.bytes.data(), sizeof(info));
    std::vector<DbsField> fields(info.wFieldCount + 1);
    memcpy(fields.data(), file.bytes.data() + 2272, 656 * info.wFieldCount);
    std::vector<uint8_t> record(info.dwRecordSize);
    int32_t start = row.write ? row.start : kUnset;
    int32_t contrast = row.write ? row.contrast : kUnset;
    const PositionFileAccess access{&file, ReadAt, WriteAt};
    const PositionRequest request{row.printer, row.format, row.product,
                                  &start,      &contrast,  row.write};
    EXPECT_EQ(AccessPositionRecords(access, &info, fields.data(), record.data(), request),
              row.result);
    EXPECT_EQ(start, row.start);
    EXPECT_EQ(contrast, row.contrast);
    EXPECT_EQ(Difference(file.bytes, row.after.empty() ? row.file : row.after), -1);
  }
}

TEST(PositionFile, HeaderChecks) {
  struct Row {
    uint32_t fileLength, recordSize;
    int32_t recordCount;
    uint16_t fieldCount;
    uint64_t realLength;
    bool ok;
  } rows[] = {
      {6236, 28, 1, 6, 6236, true},        {6236, 28, 1, 6, 6235, false},
      {6236, 28, 2, 6, 6236, false},       {6300, 28, 1, 6, 6236, false},
      {2272, 28, 0, 0, 2272, false},       {6208, 0, 0, 6, 6208, false},
      {6208, 28, -1, 6, 6208, false},      {6208, 65537, 0, 6, 6208, false},
      {170864, 28, 0, 257, 170864, false},
  };
  for (const Row& r : rows) {
    DbsInfo info{};
    info.dwFileLength = r.fileLength;
    info.dwRecordSize = r.recordSize;
    info.nRecordCount = r.recordCount;
    info.wFieldCount = r.fieldCount;
    EXPECT_EQ(CheckPositionHeader(info, r.realLength), r.ok)
        << r.fileLength << ", " << r.recordSize << ", " << r.recordCount << ", " << r.fieldCount;
  }
}

TEST(PositionFile, NumberText) {
  struct Row {
    const char* text;
    int32_t length, value;
  } rows[] = {{"0000000000000019", 16, 1},
              {"-5", 2, -5},
              {"+7x", 3, 7},
              {"99999999999", 11, INT32_MAX},
              {"-99999999999", 12, INT32_MIN}};
  for (const Row& r : rows) {
    bool empty = true;
    EXPECT_EQ(ParsePositionNumber(reinterpret_cast<const uint8_t*>(r.text), r.length, &empty),
              r.value)
        << r.text;
    EXPECT_FALSE(empty);
  }
}
} // namespace
