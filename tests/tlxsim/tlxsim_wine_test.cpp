// The simulator seen from a Windows program under Wine, through \\.\COMn opened for overlapped
// I/O as the driver opens it: DSR and line events, DTR/RTS and line settings reaching the
// simulator, transmitter-empty at the line rate, reply frames, faults, line cuts and reopening,
// and a printed label read back with WIC.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/png_image.h"
#include "support/test_files.h"
#include "support/tlxsim_client.h"

using veldrin_test::Pixels;
using veldrin_test::SimPrinter;
using veldrin_test::TlxSim;

namespace {

constexpr int kCom = 9; // a port the driver's own tests leave alone

const std::string ESC = "\x1b";
const std::string CR = "\r";

// A COM port opened like the driver opens it, with the helpers of an overlapped transfer.
class Port {
public:
  Port() {
    const std::string name = "\\\\.\\COM" + std::to_string(kCom);
    handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    error = GetLastError();
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // With the ports pinned in the prefix, Wine opens a COM port that has nothing behind it as a
    // bare device on which every serial call fails: usable means GetCommState works too, which
    // is how the driver's open finds out.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle != INVALID_HANDLE_VALUE && !GetCommState(handle, &dcb)) {
      error = GetLastError();
      CloseHandle(handle);
      handle = INVALID_HANDLE_VALUE;
    }
    if (handle != INVALID_HANDLE_VALUE) {
      COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 5000}; // reads return at once with what has come
      SetCommTimeouts(handle, &t);
    }
  }
  ~Port() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
    CloseHandle(event);
  }
  bool open() const { return handle != INVALID_HANDLE_VALUE; } // opened and usable

  // WriteFile, waited for.
  bool write(const std::string& data) {
    OVERLAPPED ov{};
    ov.hEvent = event;
    DWORD n = 0;
    BOOL ok = WriteFile(handle, data.data(), DWORD(data.size()), &n, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
      WaitForSingleObject(event, 10000);
      ok = GetOverlappedResult(handle, &ov, &n, FALSE);
    }
    ResetEvent(event);
    return ok && n == data.size();
  }

  // WaitCommEvent, waited for at most `ms`; the event mask, or 0 if none came.
  DWORD wait_event(DWORD ms) {
    OVERLAPPED ov{};
    ov.hEvent = event;
    DWORD mask = 0, n = 0;
    if (!WaitCommEvent(handle, &mask, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING)
        return 0;
      if (WaitForSingleObject(event, ms) != WAIT_OBJECT_0) {
        CancelIo(handle);
        GetOverlappedResult(handle, &ov, &n, TRUE);
        mask = 0;
      } else if (!GetOverlappedResult(handle, &ov, &n, FALSE)) {
        mask = 0;
      }
    }
    ResetEvent(event);
    return mask;
  }

  // The driver's send: pieces of 256 bytes, each followed by a wait for the transmitter to empty.
  bool send_in_pieces(const std::string& data) {
    for (size_t pos = 0; pos < data.size(); pos += 256) {
      if (!SetCommMask(handle, EV_TXEMPTY | EV_DSR | EV_BREAK | EV_ERR))
        return false;
      if (!write(data.substr(pos, 256)))
        return false;
      if (!(wait_event(10000) & EV_TXEMPTY))
        return false;
    }
    return true;
  }

  // Reads what is queued until `n` bytes came or `ms` passed. Only bytes already in the input
  // queue are asked for: Wine leaves a read on an empty pty pending.
  std::string read(size_t n, DWORD ms) {
    std::string got;
    veldrin_test::wait_until(
        [&] {
          COMSTAT st{};
          DWORD errors = 0;
          if (ClearCommError(handle, &errors, &st) && st.cbInQue > 0) {
            std::string buf(st.cbInQue, '\0');
            OVERLAPPED ov{};
            ov.hEvent = event;
            DWORD r = 0;
            BOOL ok = ReadFile(handle, buf.data(), DWORD(buf.size()), &r, &ov);
            if (!ok && GetLastError() == ERROR_IO_PENDING) {
              WaitForSingleObject(event, 1000);
              ok = GetOverlappedResult(handle, &ov, &r, FALSE);
              if (!ok) {
                CancelIo(handle);
                GetOverlappedResult(handle, &ov, &r, TRUE);
              }
            }
            ResetEvent(event);
            if (ok)
              got.append(buf.data(), r);
          }
          return got.size() >= n;
        },
        ms);
    return got;
  }

  bool set_line(DWORD baud, BYTE bits, BYTE parity, BYTE stop) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
      return false;
    dcb.BaudRate = baud;
    dcb.ByteSize = bits;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    return SetCommState(handle, &dcb);
  }

  DWORD modem_status() {
    DWORD s = 0xdeadbeef;
    return GetCommModemStatus(handle, &s) ? s : 0xdeadbeef;
  }

  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;
  DWORD error = 0; // GetLastError of the open
};

