// labelhost loopback COMn: the port, the adapter and the cable without the
// printer. A loopback jumper in place of the printer joins TX to RX, RTS to
// CTS and DTR to DSR; the command sends a known pattern and reads back what
// comes, then switches RTS and DTR off and on and reads CTS and DSR each
// time. Four things are told apart: a jumper (everything follows), a live
// device still plugged in (CTS or DSR stays on whatever RTS and DTR do),
// nothing attached (no byte comes back, no line is ever on) and a broken
// wire (some of it comes back). A broken wire lies between the PC and the
// jumper: with the jumper on the PC's own connector, the PC's port or USB
// adapter; at the cable's printer end, the cable too. When everything comes
// back, a failing check with the printer points at the printer or its
// settings.
//
// The port is set to the test's own line settings, without flow control, for
// the test only: its settings as they were are put back before it is closed
// (the driver keeps the port's flow control and DTR/RTS modes).
//
// Output lines:
//   loopback: the port and the test's line settings
//   data:     how many bytes of the pattern came back, and whether as sent
//   line:     whether CTS follows RTS and DSR follows DTR
//   result:   "all came back", or "FAILED: " a live device, nothing attached, or
//             the links that did not come back; then a hint
// Exit status 0 when everything came back, 1 otherwise, 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "labelhost/commands.h"
#include "labelhost/driver_api.h"
#include "labelhost/port_report.h"

namespace {
constexpr DWORD kPatternBytes = 256; // every byte value once
constexpr DWORD kSettleMs = 50;      // for a line to follow a change of RTS or DTR

bool refuse(const char* argument, const char* why) {
  fprintf(stderr, "labelhost loopback: %s: %s\n", argument, why);
  return false;
}

bool parse(int argc, char** argv, int* com, DWORD* baud) {
  if (argc == 0)
    return refuse("COMn", "the port to test is missing");
  *com = ComNumber(argv[0]);
  if (*com == 0)
    return refuse(argv[0], "not a port name (COM1 to COM255)");
  if (argc == 1)
    return true;
  if (strcmp(argv[1], "--baud") != 0)
    return refuse(argv[1], "no such option of loopback (--baud N)");
  if (argc == 2)
    return refuse(argv[1], "its value is missing");
  char* end = nullptr;
  const long b = strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != '\0' || b < 300 || b > 921600)
    return refuse(argv[2], "--baud takes a baud rate from 300 to 921600");
  *baud = static_cast<DWORD>(b);
  return argc == 3 || refuse(argv[3], "one port and --baud only");
}

// Sends the pattern and collects what comes back within the time the line
// needs for it twice, plus a second. The bytes received so far are read as
// they arrive (ClearCommError's count), so no read ever waits on its own.
std::string send_pattern(HANDLE h, DWORD baud, DWORD* written) {
  BYTE pattern[kPatternBytes];
  for (DWORD i = 0; i < kPatternBytes; ++i)
    pattern[i] = static_cast<BYTE>(i);
  *written = 0;
  WriteFile(h, pattern, kPatternBytes, written, nullptr);
  std::string back;
  const DWORD limit = 1000 + 2 * kPatternBytes * 10 * 1000 / baud;
  for (const DWORD start = GetTickCount();
       back.size() < kPatternBytes && GetTickCount() - start < limit;) {
    COMSTAT stat{};
    DWORD errors = 0;
    if (!ClearCommError(h, &errors, &stat) || stat.cbInQue == 0) {
      Sleep(10);
      continue;
    }
    char buf[kPatternBytes];
    DWORD n = 0;
    const DWORD want = stat.cbInQue < sizeof buf ? stat.cbInQue : sizeof buf;
    if (!ReadFile(h, buf, want, &n, nullptr))
      break;
    back.append(buf, n);
  }
  return back;
}

// Switches the line `out` (RTS or DTR) off and on with `clear` and `set`;
// true when the modem status bit `in` followed it both times. `seen` gets
// what the input line showed: "RTS off: CTS off; RTS on: CTS on"; `onCount`
// how many of the two times it was on.
bool follows(HANDLE h, const char* out, DWORD clear, DWORD set, const char* inName, DWORD in,
             std::string* seen, int* onCount) {
  bool followed = true;
  *onCount = 0;
  for (const DWORD fn : {clear, set}) {
    DWORD status = 0;
    EscapeCommFunction(h, fn);
    Sleep(kSettleMs);
    const bool read = GetCommModemStatus(h, &status) != FALSE;
    const bool on = (status & in) != 0;
    *onCount += read && on;
    followed = followed && read && on == (fn == set);
    *seen += std::string(fn == set ? "; " : "") + out + (fn == set ? " on: " : " off: ") + inName +
             (!read ? " unread"
              : on  ? " on"
                    : " off");
  }
  return followed;
}

