// Test streams for the printer simulator, written out byte for byte from the printer's command
// table (ESC = 0x1B, CR = 0x0D) so that tests do not reuse the simulator's own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlxsim_test {

inline const std::string ESC = "\x1b";
inline const std::string CR = "\r";

inline std::string clear_cmd() {
  return ESC + "Z1" + CR;
}
inline std::string stop_cmd() {
  return ESC + "Z1" + CR + ESC + "S" + CR;
}
// Condition command, 12 dot/mm: ESC M 000 CR ESC K sss CR ESC A c 1 CR.
inline std::string condition12(const std::string& start, char density) {
  return ESC + "M000" + CR + ESC + "K" + start + CR + ESC + "A" + density + "1" + CR;
}
// Condition command, 8 dot/mm: ESC M lll0 CR ESC K sss CR ESC A c 1 CR.
inline std::string condition8(const std::string& length3, const std::string& start, char density) {
  return ESC + "M" + length3 + "0" + CR + ESC + "K" + start + CR + ESC + "A" + density + "1" + CR;
}
inline std::string print_cmd(const std::string& quantity4) {
  return ESC + "P" + quantity4 + CR + ESC + "R" + CR;
}
inline std::string print_no_number() {
  return ESC + "P" + CR + ESC + "R" + CR;
}

// Two characters per byte as sent: '0' + high nibble, '0' + low nibble (a set bit prints).
inline std::string raster(const std::vector<uint8_t>& sent) {
  std::string s;
  for (uint8_t b : sent) {
    s += char('0' + (b >> 4));
    s += char('0' + (b & 15));
  }
  return s;
}

// Image-area header with the fields given as the literal characters that go on the line.
inline std::string image_header(const std::string& x4, const std::string& y4, const std::string& w,
                                const std::string& h) {
  return ESC + "B" + x4 + y4 + w + h;
}

} // namespace tlxsim_test
