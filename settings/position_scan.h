// The print position file's access once the host has opened it and read its
// header: the header checked against the file's length, the host's temporary
// buffer, the field descriptors, then the scan: the driver's five fields found
// among the descriptors, the records read one at a time and compared with the
// caller's keys, and the matching record read or updated, or a new one
// appended. Pure code: the host and the open file are reached through
// callbacks, so the same steps run over the host's file handle in the driver
// and over bytes in memory in the tests and the fuzz target.
#pragma once

#include <cstdint>

#include "host/database.h"

// The open position file and the host's calls on it. Read and Write move
// bytes at an offset from the file's start and give the number moved, or -1.
struct PositionFileAccess {
  void* pContext; // handed to every callback
  // The file's length in bytes, or -1; the file pointer stays where it was.
  int64_t (*Length)(void* context);
  // The host's temporary buffer of `size` bytes, or null.
  void* (*GetBuffer)(void* context, uint32_t size);
  // The host reads the header's field descriptors into `fields`, from where
  // the file pointer stands (just after the header).
  void (*LoadFields)(void* context, DbsInfo* info, DbsField* fields);
  int32_t (*Read)(void* context, uint32_t offset, void* data, uint32_t size);
  int32_t (*Write)(void* context, uint32_t offset, const void* data, uint32_t size);
  void (*FreeBuffer)(void* context, void* buffer);
};

// What the caller asked for.
struct PositionRequest {
  int nPrinter;           // printer number, compared with "MacNo"
  const char* pszFormat;  // label format name, not empty
  const char* pszProduct; // product name, possibly empty
  int32_t* pnStartPos;    // read: receives; write: supplies
  int32_t* pnContrast;    // read: receives; write: supplies
  bool bWrite;            // update or append instead of look up
};

// Runs one request over a file whose header passed CheckPositionHeader.
// `fields` holds the header's wFieldCount descriptors as the host read them;
// `record` has room for one record (dwRecordSize bytes). Read mode: 1 when
// the matching record delivered both values. Write mode: 1 when the matching
// record was rewritten in place, or a new record and then the header (with
// the new count and length, also left in *info) were written behind the last
// record. 0 otherwise: a field missing or outside the record, no match (read
// mode), or a read or write that moved fewer bytes than asked. A file that
// ends before its record count is damaged: nothing is delivered or written.
int AccessPositionRecords(const PositionFileAccess& file, DbsInfo* info, const DbsField* fields,
                          uint8_t* record, const PositionRequest& request);

// Runs one request over an open file whose header the host has read into
// *info. The header is checked against the file's length before anything is
// asked of the host; then the host's buffer (descriptors and one record), the
// descriptors, the scan, and the buffer given back. 0 when the length is
// unknown, the header is refused, there is no buffer, or the scan gives 0;
// otherwise the scan's result.
int AccessPositionFile(const PositionFileAccess& file, DbsInfo* info,
                       const PositionRequest& request);
