// Record logic of the print position file: header and descriptor checks,
// field lookup, key matching, number fields.
#include "settings/position_db_record.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr uint64_t kMaxFilePosition = 0x7FFFFFFF; // file offsets are 32-bit signed (_llseek)

// Only A-Z fold; bytes above 0x7F and punctuation ('[' and '{', say) compare
// exactly, whatever code page the host runs in.
uint8_t fold_ascii(uint8_t c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + ('a' - 'A')) : c;
}

// A descriptor name against one of the five names, reading no further than
// the wanted name's terminator, so an unterminated name stays inside szName.
bool name_is(const DbsField& field, const char* wanted) {
  for (size_t i = 0; i < sizeof(field.szName); ++i) { // GCOVR_EXCL_BR_LINE: the names end first
    const uint8_t a = static_cast<uint8_t>(field.szName[i]);
    const uint8_t b = static_cast<uint8_t>(wanted[i]);
    if (fold_ascii(a) != fold_ascii(b))
      return false;
    if (b == 0)
      return true;
  }
  return false; // no terminator within the name: matches nothing. GCOVR_EXCL_LINE
}

bool is_space(uint8_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

const uint8_t* field_bytes(const PositionLayout& layout, const uint8_t* record,
                           PositionFieldId id) {
  return record + layout.fields[id].nOffset;
}

// A key field against the caller's text, over at most the field's width.
// Two texts that end at the same place within the width are equal.
bool key_equals(const uint8_t* field, int32_t width, const char* text) {
  for (int32_t i = 0; i < width; ++i) {
    const uint8_t a = static_cast<uint8_t>(text[i]);
    if (fold_ascii(a) != fold_ascii(field[i]))
      return false;
    if (a == 0)
      return true;
  }
  return true;
}

// The field NUL-filled, then as much of the text as fits.
void put_text(const PositionLayout& layout, uint8_t* record, PositionFieldId id, const char* text) {
  const int32_t width = layout.fields[id].nLength;
  uint8_t* dest = record + layout.fields[id].nOffset;
  memset(dest, 0, static_cast<size_t>(width));
  memcpy(dest, text, strnlen(text, static_cast<size_t>(width)));
}

void put_number(const PositionLayout& layout, uint8_t* record, PositionFieldId id, int32_t value) {
  char text[16]; // "-2147483648" and its terminator
  snprintf(text, sizeof(text), "%d", static_cast<int>(value));
  put_text(layout, record, id, text);
}

int32_t field_number(const PositionLayout& layout, const uint8_t* record, PositionFieldId id,
                     bool* empty) {
  return ParsePositionNumber(field_bytes(layout, record, id), layout.fields[id].nLength, empty);
}

uint64_t counted_length(const DbsInfo& info, uint64_t records) {
  return uint64_t{PositionRecordsStart(info)} + uint64_t{info.dwRecordSize} * records;
}

// The header fields that size every buffer and offset.
bool header_sizes_fit(const DbsInfo& info) {
  return info.wFieldCount >= 1 && info.wFieldCount <= kMaxPositionFieldCount &&
         info.dwRecordSize >= 1 && info.dwRecordSize <= kMaxPositionRecordSize &&
         info.nRecordCount >= 0;
}
} // namespace

uint32_t PositionDescriptorBytes(const DbsInfo& info) {
  return kDbsFieldSize * info.wFieldCount;
}

uint32_t PositionRecordsStart(const DbsInfo& info) {
  return kDbsInfoSize + PositionDescriptorBytes(info);
}

uint32_t PositionBufferSize(const DbsInfo& info) {
  return info.dwRecordSize + PositionDescriptorBytes(info) + 8;
}

bool CheckPositionHeader(const DbsInfo& info, uint64_t fileLength) {
  if (!header_sizes_fit(info))
    return false;
  // Every record the count promises must be there: a scan then never runs
  // off the end, and an append never lands behind a gap.
  return counted_length(info, static_cast<uint64_t>(info.nRecordCount)) <= fileLength &&
         info.dwFileLength <= fileLength;
}