class WineRoundTrip : public testing::Test {
protected:
  void SetUp() override { start(SimPrinter{kCom, 12, 0, "fast", 0, ""}); }
  void start(const SimPrinter& p) {
    std::string error;
    ASSERT_TRUE(sim.start(p, &error)) << error;
  }
  TlxSim sim;
};

TEST_F(WineRoundTrip, DsrIsOnAndFollowsTheSimulator) {
  Port port;
  ASSERT_TRUE(port.open()) << "CreateFile error " << port.error;
  EXPECT_EQ(port.modem_status(), DWORD(MS_DSR_ON | MS_CTS_ON));
  ASSERT_TRUE(sim.ok("dsr off"));
  EXPECT_EQ(port.modem_status(), DWORD(MS_CTS_ON));
  ASSERT_TRUE(sim.ok("dsr on"));
  EXPECT_EQ(port.modem_status(), DWORD(MS_DSR_ON | MS_CTS_ON));
}

TEST_F(WineRoundTrip, DsrChangeWakesACommEventWait) {
  Port port;
  ASSERT_TRUE(port.open());
  ASSERT_TRUE(SetCommMask(port.handle, EV_DSR));
  OVERLAPPED ov{};
  ov.hEvent = port.event;
  DWORD mask = 0, n = 0;
  SetLastError(0xdeadbeef);
  ASSERT_FALSE(WaitCommEvent(port.handle, &mask, &ov));
  ASSERT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  Sleep(50);
  ASSERT_TRUE(sim.ok("dsr off"));
  ASSERT_EQ(WaitForSingleObject(port.event, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetOverlappedResult(port.handle, &ov, &n, FALSE));
  EXPECT_EQ(mask, DWORD(EV_DSR));
}

TEST_F(WineRoundTrip, LineSettingsReachTheSimulatorAndReadBack) {
  Port port;
  ASSERT_TRUE(port.open());
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(port.set_line(19200, 7, EVENPARITY, TWOSTOPBITS)) << GetLastError();
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(port.handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.Parity, EVENPARITY);
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("data") == "7"; }, 3000));
  EXPECT_EQ(sim.settings("baud"), "19200");
  EXPECT_EQ(sim.settings("parity"), "even");
  EXPECT_EQ(sim.settings("stop"), "2");

  ASSERT_TRUE(port.set_line(9600, 8, ODDPARITY, ONESTOPBIT));
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("parity") == "odd"; }, 3000));
  EXPECT_EQ(sim.settings("baud"), "9600");
  EXPECT_EQ(sim.settings("data"), "8");
  EXPECT_EQ(sim.settings("stop"), "1");
}

TEST_F(WineRoundTrip, DtrAndRtsReachTheSimulator) {
  Port port;
  ASSERT_TRUE(port.open());
  ASSERT_TRUE(EscapeCommFunction(port.handle, CLRDTR));
  ASSERT_TRUE(EscapeCommFunction(port.handle, CLRRTS));
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("dtr") == "0"; }, 3000));
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(EscapeCommFunction(port.handle, SETDTR)) << GetLastError();
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("dtr") == "1"; }, 3000));
  EXPECT_EQ(sim.settings("rts"), "0");
  ASSERT_TRUE(EscapeCommFunction(port.handle, SETRTS));
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("rts") == "1"; }, 3000));
  EXPECT_NE(sim.wait_log("lines dtr=1 rts=1", 3000), -1);
  ASSERT_TRUE(EscapeCommFunction(port.handle, CLRDTR));
  EXPECT_TRUE(veldrin_test::wait_until([&] { return sim.settings("dtr") == "0"; }, 3000));
  EXPECT_EQ(port.modem_status(), DWORD(MS_DSR_ON | MS_CTS_ON)) << "host lines are not echoed";
}

