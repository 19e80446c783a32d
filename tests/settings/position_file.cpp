// Position files built byte by byte for the tests.
#include "tests/settings/position_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

const std::vector<TestField> kTestFields = {
    {"Format", 32, 0},   {"Product", 32, 32}, {"MacNo", 4, 64},
    {"StartPos", 6, 68}, {"Contrast", 3, 74}, {"Memo", 5, 77},
};

uint32_t TestGet32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<uint8_t>(bytes.at(offset + i));
  return v;
}

void TestPut32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes.at(offset + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void TestPut16(std::string& bytes, size_t offset, uint16_t value) {
  bytes.at(offset) = static_cast<char>(value & 0xFF);
  bytes.at(offset + 1) = static_cast<char>(value >> 8);
}

std::string TestHeader(uint32_t fileLength, uint32_t recordSize, int32_t recordCount,
                       uint16_t fieldCount) {
  std::string h(2272, '\0');
  for (size_t i = 0; i < h.size(); ++i)
    h[i] = static_cast<char>((i * 7 + 1) & 0xFF);
  TestPut32(h, kHdrFileLength, fileLength);
  TestPut32(h, kHdrRecordSize, recordSize);
  TestPut32(h, kHdrRecordCount, static_cast<uint32_t>(recordCount));
  TestPut16(h, kHdrFieldCount, fieldCount);
  return h;
}

std::string TestDescriptor(const TestField& field) {
  std::string d(656, '\0');
  d[0] = '\xD1';
  d[1] = '\xD2';
  d[2] = '\xD3';
  d[3] = '\xD4';
  TestPut32(d, 4, static_cast<uint32_t>(field.length));
  TestPut32(d, 8, static_cast<uint32_t>(field.offset));
  d.replace(12, std::min<size_t>(field.name.size(), 644), field.name.substr(0, 644));
  return d;
}

std::string TestRecord(uint32_t size, const std::vector<TestValue>& values, char fill) {
  std::string r(size, fill);
  for (const TestValue& v : values) {
    std::string field(static_cast<size_t>(v.width), '\0');
    field.replace(0, std::min(v.text.size(), field.size()), v.text.substr(0, field.size()));
    r.replace(static_cast<size_t>(v.offset), field.size(), field);
  }
  return r;
}

std::string TestRecordOf(const std::string& format, const std::string& product,
                         const std::string& macNo, const std::string& startPos,
                         const std::string& contrast, const std::string& memo, char fill) {
  return TestRecord(kTestRecordSize,
                    {{0, 32, format},
                     {32, 32, product},
                     {64, 4, macNo},
                     {68, 6, startPos},
                     {74, 3, contrast},
                     {77, 5, memo}},
                    fill);
}

std::string TestPositionFile(const std::vector<TestField>& fields, uint32_t recordSize,
                             const std::vector<std::string>& records) {
  const uint32_t length =
      static_cast<uint32_t>(2272 + 656 * fields.size() + recordSize * records.size());
  std::string file = TestHeader(length, recordSize, static_cast<int32_t>(records.size()),
                                static_cast<uint16_t>(fields.size()));
  for (const TestField& f : fields)
    file += TestDescriptor(f);
  for (const std::string& r : records)
    file += r;
  return file;
}

bool TestWriteFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    return false;
  DWORD n = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return ok && n == bytes.size();
}

std::string TestReadFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    return "<no file>";
  std::string bytes(GetFileSize(f, nullptr), '\0');
  DWORD n = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  bytes.resize(n);
  return bytes;
}
