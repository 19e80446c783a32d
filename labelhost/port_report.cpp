// The kit's own look at a COM port. Windows answers an open of a port that
// another handle holds with ERROR_ACCESS_DENIED, and gives the same error to a
// user whom the port's security refuses: the two cannot be told apart from
// the open alone (that would take the list of every process's handles, which
// needs administrator rights). COM ports are normally open to every user, so
// on a present port the error almost always means another program holds it.
#include "labelhost/port_report.h"

#include <cstdio>
#include <cstdlib>

#include "labelhost/driver_api.h"

int ComNumber(const char* name) {
  if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
    return 0;
  char* end = nullptr;
  const long n = strtol(name + 3, &end, 10);
  return end != name + 3 && *end == '\0' && n >= 1 && n <= 255 ? static_cast<int>(n) : 0;
}

PortReading ReadPort(int com, HANDLE* keep) {
  PortReading r;
  r.com = com;
  char name[24];
  snprintf(name, sizeof name, "\\\\.\\COM%d", com);
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    r.error = GetLastError();
    r.state = r.error == ERROR_ACCESS_DENIED    ? PortState::Held
              : r.error == ERROR_FILE_NOT_FOUND ? PortState::NotPresent
                                                : PortState::Failed;
    return r;
  }
  r.dcb.DCBlength = sizeof r.dcb;
  if (!GetCommState(h, &r.dcb)) {
    r.error = GetLastError();
    r.state = PortState::NoDevice;
  } else {
    r.state = PortState::Free;
    r.modemRead = GetCommModemStatus(h, &r.modemStatus) != FALSE;
    if (keep != nullptr)
      return *keep = h, r;
  }
  CloseHandle(h);
  return r;
}

std::string PortStateText(const PortReading& r) {
  char text[160];
  switch (r.state) {
  case PortState::Free:
    return "free";
  case PortState::Held:
    snprintf(text, sizeof text, "in use by another program, or access denied (error %lu)", r.error);
    break;
  case PortState::NotPresent:
    snprintf(text, sizeof text, "not present (error %lu)", r.error);
    break;
  case PortState::NoDevice:
    snprintf(text, sizeof text,
             "opens, but no serial port answers behind it (GetCommState: error %lu)", r.error);
    break;
  case PortState::Failed:
    snprintf(text, sizeof text, "cannot be opened (error %lu%s%s)", r.error,
             *WindowsErrorMeaning(r.error) != '\0' ? ": " : "", WindowsErrorMeaning(r.error));
    break;
  }
  return text;
}

namespace {
const char* on_off(bool on) {
  return on ? "on" : "off";
}
} // namespace

std::string KeptFlagsText(const DCB& dcb) {
  static const char* const kDtr[] = {"disable", "enable", "handshake", "?"};
  static const char* const kRts[] = {"disable", "enable", "handshake", "toggle"};
  char text[240];
  snprintf(text, sizeof text,
           "CTS flow %s, DSR flow %s, DSR sensitivity %s, DTR control %s, RTS control %s, "
           "XON/XOFF out %s, in %s",
           on_off(dcb.fOutxCtsFlow), on_off(dcb.fOutxDsrFlow), on_off(dcb.fDsrSensitivity),
           kDtr[dcb.fDtrControl & 3], kRts[dcb.fRtsControl & 3], on_off(dcb.fOutX),
           on_off(dcb.fInX));
  return text;
}

std::string BehindPortText(const PortReading& r) {
  if (!r.modemRead)
    return "its lines unread (GetCommModemStatus failed)";
  const DWORD s = r.modemStatus;
  std::string text = std::string("CTS ") + on_off(s & MS_CTS_ON) + ", DSR " + on_off(s & MS_DSR_ON);
  if (s & (MS_CTS_ON | MS_DSR_ON))
    return text + ": something powered holds " +
           ((s & MS_CTS_ON) && (s & MS_DSR_ON) ? "them" : "it") +
           " on (a printer switched on, or a loopback jumper)";
  return text + ": nothing powered behind it (nothing attached, a printer switched off, or a "
                "cable without these wires)";
}

std::string ModemLinesText(DWORD s) {
  char text[64];
  snprintf(text, sizeof text, "CTS %s, DSR %s, RLSD %s, RI %s", on_off(s & MS_CTS_ON),
           on_off(s & MS_DSR_ON), on_off(s & MS_RLSD_ON), on_off(s & MS_RING_ON));
  return text;
}

std::vector<std::string> FlowWarnings(int com, const DCB& dcb, DWORD s) {
  std::vector<std::string> warnings;
  char text[400];
  if (dcb.fOutxCtsFlow && !(s & MS_CTS_ON)) {
    snprintf(text, sizeof text,
             "COM%d sends only while CTS is on (CTS flow control, kept by the driver) and CTS is "
             "off: no label will go out. Turn it off (mode COM%d octs=off) or use a cable that "
             "carries the printer's CTS",
             com, com);
    warnings.push_back(text);
  }
  if (dcb.fOutxDsrFlow && !(s & MS_DSR_ON)) {
    snprintf(text, sizeof text,
             "COM%d sends only while DSR is on (DSR flow control, kept by the driver) and DSR is "
             "off: no label will go out. Turn it off (mode COM%d odsr=off) or use a cable that "
             "carries the printer's DSR",
             com, com);
    warnings.push_back(text);
  }
  if (dcb.fDsrSensitivity && !(s & MS_DSR_ON)) {
    snprintf(text, sizeof text,
             "COM%d ignores what it receives while DSR is off (DSR sensitivity, kept by the "
             "driver) and DSR is off: the printer's replies are lost. Turn it off (mode COM%d "
             "idsr=off) or use a cable that carries the printer's DSR",
             com, com);
    warnings.push_back(text);
  }
  return warnings;
}

std::string PortHint(const PortReading& r) {
  char text[400];
  switch (r.state) {
  case PortState::Held:
    snprintf(text, sizeof text,
             "cable and port: COM%d is in use by another program (or this user may not open it: "
             "Windows gives both the same error); close the host application and any terminal, "
             "modem or other program using the port, and run the check again",
             r.com);
    break;
  case PortState::NotPresent:
    snprintf(text, sizeof text,
             "cable and port: COM%d is not on this PC; is the port number right (the INI file's "
             "settings for the driver), is the port in Device Manager (Ports (COM & LPT)), is "
             "the USB adapter plugged in? labelhost ports lists the ports Windows knows",
             r.com);
    break;
  case PortState::NoDevice:
    snprintf(text, sizeof text,
             "cable and port: COM%d opens, but no serial port answers behind it; is it the "
             "printer's port (the INI file's settings above), is its adapter plugged in and its "
             "driver working (Device Manager)?",
             r.com);
    break;
  case PortState::Free:
    snprintf(text, sizeof text,
             "cable and port: COM%d opens for labelhost now, but the driver's open failed; the "
             "port may not take the INI file's line settings (baud rate, data bits, parity, "
             "stop bits), or another program held it for a moment",
             r.com);
    break;
  case PortState::Failed:
    snprintf(text, sizeof text,
             "cable and port: COM%d cannot be opened (error %lu); check the port in Device "
             "Manager",
             r.com, r.error);
    break;
  }
  return text;
}