TEST_F(WineRoundTrip, PrintJobGivesRepliesAndALabel) {
  ASSERT_TRUE(sim.ok("pace 20"));
  Port port;
  ASSERT_TRUE(port.open());
  // 16 dots x 2 rows at x = 24, y = 1: row 0 all black, row 1 the pattern 0x5A 0x0F.
  std::string job = ESC + "Z1" + CR + ESC + "M000" + CR + ESC + "K012" + CR + ESC + "A51" + CR +
                    ESC + "B0024000100040002" + "????5:0?" + CR + ESC + "P0002" + CR + ESC + "R" +
                    CR;
  ASSERT_TRUE(port.send_in_pieces(job));
  EXPECT_EQ(port.read(14, 5000), ESC + "O0001" + CR + ESC + "O0000" + CR);
  ASSERT_TRUE(sim.wait_labels(2, 3000));
  EXPECT_EQ(sim.number("received"), static_cast<long long>(job.size()));
  EXPECT_NE(sim.wait_log("image x=24 y=1 bytes=2 height=2 rows=2 data=8", 1000), -1);

  Pixels label;
  std::string error;
  ASSERT_TRUE(veldrin_test::read_png(sim.label_path(2), &label, &error)) << error;
  EXPECT_EQ(label.width, 1272);
  EXPECT_EQ(label.height, 3);
  EXPECT_EQ(label.count_black(), 16u + 8u);
  EXPECT_EQ(label.count_black(24, 1, 16, 1), 16u);
  // 0x5A = 01011010 at dots 24..31, 0x0F at dots 36..39
  for (int x : {25, 27, 28, 30, 36, 37, 38, 39})
    EXPECT_TRUE(label.is_black(x, 2)) << x;
  EXPECT_EQ(label.count_black(0, 0, 1272, 1), 0u);
}

TEST_F(WineRoundTrip, ThrottledLineMakesTransmitterEmptyTakeLineTime) {
  ASSERT_TRUE(sim.ok("rate 9600"));
  Port port;
  ASSERT_TRUE(port.open());
  const std::string data(600, '0'); // raster characters: no command, nothing to answer
  const DWORD t0 = GetTickCount();
  ASSERT_TRUE(port.send_in_pieces(data));
  const DWORD ms = GetTickCount() - t0;
  std::printf("600 bytes in pieces of 256 at 9600 baud: %lu ms (line time 625 ms)\n",
              static_cast<unsigned long>(ms));
  EXPECT_GE(ms, 500u) << "960 bytes per second: the transmitter cannot be empty sooner";
  EXPECT_EQ(sim.number("received"), 600);

  // At the rate the host sets on the port.
  ASSERT_TRUE(sim.ok("rate line"));
  ASSERT_TRUE(port.set_line(19200, 8, NOPARITY, ONESTOPBIT));
  const DWORD t1 = GetTickCount();
  ASSERT_TRUE(port.send_in_pieces(data));
  const DWORD ms2 = GetTickCount() - t1;
  std::printf("600 bytes at the port's 19200 baud: %lu ms (line time 313 ms)\n",
              static_cast<unsigned long>(ms2));
  EXPECT_GE(ms2, 250u);

  ASSERT_TRUE(sim.ok("rate fast"));
  const DWORD t2 = GetTickCount();
  ASSERT_TRUE(port.send_in_pieces(data));
  std::printf("600 bytes on a fast line: %lu ms\n",
              static_cast<unsigned long>(GetTickCount() - t2));
}

TEST_F(WineRoundTrip, ErrorReplyInsteadOfPrinting) {
  ASSERT_TRUE(sim.ok("error F"));
  Port port;
  ASSERT_TRUE(port.open());
  ASSERT_TRUE(port.send_in_pieces(ESC + "P0001" + CR + ESC + "R" + CR));
  EXPECT_EQ(port.read(3, 5000), ESC + "F" + CR);
  EXPECT_EQ(sim.number("labels"), 0);
}

