// The host application's side of a test.
#include "support/host.h"

#include <cstdio>
#include <cstring>

namespace veldrin_test {

HostFiles::HostFiles() : dir_("veldrin-host") {
  SetEnvironmentVariableA("ZOVAV_INI", ini_path().c_str());
  SetEnvironmentVariableA("ZOVAV_DEBUG_LOG", dir_.file("debug.log").c_str());
  SetEnvironmentVariableA("ZOVAV_MODULE_DIR", dir().c_str());
  write_ini("");
}

HostFiles::~HostFiles() {
  // The profile functions cache the file; let go of it before the folder goes.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_path().c_str());
  for (const char* name : {"ZOVAV_INI", "ZOVAV_DEBUG_LOG", "ZOVAV_MODULE_DIR"})
    SetEnvironmentVariableA(name, nullptr);
}

bool HostFiles::write_ini(const std::string& text) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_path().c_str());
  SetFileAttributesA(ini_path().c_str(), FILE_ATTRIBUTE_NORMAL);
  return write_file(ini_path(), text);
}

std::vector<std::string> HostFiles::debug_lines() const {
  std::vector<std::string> lines;
  const std::string text = read_file(dir_.file("debug.log"));
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (lines.back().size() && lines.back().back() == '\r')
      lines.back().pop_back(); // a line that brought its own CR LF
  }
  return lines;
}

void HostFiles::clear_debug() {
  DeleteFileA(dir_.file("debug.log").c_str());
}

std::string PrinterKeys(int printer, int com, int baud, int widthMm, int dataBits, int stopBits,
                        int parity) {
  char text[96];
  snprintf(text, sizeof text, "VD%02d=%c#%05d#%d#%d#%d#\r\nVDMAX%02d=%d\r\n", printer - 1,
           '0' + com, baud, dataBits, stopBits, parity, printer - 1, widthMm);
  return text;
}

HostJob::HostJob(WORD typeCode, WORD widthTenthMm, WORD lengthTenthMm) {
  PrintData data{};
  data.wTypeCode = typeCode;
  data.wDotsPer10mm = typeCode == 261 ? 120 : 80;
  SetUpJobRecords(this, widthTenthMm, lengthTenthMm, 5, 12, data);
}

} // namespace veldrin_test
