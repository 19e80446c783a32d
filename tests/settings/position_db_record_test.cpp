// The print position file's record logic, natively and under the sanitizers:
// header checks against the real length, field lookup by name, key matching,
// number fields, and the exact bytes of updated and new records. Buffers are
// allocated at their exact sizes so that any read or write past them fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "settings/position_db_record.h"

namespace {
// A string literal with its embedded NULs.
template <size_t N> std::string bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// A descriptor as the file would hold it.
struct Desc {
  const char* name; // NUL-terminated name
  int32_t length;   // width
  int32_t offset;   // offset in the record
};

DbsInfo header(uint16_t fieldCount, uint32_t recordSize, int32_t recordCount) {
  DbsInfo info;
  memset(&info, 0xC3, sizeof(info)); // host bytes: never read
  info.wFieldCount = fieldCount;
  info.dwRecordSize = recordSize;
  info.nRecordCount = recordCount;
  info.dwFileLength = kDbsInfoSize + kDbsFieldSize * fieldCount + recordSize * recordCount;
  return info;
}

// Descriptors at their exact size on the heap.
std::unique_ptr<DbsField[]> descriptors(const std::vector<Desc>& list) {
  std::unique_ptr<DbsField[]> fields(new DbsField[list.size()]);
  for (size_t i = 0; i < list.size(); ++i) {
    memset(&fields[i], 0x7E, sizeof(DbsField));
    fields[i].nLength = list[i].length;
    fields[i].nOffset = list[i].offset;
    // Bytes after the terminator are garbage, as a host may leave them.
    memcpy(fields[i].szName, list[i].name,
           std::min(strlen(list[i].name) + 1, sizeof(fields[i].szName)));
  }
  return fields;
}

// The default layout: Format 16 @0, Product 16 @16, MacNo 2 @32, StartPos 4
// @34, Contrast 2 @38, in a 40-byte record.
const std::vector<Desc> kFields = {
    {"Format", 16, 0},   {"Product", 16, 16}, {"MacNo", 2, 32},
    {"StartPos", 4, 34}, {"Contrast", 2, 38},
};
constexpr uint32_t kRecordSize = 40;

PositionLayout layout_of(const std::vector<Desc>& list, uint32_t recordSize) {
  const DbsInfo info = header(static_cast<uint16_t>(list.size()), recordSize, 0);
  auto fields = descriptors(list);
  PositionLayout layout;
  EXPECT_TRUE(FindPositionFields(info, fields.get(), &layout));
  return layout;
}

// A record buffer of exactly `size` bytes.
std::unique_ptr<uint8_t[]> record_of(uint32_t size, uint8_t fill) {
  std::unique_ptr<uint8_t[]> r(new uint8_t[size]);
  memset(r.get(), fill, size);
  return r;
}

void put(uint8_t* record, int32_t offset, const std::string& bytes) {
  memcpy(record + offset, bytes.data(), bytes.size());
}

std::string bytes_at(const uint8_t* record, int32_t offset, int32_t length) {
  return std::string(reinterpret_cast<const char*>(record + offset), static_cast<size_t>(length));
}

// A record of the default layout holding these texts (NUL-padded).
std::unique_ptr<uint8_t[]> default_record(const std::string& format, const std::string& product,
                                          const std::string& macNo, const std::string& start,
                                          const std::string& contrast) {
  auto r = record_of(kRecordSize, 0);
  put(r.get(), 0, format);
  put(r.get(), 16, product);
  put(r.get(), 32, macNo);
  put(r.get(), 34, start);
  put(r.get(), 38, contrast);
  return r;
}
} // namespace