TEST_F(WineRoundTrip, GarbageAndPartialFramesArriveAsSent) {
  Port port;
  ASSERT_TRUE(port.open());
  ASSERT_TRUE(sim.ok("send 00 FF 1B 4F 30"));
  EXPECT_EQ(port.read(5, 3000), std::string("\x00\xff\x1bO0", 5));
}

TEST_F(WineRoundTrip, LineErrorsEndTheTransmitterWait) {
  Port port;
  ASSERT_TRUE(port.open());
  for (const char* fault : {"frame", "break"}) {
    ASSERT_TRUE(SetCommMask(port.handle, EV_TXEMPTY | EV_DSR | EV_BREAK | EV_ERR));
    OVERLAPPED ov{};
    ov.hEvent = port.event;
    DWORD mask = 0, n = 0;
    ASSERT_FALSE(WaitCommEvent(port.handle, &mask, &ov));
    ASSERT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    ASSERT_TRUE(sim.ok(std::string("fault ") + fault));
    ASSERT_EQ(WaitForSingleObject(port.event, 5000), WAIT_OBJECT_0) << fault;
    ASSERT_TRUE(GetOverlappedResult(port.handle, &ov, &n, FALSE));
    ResetEvent(port.event);
    EXPECT_EQ(mask, DWORD(std::string(fault) == "frame" ? EV_ERR : EV_BREAK)) << fault;
  }
}

TEST_F(WineRoundTrip, CutLineFailsTheHostAndReopenRecovers) {
  {
    Port port;
    ASSERT_TRUE(port.open());
    ASSERT_TRUE(sim.ok("close"));
    EXPECT_FALSE(port.write(ESC + "Z1" + CR)) << "the line is gone";
  }
  {
    Port port;
    EXPECT_FALSE(port.open()) << "nothing to open while the line is cut";
  }
  ASSERT_TRUE(sim.ok("reopen"));
  Port port;
  ASSERT_TRUE(port.open()) << "CreateFile error " << port.error;
  ASSERT_TRUE(port.send_in_pieces(ESC + "P0001" + CR + ESC + "R" + CR));
  EXPECT_EQ(port.read(7, 5000), ESC + "O0000" + CR);
}

TEST_F(WineRoundTrip, CutInTheMiddleOfAJob) {
  ASSERT_TRUE(sim.ok("close after 300"));
  Port port;
  ASSERT_TRUE(port.open());
  EXPECT_FALSE(port.send_in_pieces(std::string(1024, '0'))) << "the send fails part way";
  EXPECT_EQ(sim.number("received"), 300) << sim.command("status");
}

TEST_F(WineRoundTrip, PortOpenedAndClosedManyTimes) {
  for (int i = 0; i < 15; ++i) {
    Port port;
    ASSERT_TRUE(port.open()) << "open " << i << " error " << port.error;
    ASSERT_TRUE(port.set_line(9600, 8, NOPARITY, ONESTOPBIT));
    ASSERT_EQ(port.modem_status() & MS_DSR_ON, DWORD(MS_DSR_ON));
    ASSERT_TRUE(port.send_in_pieces(ESC + "P0001" + CR + ESC + "R" + CR));
    ASSERT_EQ(port.read(7, 5000), ESC + "O0000" + CR) << "round " << i;
  }
  EXPECT_EQ(sim.number("labels"), 15);
}

TEST(WineSimulator, PortIsExclusive) {
  TlxSim sim;
  std::string error;
  ASSERT_TRUE(sim.start(SimPrinter{kCom, 8, 0, "fast", 0, ""}, &error)) << error;
  Port first;
  ASSERT_TRUE(first.open());
  Port second;
  EXPECT_FALSE(second.open());
  EXPECT_EQ(sim.status("model"), "8");
}

TEST(WineSimulator, StopFreesThePort) {
  {
    TlxSim sim;
    std::string error;
    ASSERT_TRUE(sim.start(SimPrinter{kCom, 12, 0, "fast", 0, ""}, &error)) << error;
    sim.stop();
    EXPECT_FALSE(sim.running());
    EXPECT_EQ(sim.command("ping").rfind("err channel", 0), 0u);
  }
  Port port;
  EXPECT_FALSE(port.open()) << "no printer behind the port any more";
}

} // namespace
