// Command-line options of `tlxsim serve` and the small value parsers the control protocol shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tlxsim/printer.h"

namespace tlxsim {

// How fast the simulator takes bytes off the line.
struct LineRate {
  enum Mode : uint8_t {
    Fast,  // as fast as they come
    Fixed, // `baud` bits per second, ten bits per byte
    Line,  // at the speed the host set on the port (fast until it sets one)
  };
  Mode mode = Fast;  // which of the above
  uint32_t baud = 0; // Fixed: bits per second
};

// What stands at the far end of the line instead of the printer.
enum class Loopback : uint8_t {
  Off,  // the printer
  Data, // a jumper from TX to RX: every byte comes back; the lines are the printer's
  Lines // that jumper, and RTS to CTS, DTR to DSR: CTS follows RTS, DSR follows DTR
};

// One simulated printer and its line.
struct PortOptions {
  std::string link;         // symbolic link made to the pty slave; "" for none
  std::string name;         // name in the control protocol and on printed lines
  PrinterConfig printer;    // model, head width, pace
  LineRate rate;            // drain rate of the line
  std::string out;          // folder for label PNGs and the log
  bool save = true;         // keep every printed label as a PNG
  bool dsr = true;          // DSR line on
  bool cts = true;          // CTS line on
  char error = 0;           // answer print orders with this error letter (0: print)
  uint32_t error_count = 0; // how many print orders get the error (UINT32_MAX: all)
  bool silent = false;      // print, but send no reply frames
  int64_t close_after = -1; // cut the line after this many bytes (-1: never)
  bool capture = false;     // keep every byte taken off the line in <out>/received.bin
  std::string line;         // the printer's own line settings (settings_text form); "" any
  Loopback loopback{};      // a loopback jumper instead of the printer (Off)
};

struct ServeOptions {
  std::vector<PortOptions> ports; // one per --port
  int control_port = 0;           // TCP port on 127.0.0.1; 0 = any free port
  std::string ready_file;         // written once everything is up
  bool owned = false;             // exit when the first control client goes away
  uint32_t max_seconds = 0;       // exit after this long; 0 = never
  bool quiet = false;             // do not echo log lines on stdout
  std::string lines_dir;          // folder of the line-state files; "" = from the environment
};

// "on"/"off" (also 1/0, yes/no).
bool parse_switch(const std::string& text, bool* value);
// "fast", "line" or a positive number of bits per second.
bool parse_rate(const std::string& text, LineRate* rate);
std::string rate_text(const LineRate& rate);
// "on" (data and lines), "data" (data only) or "off".
bool parse_loopback(const std::string& text, Loopback* loopback);
const char* loopback_text(Loopback loopback);
// A decimal number within [min, max].
bool parse_number(const std::string& text, uint64_t min, uint64_t max, uint64_t* value);
// The printer's own line settings, "BAUD-DATA-PARITY-STOP" (57600-8-none-1), in the form the
// control channel reports the host's: "baud=57600 data=8 parity=none stop=1".
bool parse_line_settings(const std::string& text, std::string* settings);
// Hexadecimal bytes, spaces allowed between them ("1B 4F 30").
bool parse_hex(const std::string& text, std::string* bytes);

// One --port value: LINK[,key=value]... where LINK is a path, "comN" (the link comN in
// `com_dir`) or "-" for no link. `index` numbers unnamed ports.
bool parse_port_arg(const std::string& arg, const std::string& com_dir, size_t index,
                    PortOptions* port, std::string* error);
// The arguments after "serve".
bool parse_serve_args(const std::vector<std::string>& args, const std::string& com_dir,
                      ServeOptions* options, std::string* error);
// Where a Wine prefix wants the link of port comN: its serial-ports folder when it has one (the
// ports are pinned there, so that Wine's mount manager leaves them alone), else dosdevices.
// "" for no prefix.
std::string com_link_dir(const std::string& wineprefix);

} // namespace tlxsim
