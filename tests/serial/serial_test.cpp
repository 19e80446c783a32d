// The serial link against a simulated printer: port setup with the slot's
// line settings, exclusivity, teardown, the chunked send (bytes compared with
// what reached the printer), the read into the receive buffer, and handles
// counted over many open/close cycles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/slots.h"
#include "serial/port.h"
#include "serial/transfer.h"
#include "settings/store.h"
#include "support/process_counts.h"
#include "support/test_files.h"
#include "support/tlxsim_client.h"

namespace {
constexpr int kCom = 11;
constexpr uint8_t kSlot = 2;

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

class SerialLink : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    sim_ = new veldrin_test::TlxSim;
    std::string error;
    ASSERT_TRUE(sim_->start({.com = kCom, .options = "capture=on"}, &error)) << error;
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(sim_->running());
    ASSERT_TRUE(sim_->ok("rate fast"));
    ASSERT_TRUE(sim_->ok("dsr on"));
    SetDefaultPrinterSettings(kSlot);
    g_slots[kSlot].nComPort = kCom;
    g_slots[kSlot].pRecvBuf = g_recvBuffers[kSlot];
    g_slots[kSlot].dwRecvSize = kRecvBufferSize;
  }
  void TearDown() override {
    CloseCommPort(kSlot);
    memset(&g_slots[kSlot], 0, sizeof(PrinterSlot));
    sim_->command("reopen"); // a test may have cut the line
    sim_->command("reset");
  }

  bool open() {
    g_slots[kSlot].hComm = OpenCommPort(kSlot);
    return !IsPortClosed(g_slots[kSlot].hComm);
  }
  std::string captured() {
    std::string bytes;
    veldrin_test::read_file(sim_->out_dir() + "\\received.bin", &bytes);
    return bytes;
  }
  // Sends `data` through the slot's send buffer; the send's result.
  int send(std::string data) {
    g_slots[kSlot].pSendBuf = reinterpret_cast<BYTE*>(data.data());
    g_slots[kSlot].dwSendLen = static_cast<DWORD>(data.size());
    const int result = SendSlotBuffer(kSlot);
    g_slots[kSlot].pSendBuf = nullptr;
    return result;
  }

  static veldrin_test::TlxSim* sim_;
};
veldrin_test::TlxSim* SerialLink::sim_ = nullptr;
} // namespace

TEST_F(SerialLink, OpensWithTheSlotsLineSettings) {
  struct Case {
    DWORD baud;
    BYTE dataBits, parity, stopBits;
    const char *baudText, *dataText, *parityText, *stopText; // as the printer saw them
  } cases[] = {
      {9600, 8, NOPARITY, ONESTOPBIT, "9600", "8", "none", "1"},
      {19200, 7, EVENPARITY, TWOSTOPBITS, "19200", "7", "even", "2"},
      {57600, 8, ODDPARITY, ONESTOPBIT, "57600", "8", "odd", "1"},
      {38400, 7, NOPARITY, TWOSTOPBITS, "38400", "7", "none", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baudText);
    DCB& dcb = g_slots[kSlot].dcb;
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.dataBits;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stopBits;
    ASSERT_TRUE(open());
    EXPECT_EQ(c.baudText, sim_->settings("baud"));
    EXPECT_EQ(c.dataText, sim_->settings("data"));
    EXPECT_EQ(c.parityText, sim_->settings("parity"));
    EXPECT_EQ(c.stopText, sim_->settings("stop"));
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(g_slots[kSlot].hComm, &t));
    EXPECT_EQ(MAXDWORD, t.ReadIntervalTimeout);
    EXPECT_EQ(0u, t.ReadTotalTimeoutConstant);
    EXPECT_EQ(5000u, t.WriteTotalTimeoutConstant);
    EXPECT_NE(nullptr, g_slots[kSlot].hEvent);
    CloseCommPort(kSlot);
  }
}