TEST(PositionHeader, AcceptsWhatFitsAndRefusesTheRest) {
  const uint64_t full = kDbsInfoSize + kDbsFieldSize * 5 + 40 * 3; // 5 fields, 3 records of 40
  struct Case {
    const char* what;
    uint16_t fields;
    uint32_t recordSize;
    int32_t records;
    int64_t storedLengthDelta; // dwFileLength minus the counted length
    uint64_t fileLength;       // real file length
    bool ok;
  } cases[] = {
      {"exact", 5, 40, 3, 0, full, true},
      {"longer than counted", 5, 40, 3, 0, full + 100, true},
      {"no records", 5, 40, 0, 0, kDbsInfoSize + kDbsFieldSize * 5, true},
      {"stored length below counted", 5, 40, 3, -50, full, true},
      {"one record missing", 5, 40, 3, 0, full - 40, false},
      {"one byte missing", 5, 40, 3, 0, full - 1, false},
      {"stored length past the end", 5, 40, 3, 1, full, false},
      {"no fields", 0, 40, 0, 0, full, false},
      {"field limit", kMaxPositionFieldCount, 40, 0, 0,
       kDbsInfoSize + kDbsFieldSize * kMaxPositionFieldCount, true},
      {"one field over the limit", kMaxPositionFieldCount + 1, 40, 0, 0, 1u << 30, false},
      {"thousands of fields", 5000, 40, 0, 0, 1u << 30, false},
      {"all 65535 fields", 0xFFFF, 40, 0, 0, 1u << 30, false},
      {"record size 0", 5, 0, 3, 0, full, false},
      {"record size limit", 5, kMaxPositionRecordSize, 1, 0,
       kDbsInfoSize + kDbsFieldSize * 5 + kMaxPositionRecordSize, true},
      {"record size over the limit", 5, kMaxPositionRecordSize + 1, 0, 0, 1u << 30, false},
      {"record size of gigabytes", 5, 0x40000000, 0, 0, 1ull << 40, false},
      {"record size 0xFFFFFFFF", 5, 0xFFFFFFFF, 0, 0, 1ull << 40, false},
      {"negative count", 5, 40, -1, 0, full, false},
      {"most negative count", 5, 40, INT32_MIN, 0, full, false},
      {"huge count", 5, 40, INT32_MAX, 0, full, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DbsInfo info = header(c.fields, c.recordSize, c.records);
    info.dwFileLength =
        static_cast<uint32_t>(kDbsInfoSize + kDbsFieldSize * c.fields +
                              uint64_t{c.recordSize} * c.records + c.storedLengthDelta);
    EXPECT_EQ(c.ok, CheckPositionHeader(info, c.fileLength));
  }
}

TEST(PositionHeader, BufferHoldsTheDescriptorsAndOneRecord) {
  const DbsInfo info = header(7, 123, 0);
  EXPECT_EQ(7u * 656u, PositionDescriptorBytes(info));
  EXPECT_EQ(2272u + 7u * 656u, PositionRecordsStart(info));
  EXPECT_EQ(123u + 7u * 656u + 8u, PositionBufferSize(info));
}

TEST(PositionFields, FoundByNameInAnyOrderAndCase) {
  const std::vector<Desc> list = {
      {"Memo", 8, 0},      {"contrast", 3, 40}, {"MACNO", 4, 8},    {"Extra", 1, 43},
      {"sTaRtPoS", 6, 12}, {"product", 9, 18},  {"FoRmAt", 13, 27},
  };
  const DbsInfo info = header(static_cast<uint16_t>(list.size()), 44, 2);
  auto fields = descriptors(list);
  PositionLayout layout;
  ASSERT_TRUE(FindPositionFields(info, fields.get(), &layout));
  EXPECT_EQ(27, layout.fields[kPosFormat].nOffset);
  EXPECT_EQ(13, layout.fields[kPosFormat].nLength);
  EXPECT_EQ(18, layout.fields[kPosProduct].nOffset);
  EXPECT_EQ(9, layout.fields[kPosProduct].nLength);
  EXPECT_EQ(8, layout.fields[kPosMacNo].nOffset);
  EXPECT_EQ(4, layout.fields[kPosMacNo].nLength);
  EXPECT_EQ(12, layout.fields[kPosStartPos].nOffset);
  EXPECT_EQ(6, layout.fields[kPosStartPos].nLength);
  EXPECT_EQ(40, layout.fields[kPosContrast].nOffset);
  EXPECT_EQ(3, layout.fields[kPosContrast].nLength);
  EXPECT_EQ(44u, layout.dwRecordSize);
  EXPECT_EQ(2272u + 7u * 656u, layout.dwRecordsStart);
  EXPECT_EQ(2, layout.nRecordCount);
}

TEST(PositionFields, LaterDuplicateReplacesEarlier) {
  std::vector<Desc> list = kFields;
  list.push_back({"STARTPOS", 3, 20});
  list.push_back({"Extra", 5, 0});
  const DbsInfo info = header(static_cast<uint16_t>(list.size()), kRecordSize, 0);
  auto fields = descriptors(list);
  PositionLayout layout;
  ASSERT_TRUE(FindPositionFields(info, fields.get(), &layout));
  EXPECT_EQ(20, layout.fields[kPosStartPos].nOffset);
  EXPECT_EQ(3, layout.fields[kPosStartPos].nLength);
}

TEST(PositionFields, LaterDamagedDuplicateSpoilsTheField) {
  std::vector<Desc> list = kFields;
  list.push_back({"Contrast", 2, 39}); // reaches one byte past the record
  const DbsInfo info = header(static_cast<uint16_t>(list.size()), kRecordSize, 0);
  auto fields = descriptors(list);
  PositionLayout layout;
  EXPECT_FALSE(FindPositionFields(info, fields.get(), &layout));
}

TEST(PositionFields, EachMissingFieldIsRefused) {
  for (size_t skip = 0; skip < kFields.size(); ++skip) {
    SCOPED_TRACE(kFields[skip].name);
    std::vector<Desc> list;
    for (size_t i = 0; i < kFields.size(); ++i)
      list.push_back(i == skip ? Desc{"Unrelated", 1, 0} : kFields[i]);
    const DbsInfo info = header(static_cast<uint16_t>(list.size()), kRecordSize, 0);
    auto fields = descriptors(list);
    PositionLayout layout;
    memset(&layout, 0x55, sizeof(layout));
    EXPECT_FALSE(FindPositionFields(info, fields.get(), &layout));
    EXPECT_EQ(0x55555555, layout.fields[0].nOffset) << "layout untouched on refusal";
  }
}

TEST(PositionFields, NamesMatchWholeOnly) {
  struct Case {
    const char* name; // descriptor name given in place of "Format"
    bool found;
  } cases[] = {
      {"Format", true},     {"FORMAT", true},   {"format", true},   {"Formats", false},
      {"Forma", false},     {"Format ", false}, {" Format", false}, {"Form\xE1t", false},
      {"F\x8Frmat", false}, {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Desc> list = kFields;
    list[0].name = c.name;
    const DbsInfo info = header(5, kRecordSize, 0);
    auto fields = descriptors(list);
    PositionLayout layout;
    EXPECT_EQ(c.found, FindPositionFields(info, fields.get(), &layout));
  }
}

TEST(PositionFields, UnterminatedNamesMatchNothingAndStayInside) {
  // Every name fills all 644 bytes; the last descriptor ends the allocation.
  const DbsInfo info = header(5, kRecordSize, 0);
  auto fields = descriptors(kFields);
  for (int i = 0; i < 5; ++i) {
    const std::string wanted = fields[i].szName;
    for (size_t j = 0; j < sizeof(fields[i].szName); ++j)
      fields[i].szName[j] = wanted[j % wanted.size()];
  }
  PositionLayout layout;
  EXPECT_FALSE(FindPositionFields(info, fields.get(), &layout));

  // A name exactly as long as the five names allow, still unterminated.
  auto one = descriptors(kFields);
  memset(one[4].szName, 'C', sizeof(one[4].szName));
  memcpy(one[4].szName, "Contrast", 8);
  EXPECT_FALSE(FindPositionFields(info, one.get(), &layout));
}

TEST(PositionFields, FieldsMustLieInsideTheRecord) {
  struct Case {
    int32_t length;
    int32_t offset;
    bool ok;
  } cases[] = {
      {2, 38, true},                // ends exactly at the end
      {0, 40, true},                // empty field at the end
      {0, 0, true},                 // empty field at the start
      {3, 38, false},               // one byte past
      {1, 40, false},               // starts at the end
      {2, -1, false},               // negative offset
      {-1, 10, false},              // negative width
      {-2, 41, false},              // negative width pulling a bad offset back in
      {INT32_MAX, 1, false},        // offset + width overflows 32 bits
      {1, INT32_MAX, false},        //
      {INT32_MIN, INT32_MAX, false} //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << "@" << c.offset);
    std::vector<Desc> list = kFields;
    list[4] = {"Contrast", c.length, c.offset};
    const DbsInfo info = header(5, kRecordSize, 0);
    auto fields = descriptors(list);
    PositionLayout layout;
    EXPECT_EQ(c.ok, FindPositionFields(info, fields.get(), &layout));
  }
}

TEST(PositionFields, HeaderLimitsApplyHereToo) {
  auto fields = descriptors(kFields);
  PositionLayout layout;
  EXPECT_FALSE(FindPositionFields(header(5, 0, 0), fields.get(), &layout));
  EXPECT_FALSE(FindPositionFields(header(5, kMaxPositionRecordSize + 1, 0), fields.get(), &layout));
  EXPECT_FALSE(FindPositionFields(header(5, kRecordSize, -1), fields.get(), &layout));
  EXPECT_FALSE(FindPositionFields(header(0, kRecordSize, 0), fields.get(), &layout));
}

TEST(PositionNumber, ConvertsLikeTheHostsDecimalReading) {
  struct Case {
    std::string text; // the field's bytes (the buffer is exactly this long)
    int32_t width;    // field width passed
    int32_t value;
    bool empty;
  } cases[] = {
      {"12", 2, 12, false},
      {bytes("12\0\0"), 4, 12, false},
      {"0", 1, 0, false},
      {"007", 3, 7, false},
      {" +7", 3, 7, false},
      {"\t\n\v\f\r 5", 7, 5, false},
      {"-3", 2, -3, false},
      {"2abc", 4, 2, false},
      {"abc", 3, 0, false},
      {" ", 1, 0, false},
      {"+-5", 3, 0, false},
      {"--5", 3, 0, false},
      {"- 5", 3, 0, false},
      {bytes("1\0002"), 3, 1, false}, // ends at the first NUL
      {bytes("\00012"), 3, 0, true},  // empty although bytes follow
      {std::string(8, '\0'), 8, 0, true},
      {"", 0, 0, true},                               // a field of width 0 is empty
      {"123", 2, 12, false},                          // only the width is read
      {"1234567890123456789", 19, 2147483647, false}, // 15 characters, saturated
      {std::string(15, '0') + "123", 18, 0, false},   // the 15 zeros only
      {"000000000000123", 15, 123, false},
      {"2147483647", 10, 2147483647, false},
      {"2147483648", 10, 2147483647, false},
      {"-2147483648", 11, INT32_MIN, false},
      {"-99999999999999", 15, INT32_MIN, false},
      {"\xFF"
       "5",
       2, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" width " << c.width);
    ASSERT_LE(static_cast<size_t>(c.width), c.text.size());
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.text.size() + (c.text.empty() ? 1 : 0)]);
    memcpy(exact.get(), c.text.data(), c.text.size());
    bool empty = !c.empty;
    EXPECT_EQ(c.value, ParsePositionNumber(exact.get(), c.width, &empty));
    EXPECT_EQ(c.empty, empty);
  }
}

