// The host application's files for one test: a private INI file (ZOVAV_INI),
// a debug log that receives every OutputDebugStringEx line (ZOVAV_DEBUG_LOG)
// and a module directory (ZOVAV_MODULE_DIR), all in a temporary folder. The
// ZoVav.dll stand-in reads these variables on every call, so a test can set
// them after the driver has been loaded.
#pragma once

#include <string>
#include <vector>

#include "support/test_files.h"

namespace veldrin_test {

class HostEnvironment {
public:
  HostEnvironment();
  ~HostEnvironment();
  HostEnvironment(const HostEnvironment&) = delete;
  HostEnvironment& operator=(const HostEnvironment&) = delete;

  bool ready() const { return !dir_.path().empty(); }
  const std::string& dir() const { return dir_.path(); }
  std::string ini_path() const { return dir_.file("HOST.INI"); }

  // Replaces the INI file with exactly this text.
  bool write_ini(const std::string& text);
  // Adds the serial settings and width keys of one printer (1..8) to the INI
  // text: "VDnn=C#BBBBB#D#S#P#" for COM `com`, `baud`, data bits, stop bits
  // code (0 one, 1 one and a half, 2 two) and parity code (0 none, 1 odd,
  // 2 even), and "VDMAXnn=width".
  static std::string printer_keys(int printer, int com, int baud = 9600, int widthMm = 53,
                                  int dataBits = 8, int stopBits = 0, int parity = 0);

  // The debug lines written since the last clear, one per OutputDebugStringEx
  // call (without their line ends).
  std::vector<std::string> debug_lines() const;
  void clear_debug();

private:
  TempDir dir_;
};

} // namespace veldrin_test