TEST_F(SerialLink, OtherLineSettingsStayAsThePortHadThem) {
  // Someone else leaves the port with hardware flow control and DTR off.
  char name[32];
  snprintf(name, sizeof(name), "\\\\.\\COM%d", kCom);
  HANDLE other = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);
  DCB before{};
  before.DCBlength = sizeof(before);
  ASSERT_TRUE(GetCommState(other, &before));
  before.fOutxCtsFlow = TRUE;
  before.fRtsControl = RTS_CONTROL_HANDSHAKE;
  before.fDtrControl = DTR_CONTROL_DISABLE;
  before.BaudRate = 1200;
  ASSERT_TRUE(SetCommState(other, &before));
  ASSERT_TRUE(GetCommState(other, &before));
  CloseHandle(other);

  ASSERT_TRUE(open());
  DCB after{};
  after.DCBlength = sizeof(after);
  ASSERT_TRUE(GetCommState(g_slots[kSlot].hComm, &after));
  EXPECT_EQ(before.fOutxCtsFlow, after.fOutxCtsFlow);
  EXPECT_EQ(before.fRtsControl, after.fRtsControl);
  EXPECT_EQ(before.fDtrControl, after.fDtrControl);
  EXPECT_EQ(before.fOutX, after.fOutX);
  EXPECT_EQ(before.fInX, after.fInX);
  EXPECT_EQ(before.fBinary, after.fBinary);
  EXPECT_EQ(before.XonChar, after.XonChar);
  EXPECT_EQ(before.XoffChar, after.XoffChar);
  EXPECT_EQ(9600u, after.BaudRate) << "the slot's own members are applied";
  EXPECT_EQ(8, after.ByteSize);
}

TEST_F(SerialLink, TheSamePortCannotBeOpenedTwice) {
  ASSERT_TRUE(open());
  HANDLE second = OpenCommPort(kSlot);
  EXPECT_EQ(INVALID_HANDLE_VALUE, second);
  if (second != INVALID_HANDLE_VALUE)
    CloseHandle(second);
}

TEST_F(SerialLink, ClosingANeverOpenedSlotTouchesNoHandle) {
  memset(&g_slots[kSlot], 0, sizeof(PrinterSlot));
  CloseCommPort(kSlot);
  EXPECT_EQ(INVALID_HANDLE_VALUE, g_slots[kSlot].hComm);
  EXPECT_EQ(nullptr, g_slots[kSlot].hEvent);
}

TEST_F(SerialLink, AFailedOpenStillDropsTheKeptBitmapAndMakesNoEvent) {
  g_slots[kSlot].nComPort = 0; // there is no COM0
  g_slots[kSlot].hBitmap = CreateBitmap(8, 8, 1, 1, nullptr);
  ASSERT_NE(nullptr, g_slots[kSlot].hBitmap);
  const HBITMAP kept = g_slots[kSlot].hBitmap;
  EXPECT_EQ(INVALID_HANDLE_VALUE, OpenCommPort(kSlot));
  EXPECT_EQ(nullptr, g_slots[kSlot].hBitmap);
  EXPECT_FALSE(DeleteObject(kept)) << "the bitmap was deleted";
  EXPECT_EQ(nullptr, g_slots[kSlot].hEvent);
}

TEST_F(SerialLink, OpenAndCloseLeaveNoHandleBehind) {
  ASSERT_TRUE(open());
  CloseCommPort(kSlot);
  const size_t before = veldrin_test::CountOpenHandles();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(open()) << "cycle " << i;
    CloseCommPort(kSlot);
  }
  const size_t after = veldrin_test::CountOpenHandles();
  printf("handles before %zu, after 200 open/close cycles %zu\n", before, after);
  EXPECT_LE(after, before);
  EXPECT_EQ(INVALID_HANDLE_VALUE, g_slots[kSlot].hComm);
  EXPECT_EQ(nullptr, g_slots[kSlot].hEvent);
  // The count sees an open port: its handle and its event.
  ASSERT_TRUE(open());
  EXPECT_EQ(before + 2, veldrin_test::CountOpenHandles());
}

