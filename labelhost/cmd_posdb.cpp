// labelhost posdb: the print position file as the host keeps it. "create"
// makes an empty file in the host's database format (the driver never creates
// one), "list" shows its header, fields and records, and "set" and "get"
// store and look up a record through the driver's own AccessPrintPositionDb,
// linked in from the static core: the driver exports no write access to the
// database, and going through its procedure is the only way to be sure the
// tool writes exactly what the driver would.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/database.h"
#include "labelhost/commands.h"
#include "settings/ini_layout.h"
#include "settings/position_db.h"
#include "settings/position_db_record.h"

namespace {
// One field of a file that "create" makes.
struct NewField {
  std::string name; // field name
  int32_t width;    // bytes in a record
};

// The five fields the driver needs, with room for long format and product names.
const NewField kDefaultFields[] = {
    {"Format", 64}, {"Product", 64}, {"MacNo", 4}, {"StartPos", 8}, {"Contrast", 4},
};
constexpr int32_t kDefaultExtraWidth = 16; // an extra field given without a width

void put32(std::string& bytes, size_t offset, uint32_t value) {
  memcpy(&bytes[offset], &value, sizeof(value));
}

bool write_whole_file(const char* path, const std::string& bytes) {
  HANDLE f =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "labelhost: cannot create %s (error %lu)\n", path, GetLastError());
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

// "NAME" or "NAME:WIDTH".
bool parse_field(const char* arg, NewField* field) {
  const char* colon = strchr(arg, ':');
  field->name.assign(arg, colon != nullptr ? static_cast<size_t>(colon - arg) : strlen(arg));
  field->width = kDefaultExtraWidth;
  if (colon != nullptr) {
    char* end = nullptr;
    const long width = strtol(colon + 1, &end, 10);
    if (end == colon + 1 || *end != '\0' || width < 1 ||
        width > static_cast<long>(kMaxPositionRecordSize))
      return false;
    field->width = static_cast<int32_t>(width);
  }
  return !field->name.empty() && field->name.size() < sizeof(DbsField{}.szName);
}

int create_file(int argc, char** argv) {
  if (argc < 1)
    return 2;
  std::vector<NewField> fields(std::begin(kDefaultFields), std::end(kDefaultFields));
  for (int i = 1; i < argc; ++i) {
    NewField f;
    if (!parse_field(argv[i], &f)) {
      fprintf(stderr, "labelhost: bad field %s (NAME or NAME:WIDTH, width 1..%u)\n", argv[i],
              kMaxPositionRecordSize);
      return 2;
    }
    fields.push_back(f);
  }
  uint64_t recordSize = 0;
  for (const NewField& f : fields)
    recordSize += static_cast<uint64_t>(f.width);
  if (fields.size() > kMaxPositionFieldCount || recordSize > kMaxPositionRecordSize) {
    fprintf(stderr, "labelhost: at most %u fields and %u bytes per record\n",
            kMaxPositionFieldCount, kMaxPositionRecordSize);
    return 2;
  }

  // The header's other bytes are the host's; a new file has them zero.
  const uint32_t length = kDbsInfoSize + kDbsFieldSize * static_cast<uint32_t>(fields.size());
  std::string bytes(length, '\0');
  put32(bytes, offsetof(DbsInfo, dwFileLength), length);
  put32(bytes, offsetof(DbsInfo, dwRecordSize), static_cast<uint32_t>(recordSize));
  put32(bytes, offsetof(DbsInfo, nRecordCount), 0);
  const uint16_t count = static_cast<uint16_t>(fields.size());
  memcpy(&bytes[offsetof(DbsInfo, wFieldCount)], &count, sizeof(count));
  int32_t offset = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t at = kDbsInfoSize + kDbsFieldSize * i;
    put32(bytes, at + offsetof(DbsField, nLength), static_cast<uint32_t>(fields[i].width));
    put32(bytes, at + offsetof(DbsField, nOffset), static_cast<uint32_t>(offset));
    memcpy(&bytes[at + offsetof(DbsField, szName)], fields[i].name.c_str(), fields[i].name.size());
    offset += fields[i].width;
  }
  if (!write_whole_file(argv[0], bytes))
    return 1;
  printf("created %s: %u fields, records of %u bytes\n", argv[0], count,
         static_cast<unsigned>(recordSize));
  return 0;
}

