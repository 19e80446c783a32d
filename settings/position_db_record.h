// The print position file's record logic: checking the header and field
// descriptors the host library read, finding the driver's five fields,
// matching a record's key fields, and reading or filling a record's values.
// Pure code over bytes and the layouts of host/database.h (no <windows.h>), so
// it builds natively for unit tests, sanitizers and fuzzing.
//
// The file comes from outside and is not trusted: every procedure here keeps
// to the record and descriptor buffers whatever the file declares, and the
// checks refuse a file whose counts, sizes or field positions do not fit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/database.h"

// Largest record the driver accepts. The five fields need a few hundred bytes
// (the longest texts the host hands over are 256 and 260 characters); the cap
// keeps a damaged size field from asking the host for a huge buffer.
inline constexpr uint32_t kMaxPositionRecordSize = 65536;
// Most field descriptors the driver accepts (656 bytes each, so at most
// 168 KB of descriptors). The driver needs five; the rest are the host's.
inline constexpr uint16_t kMaxPositionFieldCount = 256;
// Longest text read from a number field ("MacNo", "StartPos", "Contrast").
inline constexpr int32_t kMaxPositionNumberChars = 15;

// The five fields the driver uses, in the order of kPositionFieldNames.
enum PositionFieldId : int {
  kPosFormat,   // label format name (key)
  kPosProduct,  // product name (key)
  kPosMacNo,    // printer number 1..8 (key)
  kPosStartPos, // print start position
  kPosContrast, // print density
  kPosFieldCount
};

// Field names as the file's descriptors carry them (compared without regard
// to the case of the letters A-Z).
inline constexpr const char* kPositionFieldNames[kPosFieldCount] = {"Format", "Product", "MacNo",
                                                                    "StartPos", "Contrast"};

// Where one field lies in a record.
struct PositionField {
  int32_t nOffset; // offset from the start of the record, bytes
  int32_t nLength; // width, bytes
};

// Everything the scan needs from the header and the descriptors, checked:
// every field lies inside the record.
struct PositionLayout {
  PositionField fields[kPosFieldCount]; // by PositionFieldId
  uint32_t dwRecordSize;                // bytes per record, 1..kMaxPositionRecordSize
  uint32_t dwRecordsStart;              // file offset of the first record
  int32_t nRecordCount;                 // records in the file, 0 or more
};

// Bytes of descriptors the header declares: 656 x wFieldCount.
uint32_t PositionDescriptorBytes(const DbsInfo& info);

// Offset of the first record: 2272 + 656 x wFieldCount.
uint32_t PositionRecordsStart(const DbsInfo& info);

// Size of the temporary buffer for the descriptors and one record:
// dwRecordSize + 656 x wFieldCount + 8. Only meaningful for a header that
// CheckPositionHeader accepted.
uint32_t PositionBufferSize(const DbsInfo& info);

// True when the header is one the driver can work on: 1..256 descriptors, a
// record size of 1..65536 bytes, a record count of 0 or more, and a file at
// least as long as both its stored length and the length its counts give
// (2272 + 656 x fields + size x records). fileLength is the real length.
bool CheckPositionHeader(const DbsInfo& info, uint64_t fileLength);

// Walks the header's wFieldCount descriptors in file order and notes the five
// fields by name; a later descriptor with the same name replaces an earlier
// one. False when the header fails the count and size checks above, a field
// is missing, or a field has a negative offset or width or reaches past the
// end of the record. A name without a terminator in its 644 bytes matches
// none of the five. On true, `layout` is filled.
bool FindPositionFields(const DbsInfo& info, const DbsField* fields, PositionLayout* layout);

// Decimal value of a number field's text: at most `length` bytes (and at most
// 15), ending at the first NUL; leading white space and one sign allowed, the
// conversion stops at the first other character. Values beyond 32 bits
// saturate. `*empty` (if not null) tells whether the text had no characters.
int32_t ParsePositionNumber(const uint8_t* text, int32_t length, bool* empty);

// True when the record's "Format" and "Product" fields equal the caller's
// texts (compared over at most the field's width, A-Z without regard to case,
// every other byte exactly) and its "MacNo" value equals printerNumber.
// format and product are NUL-terminated; nothing past their terminators or
// the fields' widths is read.
bool PositionRecordMatches(const PositionLayout& layout, const uint8_t* record, int printerNumber,
                           const char* format, const char* product);

// Read mode on a matching record: "StartPos" into *startPos, then "Contrast"
// into *contrast. An empty "StartPos" gives false with nothing stored; an
// empty "Contrast" gives false after *startPos was stored.
bool ReadPositionValues(const PositionLayout& layout, const uint8_t* record, int32_t* startPos,
                        int32_t* contrast);

// Update of a matching record: "StartPos" and "Contrast" are NUL-filled and
// get the values' decimal texts, cut to their widths. No other byte changes.
void SetPositionValues(const PositionLayout& layout, uint8_t* record, int32_t startPos,
                       int32_t contrast);

// A new record: all zero, then "MacNo", "Format", "Product", "StartPos" and
// "Contrast" in this order, each cut to its width and NUL-padded.
void FillPositionRecord(const PositionLayout& layout, uint8_t* record, int printerNumber,
                        const char* format, const char* product, int32_t startPos,
                        int32_t contrast);

// The header after one record is appended: nRecordCount + 1 and dwFileLength
// recomputed from the counts. False, leaving the header unchanged, when the
// count or the length would overflow (the file would pass 2 GB).
bool AppendPositionRecordToHeader(DbsInfo* info, const PositionLayout& layout);
