// Fuzz target: the driver's AccessPositionFile over any file in memory (the input; its last 17
// bytes give the keys too). For any file: no buffer asked unless the header check passes; reads,
// writes and descriptors inside the file; the buffer given back; a read or a refusal (0) leaves
// the file unchanged; a write changes only the value fields of one record, or appends a record and
// changes only the header's count and length, and the header check passes again; the record is
// found again by its keys in capitals, with its values when its fields are wide and apart.
#include <algorithm>
#include <cassert>
#include <cctype>

#include "settings/position_db_record.h"
#include "tests/support/position_file.h"

namespace {
// The file after a successful write, against the file before it.
void check_write(const std::string& before, const std::string& after, const PositionLayout& l) {
  DbsInfo now;
  memcpy(&now, after.data(), sizeof(now));
  const uint64_t end = l.dwRecordsStart + uint64_t{l.dwRecordSize} * l.nRecordCount;
  const uint64_t grown = end + l.dwRecordSize;
  const bool appended = now.nRecordCount != l.nRecordCount;
  assert(!appended || (now.nRecordCount == l.nRecordCount + 1 && now.dwFileLength == grown));
  assert(after.size() == (appended ? std::max<uint64_t>(before.size(), grown) : before.size()));
  assert(CheckPositionHeader(now, after.size()));
  // Byte `in` of a record lies in field f when in - f.nOffset < f.nLength, unsigned.
  const PositionField &s = l.fields[kPosStartPos], &c = l.fields[kPosContrast];
  uint64_t record = UINT64_MAX; // the one record an update changes
  for (size_t b = 0; b < before.size(); ++b) {
    const uint64_t at = b - l.dwRecordsStart, in = at % l.dwRecordSize;
    if (after[b] == before[b])
      continue;
    if (appended) // the new record, the header's length and count
      assert((b >= end && b < grown) || (b >= 4 && b < 8) || (b >= 76 && b < 80));
    else
      assert(b >= l.dwRecordsStart && b < end &&
             (record == UINT64_MAX || record == at / l.dwRecordSize) &&
             (in - s.nOffset < uint64_t(s.nLength) || in - c.nOffset < uint64_t(c.nLength)));
    record = at / l.dwRecordSize;
  }
}

// Whether each of the five fields is at least `width` bytes wide and none overlaps another.
bool wide_and_apart(const PositionLayout& l, const int32_t (&width)[kPosFieldCount]) {
  for (int a = 0; a < kPosFieldCount; ++a)
    for (int b = 0; b < kPosFieldCount; ++b)
      if (l.fields[a].nLength < width[a] ||
          (a != b && l.fields[a].nOffset < l.fields[b].nOffset + l.fields[b].nLength &&
           l.fields[b].nOffset < l.fields[a].nOffset + l.fields[a].nLength))
        return false;
  return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(DbsInfo))
    return 0; // the host cannot read a header
  const std::string original(reinterpret_cast<const char*>(data), size);
  DbsInfo info;
  memcpy(&info, data, sizeof(info));
  PositionLayout l{}; // where the five fields lie, in a file the driver may work on
  const bool ok = CheckPositionHeader(info, size);
  if (ok)
    FindPositionFields(info, reinterpret_cast<const DbsField*>(&original[sizeof(info)]), &l);
  char format[9] = {}, product[9] = {}; // printer number, format and product: the last 17 bytes
  memcpy(format, data + size - 16, 8);
  memcpy(product, data + size - 8, 8);
  format[0] = format[0] != '\0' ? format[0] : 'L';
  const int printer = data[size - 17] % 10;
  // A read, then writes of ordinary and widest values: write, start, contrast, their texts' length.
  static const int32_t kPasses[][5] = {
      {0, 77, 77, 2, 2}, {1, 8, 4, 1, 1}, {1, INT32_MIN, INT32_MAX, 11, 10}};
  for (const auto& pass : kPasses) {
    veldrin_test::MemoryFile file{original};
    int32_t start = pass[1], contrast = pass[2];
    PositionRequest request{printer, format, product, &start, &contrast, pass[0] != 0};
    const int result = veldrin_test::Access(file, request);
    assert(!file.stray && file.buffer == nullptr && (ok || file.asked == 0));
    if (result == 0 || !request.bWrite) {
      assert(file.bytes == original);
      continue;
    }
    check_write(original, file.bytes, l);
    // Found again when MacNo has room for the digit and the values for a character each.
    if (!wide_and_apart(l, {0, 0, 1, 1, 1}))
      continue;
    for (char* key : {format, product}) // the keys in capitals: A-Z compare without case
      for (; *key != '\0'; ++key)
        *key = static_cast<char>(toupper(static_cast<uint8_t>(*key)));
    start = contrast = 123456;
    request.bWrite = false;
    file = {file.bytes};
    const int found = veldrin_test::Access(file, request);
    assert(found == 1 && !file.stray && file.buffer == nullptr &&
           (!wide_and_apart(l, {0, 0, 1, pass[3], pass[4]}) ||
            (start == pass[1] && contrast == pass[2])));
  }
  return 0;
}
