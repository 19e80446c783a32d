// The print position file's access and scan over the host's callbacks.
#include "settings/position_scan.h"

#include "settings/position_db_record.h"

namespace {
bool read_at(const PositionFileAccess& file, uint32_t offset, void* data, uint32_t size) {
  return file.Read(file.pContext, offset, data, size) == static_cast<int32_t>(size);
}

bool write_at(const PositionFileAccess& file, uint32_t offset, const void* data, uint32_t size) {
  return file.Write(file.pContext, offset, data, size) == static_cast<int32_t>(size);
}

// The matching record is rewritten where it was read from.
int update_record(const PositionFileAccess& file, const PositionLayout& layout, uint8_t* record,
                  uint32_t offset, const PositionRequest& r) {
  SetPositionValues(layout, record, *r.pnStartPos, *r.pnContrast);
  return write_at(file, offset, record, layout.dwRecordSize) ? 1 : 0;
}

// A new record behind the last one, then the header with the new count and
// length. The header is checked for overflow before the record is written.
int append_record(const PositionFileAccess& file, DbsInfo* info, const PositionLayout& layout,
                  uint8_t* record, uint32_t offset, const PositionRequest& r) {
  DbsInfo header = *info;
  // Not counted below: the scan reads 2 GB of records first.
  if (!AppendPositionRecordToHeader(&header, layout)) // GCOVR_EXCL_BR_LINE
    return 0;                                         // GCOVR_EXCL_LINE
  FillPositionRecord(layout, record, r.nPrinter, r.pszFormat, r.pszProduct, *r.pnStartPos,
                     *r.pnContrast);
  if (!write_at(file, offset, record, layout.dwRecordSize) ||
      !write_at(file, 0, &header, kDbsInfoSize))
    return 0;
  *info = header;
  return 1;
}
} // namespace

int AccessPositionRecords(const PositionFileAccess& file, DbsInfo* info, const DbsField* fields,
                          uint8_t* record, const PositionRequest& request) {
  PositionLayout layout;
  if (!FindPositionFields(*info, fields, &layout))
    return 0;
  uint32_t offset = layout.dwRecordsStart;
  for (int32_t i = 0; i < layout.nRecordCount; ++i, offset += layout.dwRecordSize) {
    if (!read_at(file, offset, record, layout.dwRecordSize))
      return 0; // the file ended or a read failed: no record is delivered or written
    if (!PositionRecordMatches(layout, record, request.nPrinter, request.pszFormat,
                               request.pszProduct))
      continue;
    if (request.bWrite)
      return update_record(file, layout, record, offset, request);
    return ReadPositionValues(layout, record, request.pnStartPos, request.pnContrast) ? 1 : 0;
  }
  return request.bWrite ? append_record(file, info, layout, record, offset, request) : 0;
}

int AccessPositionFile(const PositionFileAccess& file, DbsInfo* info,
                       const PositionRequest& request) {
  const int64_t length = file.Length(file.pContext);
  // Checked before the host is asked for a buffer of the size the file declares.
  if (length < 0 || !CheckPositionHeader(*info, static_cast<uint64_t>(length)))
    return 0;
  auto* buffer = static_cast<uint8_t*>(file.GetBuffer(file.pContext, PositionBufferSize(*info)));
  if (buffer == nullptr)
    return 0;
  // The descriptors first, then room for one record.
  auto* fields = reinterpret_cast<DbsField*>(buffer);
  file.LoadFields(file.pContext, info, fields);
  const int result =
      AccessPositionRecords(file, info, fields, buffer + PositionDescriptorBytes(*info), request);
  file.FreeBuffer(file.pContext, buffer);
  return result;
}
