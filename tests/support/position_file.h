// Print position files built byte by byte, for the tests: a 2272-byte header (file length at byte
// 4, record size at 72, record count at 76, descriptor count at 92; every other byte 0x5C), one
// 656-byte descriptor per field (its first four bytes 0x77, width at byte 4, offset at 8, name from
// 12), then the records. And such a file in memory behind the driver's callbacks. Plain C++, for
// the native and the Wine tests and the fuzz target alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/position_scan.h"

namespace veldrin_test {

struct FileField {
  const char* name;
  int32_t length;
  int32_t offset;
};
using Texts = std::vector<std::string>; // one record's field texts, in descriptor order

// The five fields the driver uses, in a record of 100 bytes.
inline const std::vector<FileField> kPositionFields = {
    {"Format", 32, 0},   {"Product", 32, 32}, {"MacNo", 4, 64},
    {"StartPos", 6, 68}, {"Contrast", 3, 74},
};

inline void Put32(std::string& file, size_t at, int64_t value) {
  memcpy(&file[at], &value, 4);
}

// A file with these fields and records, each text cut to its field's width and NUL-padded. The
// header's length and record count are as given, or (-1) as the bytes and the records make them.
inline std::string PositionFile(const std::vector<FileField>& fields, uint32_t recordSize,
                                const std::vector<Texts>& records, int64_t fileLength = -1,
                                int32_t recordCount = -1) {
  std::string file(2272, '\x5C');
  Put32(file, 72, recordSize);
  Put32(file, 76, recordCount < 0 ? int32_t(records.size()) : recordCount);
  file[92] = char(fields.size()), file[93] = 0;
  for (const FileField& f : fields) {
    std::string descriptor = "\x77\x77\x77\x77" + std::string(652, '\0');
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

// A position file in memory as the host and the file answer the driver's callbacks, with failures
// on request. `stray` notes a call out of place: a read, write or descriptor load outside the file
// or without the host's buffer out, or a buffer given back that the host did not give.
struct MemoryFile {
  std::string bytes;
  int64_t failReadAt = -1;   // offset whose read fails
  int failWrite = -1;        // which write fails (0: the first)
  uint32_t most = 1u << 24;  // the largest buffer the host gives
  int64_t length = 0;        // the length reported, if not 0: -1, or a file that shrank
  uint32_t asked = 0;        // size of the buffer asked for; 0: none
  uint8_t* buffer = nullptr; // the buffer out, until given back
  int writes = 0;
  bool stray = false;
};

inline MemoryFile& Of(void* context) {
  return *static_cast<MemoryFile*>(context);
}
// Whether bytes [at, at + size) lie outside the file or the buffer is not out.
inline bool Outside(void* c, uint64_t at, uint64_t size) {
  return Of(c).buffer == nullptr || at + size > uint64_t(Of(c).length);
}
// Runs one request as the driver does once the host has read the header.
inline int Access(MemoryFile& file, const PositionRequest& request) {
  DbsInfo info;
  memcpy(&info, file.bytes.data(), sizeof(info)); // the file holds at least a header
  file.length = file.length != 0 ? file.length : int64_t(file.bytes.size());
  const PositionFileAccess access{
      &file,
      [](void* c) { return Of(c).length; },
      [](void* c, uint32_t size) -> void* {
        Of(c).stray |= Of(c).buffer != nullptr;
        Of(c).asked = size;
        // Exactly the size asked, so that a sanitizer catches a step past it.
        return size > Of(c).most ? nullptr : (Of(c).buffer = new uint8_t[size]);
      },
      [](void* c, DbsInfo* info, DbsField* fields) {
        const uint32_t size = kDbsFieldSize * info->wFieldCount;
        Of(c).stray |= Outside(c, kDbsInfoSize, size) || static_cast<void*>(fields) != Of(c).buffer;
        // The bytes after the header, zeros after the file's end.
        memcpy(fields, (Of(c).bytes + std::string(size, '\0')).data() + kDbsInfoSize, size);
      },
      [](void* c, uint32_t offset, void* data, uint32_t size) -> int32_t {
        Of(c).stray |= Outside(c, offset, size);
        const std::string bytes =
            Of(c).bytes.substr(std::min<size_t>(offset, Of(c).bytes.size()), size);
        memcpy(data, bytes.data(), bytes.size());
        return offset == Of(c).failReadAt ? -1 : int32_t(bytes.size());
      },
      [](void* c, uint32_t offset, const void* data, uint32_t size) -> int32_t {
        Of(c).stray |= Outside(c, offset, 0); // a write may append
        if (Of(c).writes++ == Of(c).failWrite)
          return -1;
        Of(c).bytes.resize(std::max<size_t>(Of(c).bytes.size(), offset)); // as a file grows
        Of(c).bytes.replace(offset, size, static_cast<const char*>(data), size);
        return int32_t(size);
      },
      [](void* c, void* buffer) {
        Of(c).stray |= buffer != Of(c).buffer;
        delete[] Of(c).buffer;
        Of(c).buffer = nullptr;
      }};
  return AccessPositionFile(access, &info, request);
}

} // namespace veldrin_test
