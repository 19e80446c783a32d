// AccessPrintPositionDb: the host and file calls around the position file's
// access (settings/position_scan.h). The host library opens the file and reads
// its header; AccessPositionFile does the rest through callbacks wired here to
// the host's buffer and field-list calls and to the HFILE calls.
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

// The callbacks' context is the host's file handle.
HFILE handle_of(void* context) {
  return static_cast<HFILE>(reinterpret_cast<INT_PTR>(context));
}

// Length of the open file, or -1. The file pointer is put back where it was:
// the host library reads the field descriptors from there (just after the
// header it has read), and need not seek to them first.
int64_t file_length(void* context) {
  const HFILE file = handle_of(context);
  const LONG here = _llseek(file, 0, FILE_CURRENT);
  const LONG length = _llseek(file, 0, FILE_END);
  return here >= 0 && _llseek(file, here, FILE_BEGIN) == here ? length : -1;
}

void* get_buffer(void*, uint32_t size) {
  return GetTmpBufFnPV(size);
}

void load_fields(void* context, DbsInfo* info, DbsField* fields) {
  LoadDbsListFnV(handle_of(context), info, fields);
}

void free_buffer(void*, void* buffer) {
  FreeTmpBufFnV(buffer);
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
  // GCOVR_EXCL_BR_START: both callers pass the slot's names and their own outputs.
  if (format == nullptr || format[0] == '\0' || startPos == nullptr || contrast == nullptr)
    return 0;
  // GCOVR_EXCL_BR_STOP
  const PositionRequest request{printerNumber, format,   product != nullptr ? product : "",
                                startPos,      contrast, write != 0}; // GCOVR_EXCL_BR_LINE

  char path[MAX_PATH];
  if (!position_file_path(path))
    return 0;
  DbsInfo info;
  const HFILE file = LoadDbsInfoFnHF(path, &info, request.bWrite ? 1 : 0);
  if (file == HFILE_ERROR)
    return 0;

  const PositionFileAccess access{reinterpret_cast<void*>(static_cast<INT_PTR>(file)),
                                  file_length,
                                  get_buffer,
                                  load_fields,
                                  read_at,
                                  write_at,
                                  free_buffer};
  // The buffer is given back before the file is closed.
  const int result = AccessPositionFile(access, &info, request);
  _lclose(file);
  return result;
}
