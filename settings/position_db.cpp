// AccessPrintPositionDb: the host and file calls around the position file's
// record logic (settings/position_db_record.h). The host library opens the
// file and reads its header and field list; the records are read, compared
// and written here, one at a time, with the HFILE calls.
//
// The file is checked before anything is allocated or written: the header's
// counts must fit the limits and the real file length, and the five fields
// must lie inside the record. A file that ends before its record count, or a
// read that fails during the scan, is damage too: the result is 0 and nothing
// is written, in both modes, so that an append never lands at a place the
// header does not describe.
#include "settings/position_db.h"

#include <windows.h>
#include <shlwapi.h>

#include "host/database.h"
#include "host/zovav.h"
#include "settings/ini_layout.h"
#include "settings/position_db_record.h"
#include "settings/store.h"

namespace {
// What the caller asked for.
struct PositionRequest {
  int nPrinter;           // printer number, compared with "MacNo"
  const char* pszFormat;  // label format name, not empty
  const char* pszProduct; // product name, possibly empty
  int32_t* pnStartPos;    // read: receives; write: supplies
  int32_t* pnContrast;    // read: receives; write: supplies
  bool bWrite;            // update or append instead of look up
};

// The position file's full path: the INI file's name for it appended to the
// host's module directory. False when there is no file there.
bool position_file_path(char (&path)[MAX_PATH]) {
  char name[MAX_PATH];
  const char* ini = HostIniPath();
  if (ini != nullptr)
    GetPrivateProfileStringA(kIniPrintAdjustSection, kIniPositionFileKey, kDefaultPositionFile,
                             name, sizeof(name), ini);
  else
    lstrcpynA(name, kDefaultPositionFile, sizeof(name));
  // An empty name would make the path the directory itself.
  if (name[0] == '\0')
    return false;
  path[0] = '\0';
  GetModuleDirectory(path, MAX_PATH);
  path[MAX_PATH - 1] = '\0'; // a host that fills the whole buffer leaves no terminator
  if (!PathAppendA(path, name))
    return false;
  return PathFileExistsA(path) != FALSE;
}

// Length of the open file, or -1. Leaves the position at the end.
LONG file_length(HFILE file) {
  return _llseek(file, 0, FILE_END);
}

bool write_at(HFILE file, LONG offset, const void* data, UINT size) {
  // size is never 0 here: _lwrite of 0 bytes would truncate the file.
  return _llseek(file, offset, FILE_BEGIN) == offset &&
         _lwrite(file, static_cast<LPCCH>(data), size) == size;
}

int read_values(const PositionLayout& layout, const BYTE* record, const PositionRequest& r) {
  return ReadPositionValues(layout, record, r.pnStartPos, r.pnContrast) ? 1 : 0;
}

// The matching record is rewritten where it was read from.
int update_record(HFILE file, const PositionLayout& layout, BYTE* record, LONG recordOffset,
                  const PositionRequest& r) {
  SetPositionValues(layout, record, *r.pnStartPos, *r.pnContrast);
  return write_at(file, recordOffset, record, layout.dwRecordSize) ? 1 : 0;
}

// A new record behind the last one, then the header with the new count and
// length. The header is checked for overflow before the record is written.
int append_record(HFILE file, DbsInfo* info, const PositionLayout& layout, BYTE* record,
                  LONG endOffset, const PositionRequest& r) {
  DbsInfo header = *info;
  if (!AppendPositionRecordToHeader(&header, layout))
    return 0;
  FillPositionRecord(layout, record, r.nPrinter, r.pszFormat, r.pszProduct, *r.pnStartPos,
                     *r.pnContrast);
  if (!write_at(file, endOffset, record, layout.dwRecordSize))
    return 0;
  if (!write_at(file, 0, &header, kDbsInfoSize))
    return 0;
  *info = header;
  return 1;
}

// The scan over a checked file, with the buffer holding the descriptors
// followed by one record.
int access_records(HFILE file, DbsInfo* info, BYTE* buffer, const PositionRequest& r) {
  DbsField* fields = reinterpret_cast<DbsField*>(buffer);
  BYTE* record = buffer + PositionDescriptorBytes(*info);
  LoadDbsListFnV(file, info, fields);
  PositionLayout layout;
  if (!FindPositionFields(*info, fields, &layout))
    return 0;
  LONG offset = static_cast<LONG>(layout.dwRecordsStart);
  if (_llseek(file, offset, FILE_BEGIN) != offset)
    return 0;
  for (int32_t i = 0; i < layout.nRecordCount; ++i, offset += layout.dwRecordSize) {
    if (_lread(file, record, layout.dwRecordSize) != layout.dwRecordSize)
      return 0; // the file ended or a read failed: no record is delivered or written
    if (!PositionRecordMatches(layout, record, r.nPrinter, r.pszFormat, r.pszProduct))
      continue;
    return r.bWrite ? update_record(file, layout, record, offset, r)
                    : read_values(layout, record, r);
  }
  return r.bWrite ? append_record(file, info, layout, record, offset, r) : 0;
}
} // namespace

int AccessPrintPositionDb(int printerNumber, const char* format, const char* product,
                          int32_t* startPos, int32_t* contrast, int write) {
  if (format == nullptr || format[0] == '\0' || startPos == nullptr || contrast == nullptr)
    return 0;
  const PositionRequest request{printerNumber, format,   product != nullptr ? product : "",
                                startPos,      contrast, write != 0};

  char path[MAX_PATH];
  if (!position_file_path(path))
    return 0;
  DbsInfo info;
  const HFILE file = LoadDbsInfoFnHF(path, &info, request.bWrite ? 1 : 0);
  if (file == HFILE_ERROR)
    return 0;

  int result = 0;
  BYTE* buffer = nullptr;
  const LONG length = file_length(file);
  // Checked before the host is asked for a buffer of the size the file declares.
  if (length >= 0 && CheckPositionHeader(info, static_cast<uint64_t>(length))) {
    buffer = static_cast<BYTE*>(GetTmpBufFnPV(PositionBufferSize(info)));
    if (buffer != nullptr)
      result = access_records(file, &info, buffer, request);
  }
  // The one way out once the file is open: the buffer first, then the file.
  if (buffer != nullptr)
    FreeTmpBufFnV(buffer);
  _lclose(file);
  return result;
}
