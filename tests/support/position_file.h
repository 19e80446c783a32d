// Print position files built byte by byte, for the tests: a 2272-byte header
// (file length at byte 4, record size at 72, record count at 76, descriptor
// count at 92; every other byte 0x5C), one 656-byte descriptor per field
// (its first four bytes 0x77, width at byte 4, offset at 8, name from 12),
// then the records. Plain C++, for the native and the Wine tests alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace veldrin_test {

struct FileField {
  const char* name;
  int32_t length;
  int32_t offset;
};
using Texts = std::vector<std::string>; // one record's field texts, in descriptor order

// The five fields the driver uses, in a record of 100 bytes.
inline const std::vector<FileField> kPositionFields = {{"Format", 32, 0},
                                                       {"Product", 32, 32},
                                                       {"MacNo", 4, 64},
                                                       {"StartPos", 6, 68},
                                                       {"Contrast", 3, 74}};

inline void Put32(std::string& file, size_t at, int64_t value) {
  memcpy(&file[at], &value, 4);
}

// A file with these fields and records, each text cut to its field's width
// and NUL-padded. The header's length and record count are as given, or (-1)
// as the bytes and the records make them.
inline std::string PositionFile(const std::vector<FileField>& fields, uint32_t recordSize,
                                const std::vector<Texts>& records, int64_t fileLength = -1,
                                int32_t recordCount = -1) {
  std::string file(2272, '\x5C');
  Put32(file, 72, recordSize);
  Put32(file, 76, recordCount < 0 ? int32_t(records.size()) : recordCount);
  file[92] = char(fields.size()), file[93] = 0;
  for (const FileField& f : fields) {
    std::string descriptor(656, '\0');
    descriptor.replace(0, 4, "\x77\x77\x77\x77");
    Put32(descriptor, 4, f.length);
    Put32(descriptor, 8, f.offset);
    descriptor.replace(12, strlen(f.name), f.name);
    file += descriptor;
  }
  for (const Texts& texts : records) {
    std::string record(recordSize, '\0');
    for (size_t i = 0; i < texts.size() && i < fields.size(); ++i)
      record.replace(size_t(fields[i].offset), std::min(texts[i].size(), size_t(fields[i].length)),
                     texts[i].substr(0, size_t(fields[i].length)));
    file += record;
  }
  Put32(file, 4, fileLength < 0 ? int64_t(file.size()) : fileLength);
  return file;
}

} // namespace veldrin_test