TEST(PositionMatch, KeysComparedOverTheFieldWidth) {
  struct Case {
    const char* what;
    std::string storedFormat;  // bytes in the 16-byte Format field
    std::string storedProduct; // bytes in the 16-byte Product field
    std::string storedMacNo;   // bytes in the 2-byte MacNo field
    const char* format;        // caller's texts
    const char* product;
    int printer;
    bool match;
  } cases[] = {
      {"same", "Label A", "Soap", "2", "Label A", "Soap", 2, true},
      {"format case", "Label A", "Soap", "2", "LABEL a", "Soap", 2, true},
      {"product case", "Label A", "soap", "2", "Label A", "SOAP", 2, true},
      {"other printer", "Label A", "Soap", "2", "Label A", "Soap", 3, false},
      {"MacNo with blank and sign", "Label A", "Soap", " 2", "Label A", "Soap", 2, true},
      {"MacNo 02", "Label A", "Soap", "02", "Label A", "Soap", 2, true},
      {"MacNo 12 is not 1", "Label A", "Soap", "12", "Label A", "Soap", 1, false},
      {"empty MacNo is 0", "Label A", "Soap", "", "Label A", "Soap", 0, true},
      {"format shorter", "Label A", "Soap", "2", "Label", "Soap", 2, false},
      {"format longer", "Label A", "Soap", "2", "Label AB", "Soap", 2, false},
      {"brackets are not letters", "Label [", "Soap", "2", "Label {", "Soap", 2, false},
      {"at and backquote", "@", "Soap", "2", "`", "Soap", 2, false},
      {"bytes above 0x7F exact", "\xC4pfel", "Soap", "2", "\xE4pfel", "Soap", 2, false},
      {"bytes above 0x7F equal", "\xC4pfel", "Soap", "2", "\xC4PFEL", "Soap", 2, true},
      {"full-width format", "ABCDEFGHIJKLMNOP", "Soap", "2", "abcdefghijklmnop", "Soap", 2, true},
      {"longer name, same first 16", "ABCDEFGHIJKLMNOP", "Soap", "2", "ABCDEFGHIJKLMNOPQRS", "Soap",
       2, true},
      {"longer name, other 16th", "ABCDEFGHIJKLMNOP", "Soap", "2", "ABCDEFGHIJKLMNOX", "Soap", 2,
       false},
      {"full field, shorter name", "ABCDEFGHIJKLMNOP", "Soap", "2", "ABCDEFGHIJKLMNO", "Soap", 2,
       false},
      {"empty product matches empty", "Label A", "", "2", "Label A", "", 2, true},
      {"empty product misses a product", "Label A", "Soap", "2", "Label A", "", 2, false},
      {"product misses an empty field", "Label A", "", "2", "Label A", "Soap", 2, false},
  };
  const PositionLayout layout = layout_of(kFields, kRecordSize);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = default_record(c.storedFormat, c.storedProduct, c.storedMacNo, "1", "1");
    EXPECT_EQ(c.match, PositionRecordMatches(layout, r.get(), c.printer, c.format, c.product));
  }
}

