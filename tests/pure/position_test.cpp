// The print position file's access over an in-memory file: what each request
// finds, delivers, asks of the host and leaves in the file's bytes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "settings/position_db_record.h"
#include "support/position_file.h"

namespace {
using namespace veldrin_test;

// Six descriptors: the records start at 2272 + 6 x 656 = 6208, 28 bytes each.
const std::vector<FileField> kFields = {{"Format", 8, 0},    {"Product", 6, 8},   {"MacNo", 2, 14},
                                        {"StartPos", 4, 16}, {"Contrast", 2, 20}, {"Memo", 4, 22}};

// The six descriptors and a seventh, which replaces any of the same name.
std::vector<FileField> With(FileField field) {
  std::vector<FileField> fields = kFields;
  fields.push_back(field);
  return fields;
}

// A position file of 28-byte records; the header's length and count as the
// bytes make them, or as given.
std::string File(const std::vector<Texts>& records, const std::vector<FileField>& fields = kFields,
                 int64_t length = -1, int32_t count = -1) {
  return PositionFile(fields, 28, records, length, count);
}

struct Key {
  int printer;
  const char* format;
  const char* product;
  bool write;
};
const Key kRead = {1, "F1", "P1", false}, kWrite = {1, "F1", "P1", true};
constexpr int32_t kUnset = -7; // a read's outputs before the call
// Printer 1's record of "F1" and "P1" with these texts.
Texts Rec(const char* start, const char* contrast, const char* memo = "", const char* more = "") {
  return {"F1", "P1", "1", start, contrast, memo, more};
}
const Texts kRecord1 = Rec("12", "3"), kMemo = Rec("12", "3", "memo");
const Texts kRecord2 = {"F1", "P1", " 2", "20", "4"}, kLong = {"ABCDEFGH", "P1", "1", "12", "3"};
const std::string kSame; // the file is left as it was
using Fail = MemoryFile; // failures on request

TEST(PositionFile, Requests) {
  struct Row {
    const char* what;
    std::string file;
    Key key;
    int32_t start, contrast; // write: stored; read: expected afterwards
    int result;
    std::string after; // kSame: unchanged
    Fail failures{};   // over the file's bytes
  } rows[] = {
      {"empty file, read", File({}), kRead, kUnset, kUnset, 0, kSame},
      {"empty file, write appends", File({}), kWrite, 12, 3, 1, File({kRecord1})},
      {"read", File({kRecord1}), kRead, 12, 3, 1, kSame},
      {"update in place", File({Rec("123", "3", "memo")}), kWrite, 45, 7, 1,
       File({Rec("45", "7", "memo")})},
      {"printer 2's own", File({kMemo}), Key{2, "F1", "P1", true}, 20, 4, 1,
       File({kMemo, {"F1", "P1", "2", "20", "4"}})},
      {"printer 2's record", File({kRecord1, kRecord2}), Key{2, "F1", "P1"}, 20, 4, 1, kSame},
      {"none for printer 3", File({kRecord1, kRecord2}), Key{3, "F1", "P1"}, kUnset, kUnset, 0},
      {"format in other case", File({kRecord1}), Key{1, "f1", "P1"}, 12, 3, 1, kSame},
      {"A-Z fold only", File({{"F[", "P1", "1", "1", "1"}}), Key{1, "f{", "P1"}, kUnset, kUnset, 0},
      {"long format cut", File({}), Key{1, "ABCDEFGHIJ", "P1", true}, 12, 3, 1, File({kLong})},
      {"agreeing over the width", File({kLong}), Key{1, "ABCDEFGHXY", "P1"}, 12, 3, 1, kSame},
      {"shorter than the field", File({kLong}), Key{1, "ABCDEFG", "P1"}, kUnset, kUnset, 0},
      {"long start cut", File({}), kWrite, 123456, 3, 1, File({Rec("1234", "3")})},
      {"full-width fields read alone", File({Rec("1234", "12", "99")}), kRead, 1234, 12, 1},
      {"stored 0", File({Rec("0", "0")}), kRead, 0, 0, 1, kSame},
      {"empty StartPos", File({Rec("", "3")}), kRead, kUnset, kUnset, 0, kSame},
      {"empty Contrast", File({Rec("12", "")}), kRead, 12, kUnset, 0, kSame},
      {"field names in other case",
       File({kRecord1}, {{"FORMAT", 8, 0},
                         {"product", 6, 8},
                         {"MACNO", 2, 14},
                         {"startpos", 4, 16},
                         {"CONTRAST", 2, 20}}),
       kRead, 12, 3, 1, kSame},
      {"empty product", File({kRecord1, {"F1", "", "1", "30", "5"}}), Key{1, "F1", ""}, 30, 5, 1},
      {"empty product, no empty field", File({kRecord1}), Key{1, "F1", ""}, kUnset, kUnset, 0},
      {"a field ending at the record's end", File({}, With({"Contrast", 2, 26})), kWrite, 12, 3, 1,
       File({Rec("12", "", "", "3")}, With({"Contrast", 2, 26}))},
      {"a later descriptor replaces an earlier one",
       File({Rec("99", "3", "", "55")}, With({"startPos", 2, 26})), kRead, 55, 3, 1},
      // Damaged files and failing calls: nothing delivered, nothing written.
      {"no Contrast field", File({}, {kFields.begin(), kFields.begin() + 4}), kWrite, 12, 3, 0},
      {"a field outside the record", File({}, With({"Contrast", 2, 27})), kWrite, 12, 3, 0, kSame},
      {"a negative offset", File({}, With({"Contrast", 2, -1})), kWrite, 12, 3, 0, kSame},
      {"shrank since measured", File({kRecord1}, kFields, 6264, 2), Key{3, "F1", "P1", true}, 12, 3,
       0, kSame, Fail{.length = 6264}},
      {"a read failing mid scan", File({kRecord1, kRecord2}), Key{3, "F1", "P1", true}, 12, 3, 0,
       kSame, Fail{.failReadAt = 6236}},
      {"update's write fails", File({kRecord1}), kWrite, 45, 7, 0, kSame, Fail{.failWrite = 0}},
      {"new record's write fails", File({}), kWrite, 12, 3, 0, kSame, Fail{.failWrite = 0}},
      {"header's write fails", File({}), kWrite, 12, 3, 0, File({kRecord1}, kFields, 6208, 0),
       Fail{.failWrite = 1}},
      {"no buffer", File({kRecord1}), kWrite, 45, 7, 0, kSame, Fail{.most = 0}},
      {"length unknown", File({kRecord1}), kRead, kUnset, kUnset, 0, kSame, Fail{.length = -1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryFile file = row.failures;
    file.bytes = row.file;
    const Key& k = row.key;
    int32_t start = k.write ? row.start : kUnset, contrast = k.write ? row.contrast : kUnset;
    EXPECT_EQ(Access(file, {k.printer, k.format, k.product, &start, &contrast, k.write}),
              row.result);
    EXPECT_EQ(std::pair(start, contrast), std::pair(row.start, row.contrast));
    EXPECT_TRUE(file.bytes == (row.after.empty() ? row.file : row.after)) << "the file's bytes";
    EXPECT_TRUE(!file.stray && file.buffer == nullptr) << "calls in place, the buffer given back";
  }
}

// The header as the host read it, against the file's real length: the buffer
// asked of the host (0: none, the file refused) and the update written or not.
TEST(PositionFile, HeaderChecks) {
  // Header length, record size, record count, field count; real length; buffer.
  const int64_t rows[][6] = {
      {6236, 28, 1, 6, 6236, 3972}, {6236, 28, 1, 6, 6235, 0},    {6236, 28, 2, 6, 6236, 0},
      {6300, 28, 1, 6, 6236, 0},    {2272, 28, 0, 0, 2272, 0},    {6208, 0, 0, 6, 6208, 0},
      {6208, 28, -1, 6, 6208, 0},   {6208, 65537, 0, 6, 6208, 0}, {170864, 28, 0, 257, 170864, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    MemoryFile file{.bytes = File({kRecord1}, kFields, r[0], int32_t(r[2])), .length = r[4]};
    Put32(file.bytes, 72, r[1]), Put32(file.bytes, 92, r[3]); // record size, field count
    int32_t start = 45, contrast = 7;
    EXPECT_EQ(Access(file, {1, "F1", "P1", &start, &contrast, true}), r[5] != 0 ? 1 : 0);
    EXPECT_EQ(file.asked, r[5]);
    EXPECT_EQ(file.writes, r[5] != 0 ? 1 : 0);
  }
  // Appends: record count and size; the header's count and length after (-7, 7: refused).
  const int64_t appends[][4] = {{1, 28, 2, 6264},
                                {715825812, 3, 715825813, 2147483647},
                                {715825813, 3, -7, 7},
                                {INT32_MAX, 28, -7, 7}};
  for (const auto& [count, size, countAfter, lengthAfter] : appends) {
    DbsInfo info{.dwFileLength = 7, .nRecordCount = -7};
    EXPECT_EQ(AppendPositionRecordToHeader(&info, {{}, uint32_t(size), 6208, int32_t(count)}),
              countAfter != -7);
    EXPECT_EQ(std::pair(int64_t(info.nRecordCount), int64_t(info.dwFileLength)),
              std::pair(countAfter, lengthAfter));
  }
}

// At most 15 characters read, white space and a sign first; values beyond 32 bits saturate.
TEST(PositionFile, NumberText) {
  const std::pair<const char*, int32_t> rows[] = {
      {"0000000000000019", 1},    {" 12 3", 12}, {"-5", -5}, {"+7x", 7}, {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN}};
  for (const auto& [text, value] : rows) {
    bool empty = true;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    EXPECT_EQ(std::pair(ParsePositionNumber(bytes, int32_t(strlen(text)), &empty), empty),
              std::pair(value, false))
        << text;
  }
}
} // namespace
