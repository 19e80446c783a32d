// The print position file's scan: the driver's five fields found among the
// descriptors, the records read one at a time and compared with the caller's
// keys, and the matching record read or updated, or a new one appended. Pure
// code: the open file is reached through two callbacks, so the same scan runs
// over the host's file handle in the driver and over bytes in memory in the
// tests and the fuzz target.
#pragma once

#include <cstdint>

#include "host/database.h"

// The open position file: reads and writes at a byte offset from its start.
// Each callback gives the number of bytes moved, or -1 on failure.
struct PositionFileAccess {
  void* pContext; // handed to both callbacks
  int32_t (*Read)(void* context, uint32_t offset, void* data, uint32_t size);
  int32_t (*Write)(void* context, uint32_t offset, const void* data, uint32_t size);
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