TEST(PositionMatch, ZeroWidthKeysMatchAnything) {
  std::vector<Desc> list = kFields;
  list[0] = {"Format", 0, 0};
  list[1] = {"Product", 0, 40};
  const PositionLayout layout = layout_of(list, kRecordSize);
  auto r = default_record("x", "y", "4", "1", "1");
  EXPECT_TRUE(PositionRecordMatches(layout, r.get(), 4, "anything", "at all"));
}

TEST(PositionValues, ReadBothOrFail) {
  struct Case {
    std::string start;    // bytes of StartPos (4)
    std::string contrast; // bytes of Contrast (2)
    bool ok;
    int32_t startOut; // expected values (77 = untouched)
    int32_t contrastOut;
  } cases[] = {
      {"12", "3", true, 12, 3},       {"0", "0", true, 0, 0},
      {"1234", "99", true, 1234, 99}, // both exactly as wide as their text
      {"-5", "-1", true, -5, -1},     {"", "3", false, 77, 77}, // empty StartPos: nothing stored
      {"12", "", false, 12, 77}, // empty Contrast: StartPos already stored
      {"x", "y", true, 0, 0},    // not empty, no digits
  };
  const PositionLayout layout = layout_of(kFields, kRecordSize);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start + "/" + c.contrast);
    auto r = default_record("F", "P", "1", c.start, c.contrast);
    int32_t start = 77, contrast = 77;
    EXPECT_EQ(c.ok, ReadPositionValues(layout, r.get(), &start, &contrast));
    EXPECT_EQ(c.startOut, start);
    EXPECT_EQ(c.contrastOut, contrast);
  }
}

