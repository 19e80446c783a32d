// The host application's side of a test: its files (a private INI file, the
// debug log that receives every OutputDebugStringEx line, the module folder
// where the print position file lives; the ZoVav.dll stand-in reads them from
// the environment on every call) and its records for one print job.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "labelhost/job_records.h"
#include "tlxsim/client/files.h"

namespace veldrin_test {
// The simulator's client and its file helpers, as the tests' own.
using namespace tlxsim;

class HostFiles {
public:
  HostFiles();
  ~HostFiles();
  const std::string& dir() const { return dir_.path(); }
  std::string ini_path() const { return dir_.file("HOST.INI"); }
  bool write_ini(const std::string& text);      // replaces the INI file
  std::vector<std::string> debug_lines() const; // since the last clear, without line ends
  void clear_debug();

private:
  TempDir dir_;
};

// The INI lines of one printer (1..8): "VDnn=C#BBBBB#D#S#P#" and "VDMAXnn=W".
std::string PrinterKeys(int printer, int com, int baud = 57600, int widthMm = 56, int dataBits = 8,
                        int stopBits = 0, int parity = 0);

// A host's records for one job (labelhost's), with the print conditions at density 5 and start
// position "012", and the print data of the model (type 261: 120 dots per 10 mm; 264: 80).
struct HostJob : JobRecords {
  HostJob(WORD typeCode, WORD widthTenthMm, WORD lengthTenthMm);
  HostJob(const HostJob&) = delete; // info points into this record
  void add_extra(const char* text) { AddExtraRecord(this, text); }
};

} // namespace veldrin_test