// A field's text as the driver reads it (up to the first NUL), printable.
std::string shown(const uint8_t* bytes, int32_t width) {
  std::string out = "\"";
  for (int32_t i = 0; i < width && bytes[i] != 0; ++i) {
    const uint8_t c = bytes[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

std::string field_name(const DbsField& f) {
  return std::string(f.szName, strnlen(f.szName, sizeof(f.szName)));
}

bool read_exact(HANDLE f, void* buf, DWORD size) {
  DWORD got = 0;
  return ReadFile(f, buf, size, &got, nullptr) && got == size;
}

int list_file(int argc, char** argv) {
  if (argc != 1)
    return 2;
  HANDLE f = CreateFileA(argv[0], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "labelhost: cannot open %s (error %lu)\n", argv[0], GetLastError());
    return 1;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(f, &size);
  int result = 1;
  DbsInfo info;
  std::vector<DbsField> fields;
  std::vector<uint8_t> record;
  PositionLayout layout;
  if (!read_exact(f, &info, sizeof(info))) {
    printf("%s: shorter than a header (%lld bytes)\n", argv[0], size.QuadPart);
    goto done;
  }
  printf("%s: %d records of %u bytes, %u fields, stored length %u, file length %lld\n", argv[0],
         info.nRecordCount, info.dwRecordSize, info.wFieldCount, info.dwFileLength, size.QuadPart);
  if (!CheckPositionHeader(info, static_cast<uint64_t>(size.QuadPart))) {
    printf("damaged: the counts, sizes or lengths do not fit the file\n");
    goto done;
  }
  fields.resize(info.wFieldCount);
  if (!read_exact(f, fields.data(), PositionDescriptorBytes(info)))
    goto done;
  printf("fields:");
  for (const DbsField& d : fields)
    printf(" %s %d@%d", field_name(d).c_str(), d.nLength, d.nOffset);
  printf("\n");
  if (!FindPositionFields(info, fields.data(), &layout)) {
    printf("damaged: a field the driver needs is missing or lies outside the record\n");
    goto done;
  }
  record.resize(info.dwRecordSize);
  for (int32_t i = 0; i < info.nRecordCount; ++i) {
    if (!read_exact(f, record.data(), info.dwRecordSize))
      goto done;
    printf("record %d:", i + 1);
    for (const DbsField& d : fields) {
      const bool inside = d.nOffset >= 0 && d.nLength >= 0 &&
                          int64_t{d.nOffset} + d.nLength <= int64_t{info.dwRecordSize};
      printf(" %s=%s", field_name(d).c_str(),
             inside ? shown(record.data() + d.nOffset, d.nLength).c_str() : "<outside the record>");
    }
    printf("\n");
  }
  result = 0;
done:
  CloseHandle(f);
  return result;
}

// The options of "set" and "get".
struct RecordArgs {
  const char* path;    // position file
  const char* format;  // --format
  const char* product; // --product (default empty)
  DWORD printer;       // --printer
  long start;          // --start
  long density;        // --density
  bool hasStart;       // --start given
  bool hasDensity;     // --density given
  bool hasPrinter;     // --printer given
};

bool parse_long(const char* text, long* value) {
  char* end = nullptr;
  *value = strtol(text, &end, 10);
  return end != text && *end == '\0';
}

bool parse_record_args(int argc, char** argv, RecordArgs* a) {
  *a = RecordArgs{};
  a->product = "";
  if (argc < 1)
    return false;
  a->path = argv[0];
  for (int i = 1; i + 1 < argc; i += 2) {
    const char* opt = argv[i];
    const char* val = argv[i + 1];
    if (strcmp(opt, "--format") == 0)
      a->format = val;
    else if (strcmp(opt, "--product") == 0)
      a->product = val;
    else if (strcmp(opt, "--printer") == 0)
      a->hasPrinter = ParsePrinterArg(val, &a->printer);
    else if (strcmp(opt, "--start") == 0)
      a->hasStart = parse_long(val, &a->start);
    else if (strcmp(opt, "--density") == 0)
      a->hasDensity = parse_long(val, &a->density);
    else
      return false;
  }
  return argc % 2 == 1 && a->format != nullptr && a->hasPrinter;
}

// An environment variable as it was before labelhost changed it.
struct EnvironmentValue {
  const char* name;
  bool set;          // it was set
  std::string value; // its value when set
};

EnvironmentValue replace_environment(const char* name, const char* value) {
  EnvironmentValue was{name, false, std::string(32767, '\0')};
  const DWORD n = GetEnvironmentVariableA(name, was.value.data(), 32767);
  was.set = n > 0 && n < 32767;
  was.value.resize(was.set ? n : 0);
  SetEnvironmentVariableA(name, value);
  return was;
}

void restore_environment(const EnvironmentValue& was) {
  SetEnvironmentVariableA(was.name, was.set ? was.value.c_str() : nullptr);
}

// Runs AccessPrintPositionDb on `path` the way the driver finds its file: a
// private INI file naming the file, and the module directory set to the
// file's folder (the ZoVav stand-in takes both from the environment).
int access_through_driver(const RecordArgs& a, int32_t* start, int32_t* density, int write) {
  char full[MAX_PATH];
  char* name = nullptr;
  const DWORD n = GetFullPathNameA(a.path, sizeof(full), full, &name);
  if (n == 0 || n >= sizeof(full) || name == nullptr || name == full) {
    fprintf(stderr, "labelhost: bad path %s\n", a.path);
    return 0;
  }
  const std::string fileName = name;
  name[-1] = '\0'; // full is now the folder
  char tempDir[MAX_PATH];
  char ini[MAX_PATH];
  if (GetTempPathA(sizeof(tempDir), tempDir) == 0 ||
      GetTempFileNameA(tempDir, "pos", 0, ini) == 0) {
    fprintf(stderr, "labelhost: no temporary INI file (error %lu)\n", GetLastError());
    return 0;
  }
  WritePrivateProfileStringA(kIniPrintAdjustSection, kIniPositionFileKey, fileName.c_str(), ini);
  // The host's own files come back afterwards, for the commands that follow
  // with "+" (init, check, print read the INI file through ZOVAV_INI).
  const EnvironmentValue hostIni = replace_environment("ZOVAV_INI", ini);
  const EnvironmentValue hostDir = replace_environment("ZOVAV_MODULE_DIR", full);
  const int result = AccessPrintPositionDb(static_cast<int>(a.printer), a.format, a.product, start,
                                           density, write);
  restore_environment(hostIni);
  restore_environment(hostDir);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini); // drop the cached copy
  DeleteFileA(ini);
  return result;
}

int set_record(int argc, char** argv) {
  RecordArgs a;
  if (!parse_record_args(argc, argv, &a) || !a.hasStart || !a.hasDensity)
    return 2;
  int32_t start = static_cast<int32_t>(a.start);
  int32_t density = static_cast<int32_t>(a.density);
  if (!access_through_driver(a, &start, &density, 1)) {
    printf("not stored: no file, a damaged file, or one the host cannot open for writing\n");
    return 1;
  }
  printf("stored: format \"%s\" product \"%s\" printer %lu: start %d density %d\n", a.format,
         a.product, a.printer, static_cast<int>(start), static_cast<int>(density));
  return 0;
}

int get_record(int argc, char** argv) {
  RecordArgs a;
  if (!parse_record_args(argc, argv, &a) || a.hasStart || a.hasDensity)
    return 2;
  int32_t start = 0;
  int32_t density = 0;
  if (!access_through_driver(a, &start, &density, 0)) {
    printf("not found: format \"%s\" product \"%s\" printer %lu\n", a.format, a.product, a.printer);
    return 1;
  }
  printf("found: format \"%s\" product \"%s\" printer %lu: start %d density %d\n", a.format,
         a.product, a.printer, static_cast<int>(start), static_cast<int>(density));
  return 0;
}

// The subcommands of posdb.
struct PosDbCommand {
  const char* name;        // first argument after "posdb"
  int (*run)(int, char**); // takes the arguments after the name
};
const PosDbCommand kPosDbCommands[] = {
    {"create", create_file},
    {"list", list_file},
    {"set", set_record},
    {"get", get_record},
};
} // namespace

int CmdPosDb(const DriverApi&, int argc, char** argv) {
  if (argc < 1)
    return 2;
  for (const PosDbCommand& c : kPosDbCommands)
    if (strcmp(argv[0], c.name) == 0)
      return c.run(argc - 1, argv + 1);
  return 2;
}
