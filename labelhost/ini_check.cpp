// Checking the INI file and the driver's keys in it before the check uses them.
#include "labelhost/ini_check.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "labelhost/driver_api.h"
#include "settings/ini_layout.h"

namespace {
// The baud rates a Windows port takes that fit the string's five digits.
constexpr unsigned kBaudRates[] = {110,  300,   600,   1200,  2400,  4800,
                                   9600, 14400, 19200, 38400, 56000, 57600};

bool is_baud(unsigned long baud) {
  for (const unsigned b : kBaudRates)
    if (b == baud)
      return true;
  return false;
}

std::string character(size_t at, char c) {
  char text[64];
  if (isprint(static_cast<unsigned char>(c)))
    snprintf(text, sizeof text, "character %u is '%c'", static_cast<unsigned>(at + 1), c);
  else
    snprintf(text, sizeof text, "character %u is byte %02X", static_cast<unsigned>(at + 1),
             static_cast<unsigned char>(c));
  return text;
}

// A plain decimal number, perhaps with spaces around it.
bool plain_number(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  if (first == std::string::npos)
    return false;
  for (size_t i = first; i <= last; ++i)
    if (!isdigit(static_cast<unsigned char>(text[i])))
      return false;
  return last - first < 9;
}

// Splits at any of `separators`, dropping empty pieces.
std::vector<std::string> split(const std::string& text, const char* separators) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : text + separators[0]) {
    if (strchr(separators, c) == nullptr) {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  return parts;
}

bool number(const std::string& text, long* out) {
  char* end = nullptr;
  *out = strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && isdigit(static_cast<unsigned char>(text[0]));
}

// "COM12", "12", or one character of the driver's port field.
bool port_field(const std::string& text, bool driverOrder, int32_t* port) {
  long n = 0;
  if (text.size() > 3 && _strnicmp(text.c_str(), "COM", 3) == 0 && number(text.substr(3), &n))
    *port = static_cast<int32_t>(n);
  else if (number(text, &n))
    *port = static_cast<int32_t>(n);
  else if (driverOrder && text.size() == 1)
    *port = static_cast<unsigned char>(text[0]) - '0';
  else
    return false;
  return *port >= 1 && *port <= kMaxStoredComPort;
}

bool parity_field(const std::string& text, uint8_t* parity) {
  static const char* const kNames[3][3] = {
      {"0", "N", "NONE"}, {"1", "O", "ODD"}, {"2", "E", "EVEN"}};
  for (uint8_t p = 0; p < 3; ++p)
    for (const char* name : kNames[p])
      if (_stricmp(text.c_str(), name) == 0)
        return *parity = p, true;
  return false;
}
} // namespace

IniFile CheckIniFile(const char* given) {
  IniFile f;
  f.given = given != nullptr ? given : "";
  if (f.given.empty()) {
    f.state = "none named";
    f.problem = "the host library names no INI file";
    return f;
  }
  if (f.given.front() == '"' || f.given.back() == '"') {
    f.resolved = f.given;
    f.error = ERROR_INVALID_NAME;
    f.state = "quotes in its name";
    f.problem = "the name has quotes in it: set ZOVAV_INI=\"...\" keeps the quotes in the value; "
                "set it without them (set ZOVAV_INI=C:\\path\\HOST.INI), even with spaces in it";
    return f;
  }
  // A name without a folder is looked for in the Windows folder, not the
  // current one; any other name is taken from the current folder on.
  char full[MAX_PATH] = "";
  if (f.given.find_first_of("\\/") == std::string::npos) {
    GetWindowsDirectoryA(full, MAX_PATH);
    f.resolved = std::string(full) + "\\" + f.given;
  } else {
    const DWORD n = GetFullPathNameA(f.given.c_str(), MAX_PATH, full, nullptr);
    f.resolved = n > 0 && n < MAX_PATH ? full : f.given;
  }
  const DWORD attributes = GetFileAttributesA(f.resolved.c_str());
  HANDLE h = attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? INVALID_HANDLE_VALUE
                 : CreateFileA(f.resolved.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    f.state = "there, readable";
    return f;
  }
  f.error = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                ? ERROR_DIRECTORY
                : GetLastError();
  const bool bare = f.given.find_first_of("\\/") == std::string::npos;
  const char* meaning = WindowsErrorMeaning(f.error);
  f.state = (f.error == ERROR_DIRECTORY ? std::string("a folder") : "cannot be read") + " (error " +
            std::to_string(f.error) + (*meaning != '\0' ? ": " : "") + meaning + ")";
  f.problem = f.error == ERROR_FILE_NOT_FOUND || f.error == ERROR_PATH_NOT_FOUND
                  ? std::string("there is no such file") +
                        (bare ? " (a name without a folder is looked for in the Windows folder, "
                                "not in the current one: give the full path)"
                              : "")
              : f.error == ERROR_DIRECTORY
                  ? std::string("it is a folder, not a file")
                  : std::string("it cannot be read: ") + WindowsErrorMeaning(f.error);
  return f;
}

