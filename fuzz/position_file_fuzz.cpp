// Fuzz target: the print position file's record logic over arbitrary file
// contents, natively under ASan and UBSan. The input is the whole file. The
// harness takes the same steps as AccessPrintPositionDb (header check against
// the real length, descriptors as the host reads them, field lookup, the scan,
// read, update in place and append), with the file in memory and every
// buffer at its exact size, and checks what must hold for any file:
//   - an accepted layout keeps every field inside the record;
//   - the scan never reads past the file;
//   - an update changes only the two value fields of the matching record;
//   - an append changes only the header's count and length and adds exactly
//     one record, and the result passes the header check again;
//   - a new record finds itself by its keys and reads back its values when
//     its fields are wide enough and do not overlap.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/database.h"
#include "settings/position_db_record.h"

namespace {
void check(bool condition) {
  if (!condition)
    abort();
}

struct Keys {
  int printer;         // MacNo to look for
  const char* format;  // Format to look for
  const char* product; // Product to look for
};

// The host's LoadDbsListFnV: as many descriptors as the file has, zeros after.
void load_descriptors(const std::vector<uint8_t>& file, const DbsInfo& info, uint8_t* out) {
  const size_t bytes = PositionDescriptorBytes(info);
  const size_t have = file.size() > kDbsInfoSize ? file.size() - kDbsInfoSize : 0;
  const size_t n = have < bytes ? have : bytes;
  memcpy(out, file.data() + kDbsInfoSize, n);
  memset(out + n, 0, bytes - n);
}

int32_t text_length(int32_t value) {
  char text[16];
  return snprintf(text, sizeof(text), "%d", static_cast<int>(value));
}

bool fields_overlap(const PositionLayout& layout) {
  for (int a = 0; a < kPosFieldCount; ++a)
    for (int b = a + 1; b < kPosFieldCount; ++b) {
      const PositionField& x = layout.fields[a];
      const PositionField& y = layout.fields[b];
      if (x.nOffset < y.nOffset + y.nLength && y.nOffset < x.nOffset + x.nLength)
        return true;
    }
  return false;
}

// One access in the driver's order; returns the driver's result.
int access(std::vector<uint8_t>& file, const Keys& k, int32_t* start, int32_t* contrast,
           bool write) {
  if (file.size() < kDbsInfoSize)
    return 0; // the host cannot read a header
  DbsInfo info;
  memcpy(&info, file.data(), sizeof(info));
  if (!CheckPositionHeader(info, file.size()))
    return 0;
  const uint32_t descriptorBytes = PositionDescriptorBytes(info);
  // Exactly the size the driver asks of the host, so ASan sees any overrun.
  std::vector<uint8_t> buffer(PositionBufferSize(info));
  std::vector<DbsField> fields(info.wFieldCount);
  load_descriptors(file, info, buffer.data());
  memcpy(fields.data(), buffer.data(), descriptorBytes);
  PositionLayout layout;
  if (!FindPositionFields(info, fields.data(), &layout))
    return 0;
  for (const PositionField& f : layout.fields)
    check(f.nOffset >= 0 && f.nLength >= 0 &&
          uint64_t(f.nOffset) + uint64_t(f.nLength) <= layout.dwRecordSize);
  // The record on its own heap block of exactly its size.
  std::vector<uint8_t> record(layout.dwRecordSize);

  uint64_t offset = layout.dwRecordsStart;
  for (int32_t i = 0; i < layout.nRecordCount; ++i, offset += layout.dwRecordSize) {
    check(offset + layout.dwRecordSize <= file.size());
    memcpy(record.data(), file.data() + offset, layout.dwRecordSize);
    if (!PositionRecordMatches(layout, record.data(), k.printer, k.format, k.product))
      continue;
    if (!write)
      return ReadPositionValues(layout, record.data(), start, contrast) ? 1 : 0;
    const std::vector<uint8_t> before = file;
    SetPositionValues(layout, record.data(), *start, *contrast);
    memcpy(file.data() + offset, record.data(), layout.dwRecordSize);
    for (size_t b = 0; b < file.size(); ++b) {
      if (file[b] == before[b])
        continue;
      const int64_t in = int64_t(b) - int64_t(offset);
      const PositionField& s = layout.fields[kPosStartPos];
      const PositionField& c = layout.fields[kPosContrast];
      check((in >= s.nOffset && in < s.nOffset + s.nLength) ||
            (in >= c.nOffset && in < c.nOffset + c.nLength));
    }
    return 1;
  }
  if (!write)
    return 0;

  check(offset <= file.size());
  DbsInfo header = info;
  if (!AppendPositionRecordToHeader(&header, layout))
    return 0;
  check(header.nRecordCount == info.nRecordCount + 1);
  check(header.dwFileLength == offset + layout.dwRecordSize);
  FillPositionRecord(layout, record.data(), k.printer, k.format, k.product, *start, *contrast);
  if (file.size() < offset + layout.dwRecordSize)
    file.resize(offset + layout.dwRecordSize);
  memcpy(file.data() + offset, record.data(), layout.dwRecordSize);
  memcpy(file.data(), &header, sizeof(header));
  check(CheckPositionHeader(header, file.size()));

  if (!fields_overlap(layout) && layout.fields[kPosMacNo].nLength >= 1) {
    check(PositionRecordMatches(layout, record.data(), k.printer, k.format, k.product));
    int32_t s = 0, c = 0;
    if (layout.fields[kPosStartPos].nLength >= text_length(*start) &&
        layout.fields[kPosContrast].nLength >= text_length(*contrast)) {
      check(ReadPositionValues(layout, record.data(), &s, &c));
      check(s == *start && c == *contrast);
    }
  }
  return 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> original(data, data + size);
  // The keys come from the input's last bytes so the fuzzer can steer them
  // towards a match: printer number, then a short format and product name.
  char format[9] = "Label A";
  char product[9] = "Soap";
  int printer = 2;
  if (size >= 17) {
    const uint8_t* tail = data + size - 17;
    printer = tail[0] % 10;
    memcpy(format, tail + 1, 8);
    memcpy(product, tail + 9, 8);
    format[8] = product[8] = '\0';
  }
  const Keys keys{printer, format[0] != '\0' ? format : "Label A", product};

  // A read, then writes of ordinary and of the widest values.
  struct Pass {
    bool write;
    int32_t start;
    int32_t contrast;
  } passes[] = {{false, 77, 77}, {true, 12, 3}, {true, INT32_MIN, INT32_MAX}};
  for (const Pass& pass : passes) {
    std::vector<uint8_t> file = original;
    int32_t start = pass.start;
    int32_t contrast = pass.contrast;
    if (access(file, keys, &start, &contrast, pass.write) == 0)
      check(file == original); // a refusal leaves the file as it was
  }
  return 0;
}
