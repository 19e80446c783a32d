// AccessPrintPositionDb: the host and file calls around the position file's
// scan (settings/position_scan.h). The host library opens the file and reads
// its header and field list; the scan reads, compares and writes the records
// one at a time through the HFILE calls.
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
#include "settings/position_scan.h"
#include "settings/store.h"

namespace {
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

// Length of the open file, or -1. The file pointer is put back where it was:
// the host library reads the field descriptors from there (just after the
// header it has read), and need not seek to them first.
LONG file_length(HFILE file) {
  const LONG here = _llseek(file, 0, FILE_CURRENT);
  const LONG length = _llseek(file, 0, FILE_END);
  return here >= 0 && _llseek(file, here, FILE_BEGIN) == here ? length : -1;
}

// The scan's file access over the host's file handle.
HFILE handle_of(void* context) {
  return static_cast<HFILE>(reinterpret_cast<INT_PTR>(context));
}

int32_t read_at(void* context, uint32_t offset, void* data, uint32_t size) {
  const HFILE file = handle_of(context);
  if (_llseek(file, static_cast<LONG>(offset), FILE_BEGIN) != static_cast<LONG>(offset))
    return -1;
  const UINT n = _lread(file, data, size);
  return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int32_t>(n);
}

int32_t write_at(void* context, uint32_t offset, const void* data, uint32_t size) {
  const HFILE file = handle_of(context);
  // size is never 0 here: _lwrite of 0 bytes would truncate the file.
  if (size == 0 ||
      _llseek(file, static_cast<LONG>(offset), FILE_BEGIN) != static_cast<LONG>(offset))
    return -1;
  const UINT n = _lwrite(file, static_cast<LPCCH>(data), size);
  return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int32_t>(n);
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
    if (buffer != nullptr) {
      // The descriptors first, then room for one record.
      DbsField* fields = reinterpret_cast<DbsField*>(buffer);
      LoadDbsListFnV(file, &info, fields);
      const PositionFileAccess access{reinterpret_cast<void*>(static_cast<INT_PTR>(file)), read_at,
                                      write_at};
      result = AccessPositionRecords(access, &info, fields, buffer + PositionDescriptorBytes(info),
                                     request);
    }
  }
  // The one way out once the file is open: the buffer first, then the file.
  if (buffer != nullptr)
    FreeTmpBufFnV(buffer);
  _lclose(file);
  return result;
}