std::string SerialStringProblem(const std::string& s) {
  char text[200];
  if (s.size() < kSerialStringMinLength) {
    snprintf(text, sizeof text,
             "it has %u characters; the driver reads the string only from 13 on, and uses its "
             "defaults (COM3, 9600 baud, 8 data bits, 1 stop bit, parity none) instead",
             static_cast<unsigned>(s.size()));
    return text;
  }
  // Position by position, as the driver reads it: the first wrong one counts.
  for (size_t at = 0; at < s.size() && at < kSerialStringLength; ++at) {
    const char c = s[at];
    if (at == 0 && (static_cast<unsigned char>(c) - '0' < 1 ||
                    static_cast<unsigned char>(c) - '0' > kMaxStoredComPort))
      return character(0, c) + ": the port, one character: '1' for COM1 ... '9' for COM9";
    if ((at == 1 || at == 7 || at == 9 || at == 11 || at == 13) && c != '#')
      return character(at, c) + " where a '#' belongs (the string is P#BBBBB#D#S#Y#)";
    if (at >= 2 && at <= 6 && !isdigit(static_cast<unsigned char>(c)))
      return character(at, c) +
             ": characters 3 to 7 are the baud rate in five digits, with a leading zero below "
             "10000 (09600, 19200, 57600)";
    if (at == 6 && !is_baud(strtoul(s.substr(2, 5).c_str(), nullptr, 10)))
      return "characters 3 to 7 give " + s.substr(2, 5) +
             " baud, which no port takes (09600, 19200, 38400, 57600)";
    if (at == 8 && c != '7' && c != '8')
      return character(8, c) + ": the data bits, 7 or 8";
    if (at == 10 && (c < '0' || c > '2'))
      return character(10, c) + ": the stop bits, 0 for one, 1 for one and a half, 2 for two";
    if (at == 12 && (c < '0' || c > '2'))
      return character(12, c) + ": the parity, 0 none, 1 odd, 2 even";
  }
  return "";
}

bool IntendedSerialSettings(const std::string& text, SerialSettings* out) {
  // The driver's order keeps its '#'; anything else is read as "mode" writes it.
  const bool driverOrder = text.find('#') != std::string::npos;
  const std::vector<std::string> f = split(text, driverOrder ? "#" : ", :;/\t");
  SerialSettings s = kDefaultSerialSettings;
  long baud = 0, data = 0;
  size_t i = 0;
  if (f.size() != 5 || !port_field(f[i++], driverOrder, &s.nComPort))
    return false;
  if (!number(f[i++], &baud) || !is_baud(static_cast<unsigned long>(baud)) ||
      !number(f[i++], &data) || (data != 7 && data != 8))
    return false;
  s.dwBaudRate = static_cast<uint32_t>(baud);
  s.byteSize = static_cast<uint8_t>(data);
  const std::string& a = f[i];
  const std::string& b = f[i + 1];
  if (driverOrder) {
    if (a.size() != 1 || a[0] < '0' || a[0] > '2' || !parity_field(b, &s.parity))
      return false;
    s.stopBits = static_cast<uint8_t>(a[0] - '0');
  } else {
    if (!parity_field(a, &s.parity))
      return false;
    if (b == "1" || b == "1.5" || b == "2")
      s.stopBits = b == "1" ? 0 : b == "2" ? 2 : 1;
    else
      return false;
  }
  *out = s;
  return true;
}

std::vector<IniKey> ReadIniKeys(const std::string& ini, DWORD printer) {
  char serialKey[16], widthKey[16];
  snprintf(serialKey, sizeof serialKey, kIniSerialKeyFormat, static_cast<int>(printer - 1));
  snprintf(widthKey, sizeof widthKey, kIniMaxWidthKeyFormat, static_cast<int>(printer - 1));
  std::vector<IniKey> keys = {
      {kIniDriverSection, serialKey, false, "", "COM3, 9600 baud, 8 data bits, 1 stop bit", ""},
      {kIniDriverSection, widthKey, false, "", std::to_string(kDefaultMaxWidthMm) + " mm", ""},
      {kIniDriverSection, kIniReplyTimeoutKey, false, "",
       std::to_string(kDefaultReplyTimeoutMs) + " ms", ""},
      {kIniSystemSection, kIniWaitWriteTimeKey, false, "",
       std::to_string(kDefaultWaitWriteTimeMs) + " ms", ""},
      {kIniPrintAdjustSection, kIniPositionFileKey, false, "", kDefaultPositionFile, ""},
  };
  static const char kAbsent[] = "\x7F(absent)";
  for (IniKey& k : keys) {
    char text[512] = "";
    GetPrivateProfileStringA(k.section.c_str(), k.name.c_str(), kAbsent, text, sizeof text,
                             ini.c_str());
    k.present = strcmp(text, kAbsent) != 0;
    k.text = k.present ? text : "";
    if (!k.present)
      continue;
    if (&k == &keys[0])
      k.problem = SerialStringProblem(k.text);
    else if (&k != &keys[4] && !plain_number(k.text))
      k.problem = "not a number";
  }
  return keys;
}
