// Host files for driver tests.
#include "support/host_environment.h"

#include <windows.h>

#include <cstdio>

namespace veldrin_test {

HostEnvironment::HostEnvironment() : dir_("veldrin-host") {
  if (!ready())
    return;
  SetEnvironmentVariableA("ZOVAV_INI", ini_path().c_str());
  SetEnvironmentVariableA("ZOVAV_DEBUG_LOG", dir_.file("debug.log").c_str());
  SetEnvironmentVariableA("ZOVAV_MODULE_DIR", dir_.path().c_str());
  write_ini("");
}

HostEnvironment::~HostEnvironment() {
  // The profile functions cache the file; let go of it before the folder goes.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_path().c_str());
  SetEnvironmentVariableA("ZOVAV_INI", nullptr);
  SetEnvironmentVariableA("ZOVAV_DEBUG_LOG", nullptr);
  SetEnvironmentVariableA("ZOVAV_MODULE_DIR", nullptr);
}

bool HostEnvironment::write_ini(const std::string& text) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_path().c_str());
  return write_file(ini_path(), text);
}

std::string HostEnvironment::printer_keys(int printer, int com, int baud, int widthMm, int dataBits,
                                          int stopBits, int parity) {
  char text[128];
  snprintf(text, sizeof(text), "VD%02d=%c#%05d#%d#%d#%d#\r\nVDMAX%02d=%d\r\n", printer - 1,
           static_cast<char>('0' + com), baud, dataBits, stopBits, parity, printer - 1, widthMm);
  return text;
}

std::vector<std::string> HostEnvironment::debug_lines() const {
  std::string text;
  read_file(dir_.file("debug.log"), &text);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    // A line that ends with its own CR LF loses that pair only.
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void HostEnvironment::clear_debug() {
  DeleteFileA(dir_.file("debug.log").c_str());
}

} // namespace veldrin_test