bool FindPositionFields(const DbsInfo& info, const DbsField* fields, PositionLayout* layout) {
  if (!header_sizes_fit(info)) // GCOVR_EXCL_BR_LINE: checked before, with the length
    return false;              // GCOVR_EXCL_LINE
  bool found[kPosFieldCount] = {};
  PositionLayout result{};
  for (uint16_t i = 0; i < info.wFieldCount; ++i) {
    for (int id = 0; id < kPosFieldCount; ++id) {
      if (!name_is(fields[i], kPositionFieldNames[id]))
        continue;
      result.fields[id] = {fields[i].nOffset, fields[i].nLength};
      found[id] = true;
    }
  }
  for (int id = 0; id < kPosFieldCount; ++id) {
    const PositionField& f = result.fields[id];
    if (!found[id] || f.nOffset < 0 || f.nLength < 0 ||
        int64_t{f.nOffset} + f.nLength > int64_t{info.dwRecordSize})
      return false;
  }
  result.dwRecordSize = info.dwRecordSize;
  result.dwRecordsStart = PositionRecordsStart(info);
  result.nRecordCount = info.nRecordCount;
  *layout = result;
  return true;
}

int32_t ParsePositionNumber(const uint8_t* text, int32_t length, bool* empty) {
  const int32_t limit = length < kMaxPositionNumberChars ? length : kMaxPositionNumberChars;
  int32_t end = 0;
  while (end < limit && text[end] != 0)
    ++end;
  if (empty != nullptr)
    *empty = end == 0;
  int32_t i = 0;
  while (i < end && is_space(text[i]))
    ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  // At most 15 digits, so the sum cannot overflow 64 bits.
  int64_t value = 0;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  if (negative)
    value = -value;
  if (value > INT32_MAX)
    return INT32_MAX;
  if (value < INT32_MIN)
    return INT32_MIN;
  return static_cast<int32_t>(value);
}

bool PositionRecordMatches(const PositionLayout& layout, const uint8_t* record, int printerNumber,
                           const char* format, const char* product) {
  if (!key_equals(field_bytes(layout, record, kPosFormat), layout.fields[kPosFormat].nLength,
                  format))
    return false;
  if (!key_equals(field_bytes(layout, record, kPosProduct), layout.fields[kPosProduct].nLength,
                  product))
    return false;
  return field_number(layout, record, kPosMacNo, nullptr) == printerNumber;
}

bool ReadPositionValues(const PositionLayout& layout, const uint8_t* record, int32_t* startPos,
                        int32_t* contrast) {
  bool empty = true;
  const int32_t start = field_number(layout, record, kPosStartPos, &empty);
  if (empty)
    return false;
  *startPos = start;
  const int32_t density = field_number(layout, record, kPosContrast, &empty);
  if (empty)
    return false;
  *contrast = density;
  return true;
}

void SetPositionValues(const PositionLayout& layout, uint8_t* record, int32_t startPos,
                       int32_t contrast) {
  put_number(layout, record, kPosStartPos, startPos);
  put_number(layout, record, kPosContrast, contrast);
}

void FillPositionRecord(const PositionLayout& layout, uint8_t* record, int printerNumber,
                        const char* format, const char* product, int32_t startPos,
                        int32_t contrast) {
  memset(record, 0, layout.dwRecordSize);
  put_number(layout, record, kPosMacNo, printerNumber);
  put_text(layout, record, kPosFormat, format);
  put_text(layout, record, kPosProduct, product);
  put_number(layout, record, kPosStartPos, startPos);
  put_number(layout, record, kPosContrast, contrast);
}

bool AppendPositionRecordToHeader(DbsInfo* info, const PositionLayout& layout) {
  if (layout.nRecordCount < 0 || layout.nRecordCount == INT32_MAX)
    return false;
  const int32_t count = layout.nRecordCount + 1;
  const uint64_t length = uint64_t{layout.dwRecordsStart} +
                          uint64_t{layout.dwRecordSize} * static_cast<uint64_t>(count);
  if (length > kMaxFilePosition)
    return false;
  info->nRecordCount = count;
  info->dwFileLength = static_cast<uint32_t>(length);
  return true;
}
