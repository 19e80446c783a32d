// The serial settings string kept in the host's INI file for each printer:
// 14 characters "P#BBBBB#D#S#Y#" (port, baud rate, data bits, stop bits code,
// parity code). Pure code: parsing never trusts the text it is given.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kSerialStringLength = 14;    // characters written
inline constexpr size_t kSerialStringMinLength = 13; // characters needed to read it

// The five values the string carries.
struct SerialSettings {
  int32_t nComPort;    // n of COMn
  uint32_t dwBaudRate; // bits per second
  uint8_t byteSize;    // data bits, 7 or 8
  uint8_t stopBits;    // 0 one, 1 one and a half, 2 two
  uint8_t parity;      // 0 none, 1 odd, 2 even
};

// What a printer uses when the INI file has no string it can read: COM3,
// 9600 baud, 8 data bits, one stop bit, no parity.
inline constexpr SerialSettings kDefaultSerialSettings = {3, 9600, 8, 0, 0};

// Highest port number the one-character port field can hold ('0' + 207 is 0xFF).
inline constexpr int32_t kMaxStoredComPort = 207;

// Reads the values from the first `length` characters of `text`. A string of
// fewer than 13 characters is not read: returns false and leaves `out` as it
// was. Characters are not checked: each field is its character code minus '0'
// (the port as an unsigned byte), the baud rate the decimal value of its five
// characters.
bool ParseSerialString(const char* text, size_t length, SerialSettings* out);

// Writes the 14 characters and a terminating NUL to `out`. A port number the
// one-character field cannot hold (below 1 or above 207) is written as '0', so
// that it loads back as "no port" and fails to open, rather than as some other
// port that happens to share its low byte.
void FormatSerialString(const SerialSettings& settings, char out[kSerialStringLength + 1]);
