// Reading labelhost's capture files.
#include "tlxsim/capture.h"

#include <cstdlib>
#include <sstream>

namespace tlxsim {

bool read_capture(const std::string& text, std::string* sent) {
  static const char kFirstLine[] = "# VELDRIN capture";
  if (text.compare(0, sizeof kFirstLine - 1, kFirstLine) != 0)
    return false;
  std::string toPort, toFile;
  std::istringstream lines(text);
  std::string line, time, direction, hex;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    if (line.empty() || line[0] == '#' || !(words >> time >> direction >> hex) ||
        (direction != ">" && direction != "="))
      continue;
    std::string& bytes = direction == ">" ? toPort : toFile;
    // Whole bytes only: a damaged line gives what it holds up to the damage.
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      const std::string two = hex.substr(i, 2);
      char* end = nullptr;
      const long byte = std::strtol(two.c_str(), &end, 16);
      if (*end != '\0')
        break;
      bytes.push_back(static_cast<char>(byte));
    }
  }
  *sent = toPort.empty() ? toFile : toPort;
  return true;
}

} // namespace tlxsim
