// Print position files built byte by byte, for the tests: a 2272-byte header
// (file length at byte 4, record size at 72, record count at 76, descriptor
// count at 92), one 656-byte descriptor per field (width at byte 4, offset at
// 8, name from 12), then the records. Plain C++, for the native and the Wine
// tests alike.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace veldrin_test {

struct PositionField {
  const char* name;
  int32_t length;
  int32_t offset;
};

// The five fields the driver uses, in a record of 100 bytes.
inline const std::vector<PositionField> kPositionFields = {{"Format", 32, 0},
                                                           {"Product", 32, 32},
                                                           {"MacNo", 4, 64},
                                                           {"StartPos", 6, 68},
                                                           {"Contrast", 3, 74}};

inline void Put32(std::string& file, size_t at, uint32_t value) {
  memcpy(&file[at], &value, 4);
}

// A file with these fields and records (each the fields' texts in field
// order, cut to the field's width); its header's length and count follow them.
inline std::string PositionFile(const std::vector<PositionField>& fields, uint32_t recordSize,
                                const std::vector<std::vector<std::string>>& records) {
  std::string file(2272 + 656 * fields.size(), '\0');
  Put32(file, 72, recordSize);
  Put32(file, 76, uint32_t(records.size()));
  file[92] = char(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    Put32(file, 2272 + 656 * i + 4, uint32_t(fields[i].length));
    Put32(file, 2272 + 656 * i + 8, uint32_t(fields[i].offset));
    memcpy(&file[2272 + 656 * i + 12], fields[i].name, strlen(fields[i].name));
  }
  for (const std::vector<std::string>& texts : records) {
    std::string record(recordSize, '\0');
    for (size_t f = 0; f < texts.size() && f < fields.size(); ++f)
      memcpy(&record[size_t(fields[f].offset)], texts[f].data(),
             std::min(texts[f].size(), size_t(fields[f].length)));
    file += record;
  }
  Put32(file, 4, uint32_t(file.size()));
  return file;
}

} // namespace veldrin_test
