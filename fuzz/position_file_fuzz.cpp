// Fuzz target: the driver's scan of the print position file, AccessPositionRecords, over any file
// in memory (the input; its last 17 bytes give the keys too), after the driver's steps: header
// checked against the real length, descriptors as the host reads them (zeros past the end), a
// record buffer of exactly dwRecordSize bytes. For any file: reads stay inside it, writes start
// inside it or at its end; a read or a refusal (0) leaves it unchanged; a write changes only the
// value fields of one record, or appends a record behind the last and changes only the header's
// count and length, and the header check passes again; the record written is found again by its
// keys in capitals and gives back its values when its fields are wide enough and apart.
#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>
#include <vector>

#include "settings/position_db_record.h"
#include "settings/position_scan.h"

namespace {
using File = std::vector<uint8_t>;

int32_t read_at(void* context, uint32_t offset, void* data, uint32_t size) {
  const File& file = *static_cast<const File*>(context);
  assert(uint64_t{offset} + size <= file.size()); // the header check promised these bytes
  memcpy(data, file.data() + offset, size);
  return static_cast<int32_t>(size);
}

int32_t write_at(void* context, uint32_t offset, const void* data, uint32_t size) {
  File& file = *static_cast<File*>(context);
  assert(offset <= file.size());
  file.resize(std::max<uint64_t>(file.size(), uint64_t{offset} + size));
  memcpy(file.data() + offset, data, size);
  return static_cast<int32_t>(size);
}

// One access as the driver makes it; `l` receives the fields the scan works on.
int access(File& file, const PositionRequest& request, PositionLayout* l) {
  DbsInfo info; // the file holds at least a header
  memcpy(&info, file.data(), sizeof(info));
  if (!CheckPositionHeader(info, file.size()))
    return 0;
  std::vector<DbsField> fields(info.wFieldCount);
  memcpy(fields.data(), file.data() + sizeof(info),
         std::min<size_t>(file.size() - sizeof(info), PositionDescriptorBytes(info)));
  std::vector<uint8_t> record(info.dwRecordSize);
  FindPositionFields(info, fields.data(), l);
  return AccessPositionRecords({&file, read_at, write_at}, &info, fields.data(), record.data(),
                               request);
}

// The file after a successful write, against the file before it.
void check_write(const File& before, const File& after, const PositionLayout& l) {
  DbsInfo was, now;
  memcpy(&was, before.data(), sizeof(was));
  memcpy(&now, after.data(), sizeof(now));
  const uint64_t end = l.dwRecordsStart + uint64_t{l.dwRecordSize} * l.nRecordCount;
  const uint64_t grown = end + l.dwRecordSize;
  const bool appended = now.nRecordCount != was.nRecordCount;
  assert(!appended || (now.nRecordCount == was.nRecordCount + 1 && now.dwFileLength == grown));
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
  const File original(data, data + size);
  char format[9] = {}, product[9] = {}; // printer number, format and product: the last 17 bytes
  memcpy(format, data + size - 16, 8);
  memcpy(product, data + size - 8, 8);
  format[0] = format[0] != '\0' ? format[0] : 'L';
  const int printer = data[size - 17] % 10;
  // A read, then writes of ordinary and widest values: write, start, contrast, their texts' length.
  static const int32_t kPasses[][5] = {
      {0, 77, 77, 2, 2}, {1, 8, 4, 1, 1}, {1, INT32_MIN, INT32_MAX, 11, 10}};
  for (const auto& pass : kPasses) {
    File file = original;
    int32_t start = pass[1], contrast = pass[2];
    PositionRequest request{printer, format, product, &start, &contrast, pass[0] != 0};
    PositionLayout l{};
    if (access(file, request, &l) == 0 || !request.bWrite) {
      assert(file == original);
      continue;
    }
    check_write(original, file, l);
    // Found again when MacNo has room for the digit and the values for a character each.
    if (!wide_and_apart(l, {0, 0, 1, 1, 1}))
      continue;
    for (char* key : {format, product}) // the keys in capitals: A-Z compare without case
      for (; *key != '\0'; ++key)
        *key = static_cast<char>(toupper(static_cast<uint8_t>(*key)));
    start = contrast = 123456;
    request.bWrite = false;
    const int found = access(file, request, &l);
    assert(found == 1 && (!wide_and_apart(l, {0, 0, 1, pass[3], pass[4]}) ||
                          (start == pass[1] && contrast == pass[2])));
  }
  return 0;
}