TEST(PositionValues, UpdateRewritesOnlyTheTwoFields) {
  struct Case {
    int32_t start;
    int32_t contrast;
    std::string startBytes;    // 4 bytes
    std::string contrastBytes; // 2 bytes
  } cases[] = {
      {12, 3, std::string("12\0\0", 4), std::string("3\0", 2)},
      {0, 0, std::string("0\0\0\0", 4), std::string("0\0", 2)},
      {1234, 99, "1234", "99"},
      {123456, 789, "1234", "78"}, // cut to the width
      {-1, -1, std::string("-1\0\0", 4), "-1"},
      {INT32_MIN, INT32_MAX, "-214", "21"},
  };
  const PositionLayout layout = layout_of(kFields, kRecordSize);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    auto r = record_of(kRecordSize, 0xEE);
    SetPositionValues(layout, r.get(), c.start, c.contrast);
    EXPECT_EQ(c.startBytes, bytes_at(r.get(), 34, 4));
    EXPECT_EQ(c.contrastBytes, bytes_at(r.get(), 38, 2));
    EXPECT_EQ(std::string(34, '\xEE'), bytes_at(r.get(), 0, 34));
  }
}

TEST(PositionValues, NewRecordIsExact) {
  std::vector<Desc> list = kFields;
  list.push_back({"Memo", 4, 40});
  const PositionLayout layout = layout_of(list, 48); // 4 bytes of no field at the end
  auto r = record_of(48, 0xEE);
  FillPositionRecord(layout, r.get(), 7, "Label A", "Soap", 12, 3);
  std::string expected(48, '\0');
  expected.replace(0, 7, "Label A");
  expected.replace(16, 4, "Soap");
  expected.replace(32, 1, "7");
  expected.replace(34, 2, "12");
  expected.replace(38, 1, "3");
  EXPECT_EQ(expected, bytes_at(r.get(), 0, 48));
}