TEST_F(SerialLink, EveryByteArrivesInOrder) {
  for (const char* rate : {"fast", "19200"}) {
    for (size_t size : {1u, 256u, 257u, 600u, 4096u}) {
      SCOPED_TRACE(testing::Message() << rate << " " << size);
      ASSERT_TRUE(sim_->ok(std::string("rate ") + rate));
      ASSERT_TRUE(sim_->ok("reset"));
      ASSERT_TRUE(open());
      const std::string data = pattern(size);
      const DWORD start = GetTickCount();
      EXPECT_EQ(0, send(data));
      const DWORD elapsed = GetTickCount() - start;
      ASSERT_TRUE(veldrin_test::wait_until([&] { return captured().size() >= size; }, 10000));
      EXPECT_EQ(data, captured());
      if (std::string(rate) != "fast") {
        // Each chunk waits until the line has drained it: the whole send takes
        // at least the line time of all but the last few bytes.
        const DWORD lineMs = static_cast<DWORD>(size * 10 * 1000 / 19200);
        printf("%zu bytes at 19200 baud: %lu ms (line time %lu ms)\n", size, elapsed, lineMs);
        EXPECT_GE(elapsed + 20, lineMs);
      }
      CloseCommPort(kSlot);
    }
  }
}

TEST_F(SerialLink, AnEmptyBufferIsSentWithoutThePort) {
  g_slots[kSlot].hComm = INVALID_HANDLE_VALUE;
  EXPECT_EQ(0, send(""));
  EXPECT_EQ(-1, send("x")) << "anything more needs an open port";
}

TEST_F(SerialLink, ALineCutMidSendFailsTheSend) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(sim_->ok("close after 300"));
  EXPECT_EQ(-1, send(pattern(2000)));
}

TEST_F(SerialLink, TheReadAppendsToTheReceiveBuffer) {
  ASSERT_TRUE(open());
  PrinterSlot& s = g_slots[kSlot];
  s.dwReceived = 0;
  // Nothing waiting: still a success, nothing added, the tick refreshed.
  s.dwLastRecvTick = 0;
  EXPECT_EQ(0, ReadOverlapped(kSlot, 300));
  EXPECT_EQ(0u, s.dwReceived);
  EXPECT_NE(0u, s.dwLastRecvTick);

  ASSERT_TRUE(sim_->ok("send 1B 4F 30"));
  ASSERT_TRUE(veldrin_test::wait_until(
      [&] { return ReadOverlapped(kSlot, 300) == 0 && s.dwReceived == 3; }, 3000));
  ASSERT_TRUE(sim_->ok("send 30 31 32 0D"));
  ASSERT_TRUE(veldrin_test::wait_until(
      [&] { return ReadOverlapped(kSlot, 300) == 0 && s.dwReceived == 7; }, 3000));
  EXPECT_EQ(0, memcmp(s.pRecvBuf, "\x1BO0012\r", 7));
}

TEST_F(SerialLink, TheReadNeverWritesPastTheBuffer) {
  ASSERT_TRUE(open());
  PrinterSlot& s = g_slots[kSlot];
  BYTE buffer[16];
  memset(buffer, '~', sizeof(buffer));
  s.pRecvBuf = buffer;
  s.dwRecvSize = 10;
  s.dwReceived = 8;
  ASSERT_TRUE(sim_->ok("send 41 42 43 44 45 46 47 48 49 4A 4B 4C"));
  ASSERT_TRUE(veldrin_test::wait_until(
      [&] { return ReadOverlapped(kSlot, 300) == 0 && s.dwReceived == 10; }, 3000));
  EXPECT_EQ(0, memcmp(buffer + 8, "AB", 2));
  for (int i = 10; i < 16; ++i)
    EXPECT_EQ('~', buffer[i]) << "byte " << i;
  // A full buffer asks for nothing and still succeeds.
  EXPECT_EQ(0, ReadOverlapped(kSlot, 300));
  EXPECT_EQ(10u, s.dwReceived);
  s.pRecvBuf = g_recvBuffers[kSlot];
}

TEST_F(SerialLink, ModemLinesGoUpDtrFirst) {
  ASSERT_TRUE(open());
  EXPECT_EQ("0", sim_->status("dtr"));
  EXPECT_EQ(1, SetTxEventMask(g_slots[kSlot].hComm));
  EXPECT_EQ(1, RaiseModemLines(g_slots[kSlot].hComm));
  EXPECT_EQ("1", sim_->status("dtr"));
  EXPECT_EQ("1", sim_->status("rts"));
  EXPECT_EQ(0, RaiseModemLines(INVALID_HANDLE_VALUE));
  EXPECT_EQ(0, SetTxEventMask(INVALID_HANDLE_VALUE));
}
