// Position files built byte by byte for the tests, independent of the
// driver's own code: a 2272-byte header with recognisable host bytes, 656-byte
// descriptors and fixed-size records, each field placed by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One field descriptor as the file holds it.
struct TestField {
  std::string name; // stored NUL-terminated (unless it fills all 644 bytes)
  int32_t length;   // width in a record
  int32_t offset;   // offset in a record
};

// The layout most tests use: Format 32 @0, Product 32 @32, MacNo 4 @64,
// StartPos 6 @68, Contrast 3 @74, Memo 5 @77, and two bytes of no field at
// 82..83, in records of 84 bytes.
extern const std::vector<TestField> kTestFields;
inline constexpr uint32_t kTestRecordSize = 84;

// Offsets of the header fields the driver uses.
inline constexpr size_t kHdrFileLength = 4;
inline constexpr size_t kHdrRecordSize = 72;
inline constexpr size_t kHdrRecordCount = 76;
inline constexpr size_t kHdrFieldCount = 92;

// 2272 header bytes: every byte the driver does not use holds a pattern
// ((offset * 7 + 1) & 0xFF), the four fields as given.
std::string TestHeader(uint32_t fileLength, uint32_t recordSize, int32_t recordCount,
                       uint16_t fieldCount);

// One 656-byte descriptor: four host bytes 0xD1 0xD2 0xD3 0xD4, width,
// offset, name, zeros after it.
std::string TestDescriptor(const TestField& field);

// A record of `size` bytes filled with `fill`, then each field's text
// NUL-padded to its width (texts longer than the field are cut).
struct TestValue {
  int32_t offset;   // where the field starts
  int32_t width;    // its width
  std::string text; // its text
};
std::string TestRecord(uint32_t size, const std::vector<TestValue>& values, char fill = '\0');

// A record of the default layout.
std::string TestRecordOf(const std::string& format, const std::string& product,
                         const std::string& macNo, const std::string& startPos,
                         const std::string& contrast, const std::string& memo = "",
                         char fill = '\0');

// A whole file: header (length and counts from the parts), descriptors, records.
std::string TestPositionFile(const std::vector<TestField>& fields, uint32_t recordSize,
                             const std::vector<std::string>& records);

// Reads and writes little-endian numbers in a byte string.
uint32_t TestGet32(const std::string& bytes, size_t offset);
void TestPut32(std::string& bytes, size_t offset, uint32_t value);
void TestPut16(std::string& bytes, size_t offset, uint16_t value);

// Replaces the file at `path` with exactly these bytes; false on failure.
bool TestWriteFile(const std::string& path, const std::string& bytes);
// The file's bytes, or "<no file>".
std::string TestReadFile(const std::string& path);
