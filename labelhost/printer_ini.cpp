// Reading a printer's INI keys the way the driver does.
#include "labelhost/printer_ini.h"

#include <cstdio>

#include "settings/ini_layout.h"
#include "settings/store.h"

namespace {
const char* const kParityNames[] = {"none", "odd", "even"};
const char kParityLetters[] = "NOE";
const char* const kStopBitNames[] = {"1", "1.5", "2"};

const char* stop_bits(const SerialSettings& s) {
  return s.stopBits < 3 ? kStopBitNames[s.stopBits] : "?";
}
} // namespace

PrinterIni ReadPrinterIni(DWORD printer) {
  const char* ini = HostIniPath();
  PrinterIni p{ini != nullptr ? ini : "", kDefaultSerialSettings, false,
               static_cast<UINT>(kDefaultMaxWidthMm)};
  char key[16];
  char text[512] = "";
  snprintf(key, sizeof key, kIniSerialKeyFormat, static_cast<int>(printer - 1));
  const DWORD n = GetPrivateProfileStringA(kIniDriverSection, key, "", text, sizeof text, ini);
  p.serialFromIni = ParseSerialString(text, n, &p.serial);
  snprintf(key, sizeof key, kIniMaxWidthKeyFormat, static_cast<int>(printer - 1));
  p.maxWidthMm = GetPrivateProfileIntA(kIniDriverSection, key, kDefaultMaxWidthMm, ini);
  return p;
}

std::string LineSettingsText(const SerialSettings& s) {
  char text[128];
  snprintf(text, sizeof text, "COM%d, %lu baud, %u data bits, %s stop bit%s, parity %s", s.nComPort,
           static_cast<unsigned long>(s.dwBaudRate), s.byteSize, stop_bits(s),
           s.stopBits == 0 ? "" : "s", s.parity < 3 ? kParityNames[s.parity] : "?");
  return text;
}

std::string LineSettingsShort(const SerialSettings& s) {
  char text[64];
  snprintf(text, sizeof text, "COM%d %lu %u-%c-%s", s.nComPort,
           static_cast<unsigned long>(s.dwBaudRate), s.byteSize,
           s.parity < 3 ? kParityLetters[s.parity] : '?', stop_bits(s));
  return text;
}

std::string ModeText(const SerialSettings& s) {
  char text[64];
  snprintf(text, sizeof text, "COM%d,%lu,%u,%c,%s", s.nComPort,
           static_cast<unsigned long>(s.dwBaudRate), s.byteSize,
           s.parity < 3 ? kParityLetters[s.parity] : '?', stop_bits(s));
  return text;
}
