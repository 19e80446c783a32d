// The host's database file format, as far as the print position file uses it:
// a 2272-byte header, 656-byte field descriptors, then fixed-size records.
// All numbers are little-endian. Plain layout only: no <windows.h>, so the
// record logic that reads these builds natively too.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kDbsInfoSize = 2272; // header bytes
inline constexpr uint32_t kDbsFieldSize = 656; // bytes per field descriptor

// The header. Bytes the driver does not name are kept as read.
struct DbsInfo {
  uint8_t abHost0[4];     // host data
  uint32_t dwFileLength;  // 2272 + 656 x wFieldCount + dwRecordSize x nRecordCount
  uint8_t abHost8[64];    // host data
  uint32_t dwRecordSize;  // bytes per record
  int32_t nRecordCount;   // number of records
  uint8_t abHost80[12];   // host data
  uint16_t wFieldCount;   // number of field descriptors
  uint8_t abHost94[2178]; // host data
};

// One field descriptor.
struct DbsField {
  uint8_t abHost0[4]; // host data
  int32_t nLength;    // width of the field in a record, bytes
  int32_t nOffset;    // offset of the field from the start of a record
  char szName[644];   // field name, NUL-terminated (not trusted to be)
};

static_assert(sizeof(DbsInfo) == kDbsInfoSize);
static_assert(offsetof(DbsInfo, dwFileLength) == 4);
static_assert(offsetof(DbsInfo, dwRecordSize) == 72);
static_assert(offsetof(DbsInfo, nRecordCount) == 76);
static_assert(offsetof(DbsInfo, wFieldCount) == 92);
static_assert(sizeof(DbsField) == kDbsFieldSize);
static_assert(offsetof(DbsField, nLength) == 4);
static_assert(offsetof(DbsField, nOffset) == 8);
static_assert(offsetof(DbsField, szName) == 12);