int run(int com, DWORD baud) {
  printf("loopback: COM%d at %lu baud, 8 data bits, parity none, 1 stop bit, no flow control; "
         "a jumper joins TX-RX, RTS-CTS, DTR-DSR\n",
         com, baud);
  HANDLE h = INVALID_HANDLE_VALUE;
  const PortReading reading = ReadPort(com, &h);
  if (reading.state != PortState::Free) {
    printf("result: FAILED: COM%d %s\nhint: %s\n", com, PortStateText(reading).c_str(),
           PortHint(reading).c_str());
    return 1;
  }
  DCB kept = reading.dcb; // given back when the test ends
  DCB test = kept;
  test.BaudRate = baud;
  test.ByteSize = 8;
  test.Parity = NOPARITY;
  test.StopBits = ONESTOPBIT;
  test.fBinary = TRUE;
  test.fParity = FALSE;
  test.fOutxCtsFlow = test.fOutxDsrFlow = test.fDsrSensitivity = FALSE;
  test.fOutX = test.fInX = test.fNull = test.fAbortOnError = FALSE;
  test.fDtrControl = DTR_CONTROL_ENABLE;
  test.fRtsControl = RTS_CONTROL_ENABLE;
  // Writes end at the latest when the pattern has had its line time twice.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 1000 + 2 * kPatternBytes * 10 * 1000 / baud};
  if (!SetCommState(h, &test) || !SetCommTimeouts(h, &timeouts)) {
    const DWORD error = GetLastError();
    printf("result: FAILED: COM%d does not take these settings (error %lu%s%s)\n", com, error,
           *WindowsErrorMeaning(error) != '\0' ? ": " : "", WindowsErrorMeaning(error));
    SetCommState(h, &kept);
    CloseHandle(h);
    return 1;
  }
  PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR);

  DWORD written = 0;
  const std::string back = send_pattern(h, baud, &written);
  DWORD differ = 0, first = 0;
  for (DWORD i = 0; i < back.size(); ++i)
    if (static_cast<BYTE>(back[i]) != static_cast<BYTE>(i) && differ++ == 0)
      first = i;
  const bool dataBack = back.size() == kPatternBytes && differ == 0;
  printf("data: TX -> RX: %lu of %lu bytes sent, %u came back", written, kPatternBytes,
         static_cast<unsigned>(back.size()));
  if (back.empty())
    printf("\n");
  else if (differ == 0)
    printf(", all as sent\n");
  else
    printf(", %lu differ (the first at byte %lu: sent %02lX, came back %02X)\n", differ, first,
           first, static_cast<BYTE>(back[first]));

  std::string cts, dsr;
  int ctsOn = 0, dsrOn = 0;
  const bool ctsFollows = follows(h, "RTS", CLRRTS, SETRTS, "CTS", MS_CTS_ON, &cts, &ctsOn);
  const bool dsrFollows = follows(h, "DTR", CLRDTR, SETDTR, "DSR", MS_DSR_ON, &dsr, &dsrOn);
  printf("line: RTS -> CTS: %s (%s)\n", ctsFollows ? "follows" : "does not follow", cts.c_str());
  printf("line: DTR -> DSR: %s (%s)\n", dsrFollows ? "follows" : "does not follow", dsr.c_str());
  SetCommState(h, &kept);
  CloseHandle(h);

  if (dataBack && ctsFollows && dsrFollows) {
    printf("result: all came back: the PC's port, its adapter and the cable up to the jumper "
           "work; if the check fails with the printer, look at the printer and its settings\n");
    return 0;
  }
  // A live device holds its lines on whatever the PC does with its own.
  if (!ctsFollows && !dsrFollows && (ctsOn == 2 || dsrOn == 2)) {
    printf("result: FAILED: a live device, not a jumper: %s whatever %s do\n",
           ctsOn == 2 && dsrOn == 2 ? "CTS and DSR stay on"
           : ctsOn == 2             ? "CTS stays on"
                                    : "DSR stays on",
           ctsOn == 2 && dsrOn == 2 ? "RTS and DTR"
           : ctsOn == 2             ? "RTS"
                                    : "DTR");
    printf("hint: something powered is plugged into COM%d's line (the printer, switched on?): "
           "the PC's port reaches it; for this test unplug it and fit the loopback jumper "
           "(TX-RX, RTS-CTS, DTR-DSR) in its place\n",
           com);
    return 1;
  }
  if (back.empty() && ctsOn == 0 && dsrOn == 0) {
    printf("result: FAILED: nothing attached: no byte came back and CTS and DSR never came on\n");
    printf("hint: no jumper answers on COM%d: is the jumper fitted, and on this port's cable "
           "(labelhost ports lists them)? With it on the PC's own connector and still nothing, "
           "the PC's port or USB adapter is dead\n",
           com);
    return 1;
  }
  std::string missing;
  for (const auto& [ok, what] :
       {std::pair{dataBack, "TX -> RX"}, std::pair{ctsFollows, "RTS -> CTS"},
        std::pair{dsrFollows, "DTR -> DSR"}})
    if (!ok)
      missing += (missing.empty() ? "" : ", ") + std::string(what);
  printf("result: FAILED: %s\n", missing.c_str());
  printf("hint: %s\n",
         !dataBack ? "a broken wire: what is sent does not come back as sent: with the jumper on "
                     "the PC's own "
                     "connector the PC's port or USB adapter is at fault, with it at the cable's "
                     "printer end (and the PC passing) the cable; bytes that differ point at a "
                     "bad contact or an adapter that does not keep the baud rate"
                   : "a broken wire: the data comes back but a line does not follow: the cable or "
                     "adapter lacks "
                     "that wire (the printer's DSR must reach the PC: the driver calls a printer "
                     "without DSR not ready), or the jumper does not join it");
  return 1;
}
} // namespace

int CmdLoopback(const DriverApi&, int argc, char** argv) {
  int com = 0;
  DWORD baud = 9600;
  if (!parse(argc, argv, &com, &baud))
    return 2;
  return run(com, baud);
}