TEST(PositionValues, NewRecordCutsEveryField) {
  const PositionLayout layout = layout_of(kFields, kRecordSize);
  auto r = record_of(kRecordSize, 0xEE);
  FillPositionRecord(layout, r.get(), 123, "A format name longer than 16", "Product name too long",
                     -123456, 456);
  EXPECT_EQ("A format name lo", bytes_at(r.get(), 0, 16));
  EXPECT_EQ("Product name too", bytes_at(r.get(), 16, 16));
  EXPECT_EQ("12", bytes_at(r.get(), 32, 2));
  EXPECT_EQ("-123", bytes_at(r.get(), 34, 4));
  EXPECT_EQ("45", bytes_at(r.get(), 38, 2));
}

TEST(PositionValues, OverlappingFieldsStayInsideTheRecord) {
  // A crafted file may lay every field over the same bytes; the writes land
  // in order and never leave the record (ASan watches the exact buffer).
  const std::vector<Desc> list = {
      {"Format", 5, 0}, {"Product", 5, 0}, {"MacNo", 5, 0}, {"StartPos", 5, 0}, {"Contrast", 5, 0},
  };
  const PositionLayout layout = layout_of(list, 5);
  auto r = record_of(5, 0xEE);
  FillPositionRecord(layout, r.get(), 1, "Format", "Product", 22, 9);
  EXPECT_EQ(std::string("9\0\0\0\0", 5), bytes_at(r.get(), 0, 5)) << "Contrast is written last";
}

TEST(PositionHeaderAppend, CountAndLengthFollowTheNewRecord) {
  DbsInfo info = header(6, 100, 0);
  info.dwFileLength = 1; // whatever was stored is replaced
  PositionLayout layout = layout_of(kFields, kRecordSize);
  layout.dwRecordSize = 100;
  layout.dwRecordsStart = 2272 + 6 * 656;
  layout.nRecordCount = 0;
  ASSERT_TRUE(AppendPositionRecordToHeader(&info, layout));
  EXPECT_EQ(1, info.nRecordCount);
  EXPECT_EQ(2272u + 6u * 656u + 100u, info.dwFileLength);
  EXPECT_EQ(0xC3, info.abHost0[0]) << "host bytes kept";

  layout.nRecordCount = 41;
  ASSERT_TRUE(AppendPositionRecordToHeader(&info, layout));
  EXPECT_EQ(42, info.nRecordCount);
  EXPECT_EQ(2272u + 6u * 656u + 4200u, info.dwFileLength);
}

TEST(PositionHeaderAppend, OverflowIsRefusedUnchanged) {
  PositionLayout layout = layout_of(kFields, kRecordSize);
  for (int32_t count : {INT32_MAX, 32767 * 1000, -1}) {
    SCOPED_TRACE(count);
    DbsInfo info = header(5, kRecordSize, 0);
    const DbsInfo before = info;
    layout.dwRecordSize = 65536;
    layout.nRecordCount = count;
    EXPECT_FALSE(AppendPositionRecordToHeader(&info, layout));
    EXPECT_EQ(0, memcmp(&before, &info, sizeof(info)));
  }
}
