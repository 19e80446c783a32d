// The settings store against a real INI file: defaults, the serial settings
// string read and written character by character, keys by slot index, and
// what every load resets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/exports.h"
#include "driver/slots.h"
#include "settings/store.h"
#include "tests/settings/ini_fixture.h"

namespace {
// The serial values a slot holds after a load.
struct Loaded {
  DWORD port;
  DWORD baud;
  BYTE dataBits;
  BYTE stopBits;
  BYTE parity;
};

constexpr Loaded kDefaults{3, 9600, 8, 0, 0};

Loaded loaded(uint8_t slot) {
  const PrinterSlot& s = g_slots[slot];
  return {s.nComPort, s.dcb.BaudRate, s.dcb.ByteSize, s.dcb.StopBits, s.dcb.Parity};
}

void expect_loaded(const Loaded& expected, uint8_t slot) {
  const Loaded got = loaded(slot);
  EXPECT_EQ(expected.port, got.port);
  EXPECT_EQ(expected.baud, got.baud);
  EXPECT_EQ(expected.dataBits, got.dataBits);
  EXPECT_EQ(expected.stopBits, got.stopBits);
  EXPECT_EQ(expected.parity, got.parity);
}

// Fills a slot and its format block with values no load would produce.
void scribble(uint8_t slot) {
  memset(&g_slots[slot], 0x5A, sizeof(PrinterSlot));
  g_slots[slot].hComm = nullptr;
  g_slots[slot].hEvent = nullptr;
  g_slots[slot].hBitmap = nullptr;
  memset(&g_formatBlocks[slot], 0x5A, sizeof(LabelFormatBlock));
}

class SettingsStore : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    for (uint8_t i = 0; i < kSlotCount; ++i)
      scribble(i);
  }
  void TearDown() override {
    for (uint8_t i = 0; i < kSlotCount; ++i) {
      memset(&g_slots[i], 0, sizeof(PrinterSlot));
      memset(&g_formatBlocks[i], 0, sizeof(LabelFormatBlock));
    }
    IniFixture::TearDown();
  }
};
} // namespace

TEST_F(SettingsStore, NoFileGivesEveryDefault) {
  WriteIni("", false);
  g_slots[0].nErrorCode = 60806;
  EXPECT_EQ(1, LoadPrinterSettings(0));
  const PrinterSlot& s = g_slots[0];
  expect_loaded(kDefaults, 0);
  EXPECT_EQ(53u, s.nMaxWidth);
  EXPECT_EQ(256, s.dcb.XonLim);
  EXPECT_EQ(256, s.dcb.XoffLim);
  EXPECT_EQ(0x1A, s.dcb.EofChar);
  EXPECT_EQ(0xFFFFFFFFu, s.timeouts.ReadIntervalTimeout);
  EXPECT_EQ(0u, s.timeouts.ReadTotalTimeoutMultiplier);
  EXPECT_EQ(0u, s.timeouts.ReadTotalTimeoutConstant);
  EXPECT_EQ(0u, s.timeouts.WriteTotalTimeoutMultiplier);
  EXPECT_EQ(5000u, s.timeouts.WriteTotalTimeoutConstant);
  EXPECT_EQ(1024u, s.dwInQueue);
  EXPECT_EQ(512u, s.dwOutQueue);
  EXPECT_EQ(0u, s.nErrorCode);
  EXPECT_EQ(0, memcmp(g_formatBlocks[0].achImageX, "0000", 4));
  EXPECT_EQ(0, memcmp(g_formatBlocks[0].achImageY, "0000", 4));
  // The rest of the block is not the defaults' business.
  EXPECT_EQ(0x5A, static_cast<BYTE>(g_formatBlocks[0].achStartPos[0]));
  EXPECT_EQ(0x5A, static_cast<BYTE>(g_formatBlocks[0].achImageWidth[0]));
  EXPECT_EQ(0x5A5A5A5Au, g_formatBlocks[0].bPositionFound);
}

TEST_F(SettingsStore, SerialStringIsReadByPosition) {
  struct Case {
    const char* value; // VD00 as stored
    Loaded expected;
  } cases[] = {
      {"3#09600#8#0#0#", {3, 9600, 8, 0, 0}},
      {"3#09600#8#0#0", {3, 9600, 8, 0, 0}}, // 13 characters are enough
      {"3#09600#8#0#", kDefaults},           // 12 are not
      {"", kDefaults},
      {"1#57600#7#2#2#", {1, 57600, 7, 2, 2}},
      {"<#09600#8#0#0#", {12, 9600, 8, 0, 0}},
      {"A#19200#8#1#1#", {17, 19200, 8, 1, 1}},
      {"/#09600#8#0#0#", {0xFFFFFFFF, 9600, 8, 0, 0}}, // below '0': negative
      {"5#96x00#8#0#0#", {5, 96, 8, 0, 0}},            // conversion stops at 'x'
      {"5#abcde#8#0#0#", {5, 0, 8, 0, 0}},
      {"5#-9600#8#0#0#", {5, 0xFFFFDA80, 8, 0, 0}},
      {"5#0960012#9#9#", {5, 9600, 2, 9, 9}}, // separators are not examined
      {"9X38400Y7Z1Q2!", {9, 38400, 7, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    WriteIni(std::string("[VELDRIN Info]\r\nVD00=") + c.value + "\r\n");
    LoadPrinterSettings(0);
    expect_loaded(c.expected, 0);
  }
}

TEST_F(SettingsStore, OverlongStringReadsItsFirstFields) {
  WriteIni("[VELDRIN Info]\r\nVD00=2#19200#7#0#1#" + std::string(3000, 'Z') + "\r\n");
  LoadPrinterSettings(0);
  expect_loaded({2, 19200, 7, 0, 1}, 0);
}

TEST_F(SettingsStore, ShortStringStillLoadsTheWidth) {
  WriteIni("[VELDRIN Info]\r\nVD00=3#09600#8#0#\r\nVDMAX00=112\r\n");
  LoadPrinterSettings(0);
  expect_loaded(kDefaults, 0);
  EXPECT_EQ(112u, g_slots[0].nMaxWidth);
}

TEST_F(SettingsStore, WidthIsLoadedUnchecked) {
  struct Case {
    const char* value; // VDMAX00 as stored, or null for absent
    DWORD expected;
  } cases[] = {{nullptr, 53}, {"112", 112}, {"80", 80}, {"106", 106}, {"0", 0}, {"9999", 9999}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "absent");
    WriteIni(c.value ? std::string("[VELDRIN Info]\r\nVDMAX00=") + c.value + "\r\n" : "");
    LoadPrinterSettings(0);
    EXPECT_EQ(c.expected, g_slots[0].nMaxWidth);
  }
}

TEST_F(SettingsStore, KeysCarryTheSlotIndex) {
  WriteIni("[VELDRIN Info]\r\nVD00=1#19200#8#0#0#\r\nVDMAX00=56\r\n"
           "VD01=2#38400#8#0#0#\r\nVDMAX01=106\r\n"
           "VD07=8#57600#7#2#2#\r\nVDMAX07=112\r\n");
  LoadPrinterSettings(0);
  expect_loaded({1, 19200, 8, 0, 0}, 0);
  EXPECT_EQ(56u, g_slots[0].nMaxWidth);
  LoadPrinterSettings(7);
  expect_loaded({8, 57600, 7, 2, 2}, 7);
  EXPECT_EQ(112u, g_slots[7].nMaxWidth);
  LoadPrinterSettings(3);
  expect_loaded(kDefaults, 3);
}

TEST_F(SettingsStore, EveryLoadStartsFromTheDefaults) {
  WriteIni("[VELDRIN Info]\r\nVD00=1#19200#7#0#0#\r\n");
  LoadPrinterSettings(0);
  g_slots[0].timeouts.WriteTotalTimeoutConstant = 1;
  g_slots[0].dwInQueue = 7;
  g_slots[0].dcb.XonLim = 1;
  g_slots[0].nErrorCode = 60809;
  g_slots[0].dcb.BaudRate = 1200; // changed in memory, never saved
  LoadPrinterSettings(0);
  expect_loaded({1, 19200, 7, 0, 0}, 0);
  EXPECT_EQ(5000u, g_slots[0].timeouts.WriteTotalTimeoutConstant);
  EXPECT_EQ(1024u, g_slots[0].dwInQueue);
  EXPECT_EQ(256, g_slots[0].dcb.XonLim);
  EXPECT_EQ(0u, g_slots[0].nErrorCode);
}

TEST_F(SettingsStore, SaveWritesTheFourteenCharacters) {
  struct Case {
    Loaded values;
    DWORD width;
    const char* serial; // expected VDnn text
    DWORD portBack;     // port number the text loads back as
  } cases[] = {
      {{3, 9600, 8, 0, 0}, 53, "3#09600#8#0#0#", 3},
      {{1, 57600, 7, 2, 2}, 112, "1#57600#7#2#2#", 1},
      {{12, 9600, 8, 0, 0}, 106, "<#09600#8#0#0#", 12},
      {{9, 19200, 8, 1, 1}, 56, "9#19200#8#1#1#", 9},
      {{207, 38400, 8, 0, 2}, 53, "\xFF#38400#8#0#2#", 207},
      // Ports the field cannot hold are stored as "no port", never as a
      // different port that shares the low byte.
      {{208, 9600, 8, 0, 0}, 53, "0#09600#8#0#0#", 0},
      {{300, 9600, 8, 0, 0}, 53, "0#09600#8#0#0#", 0},
      {{0, 9600, 8, 0, 0}, 53, "0#09600#8#0#0#", 0},
      {{0xFFFFFFFF, 9600, 8, 0, 0}, 53, "0#09600#8#0#0#", 0},
      // Five digits at most: the rest is cut, as with every fixed field.
      {{4, 115200, 8, 0, 0}, 53, "4#11520#8#0#0#", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    WriteIni("", false);
    PrinterSlot& s = g_slots[0];
    s.nComPort = c.values.port;
    s.dcb.BaudRate = c.values.baud;
    s.dcb.ByteSize = c.values.dataBits;
    s.dcb.StopBits = c.values.stopBits;
    s.dcb.Parity = c.values.parity;
    s.nMaxWidth = c.width;
    SavePrinterSettings(0);
    EXPECT_EQ(c.serial, IniValue("VELDRIN Info", "VD00"));
    EXPECT_EQ(std::to_string(c.width), IniValue("VELDRIN Info", "VDMAX00"));
    EXPECT_EQ(std::string("[VELDRIN Info]\r\nVD00=") + c.serial +
                  "\r\nVDMAX00=" + std::to_string(c.width) + "\r\n",
              ReadIni())
        << "both keys, serial string first";
    LoadPrinterSettings(0);
    EXPECT_EQ(c.portBack, g_slots[0].nComPort);
  }
}

TEST_F(SettingsStore, SaveTouchesOnlyItsSlotsKeys) {
  WriteIni("[VELDRIN Info]\r\nVD00=1#09600#8#0#0#\r\nVDMAX00=56\r\n");
  LoadPrinterSettings(5);
  g_slots[5].nComPort = 6;
  SavePrinterSettings(5);
  EXPECT_EQ("1#09600#8#0#0#", IniValue("VELDRIN Info", "VD00"));
  EXPECT_EQ("56", IniValue("VELDRIN Info", "VDMAX00"));
  EXPECT_EQ("6#09600#8#0#0#", IniValue("VELDRIN Info", "VD05"));
  EXPECT_EQ("53", IniValue("VELDRIN Info", "VDMAX05"));
}

TEST_F(SettingsStore, WaitWriteTimeFromTheSystemSection) {
  struct Case {
    const char* text; // INI file
    DWORD expected;
  } cases[] = {
      {"", 5},
      {"[System Data]\r\nWaitWriteTime=20\r\n", 20},
      {"[System Data]\r\nWaitWriteTime=0\r\n", 0},
      {"[VELDRIN Info]\r\nWaitWriteTime=20\r\n", 5},
      {"[System Data]\r\nWaitWriteTime=4000000000\r\n", 10000}, // capped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteIni(c.text);
    EXPECT_EQ(c.expected, LoadWaitWriteTime());
  }
}

TEST_F(SettingsStore, InitPrinterLoadsTheNamedPrintersSlot) {
  WriteIni("[VELDRIN Info]\r\nVD01=4#38400#8#0#0#\r\n");
  g_slots[1].nErrorCode = 60806;
  EXPECT_EQ(0, KtPrInitPrinter(2, 0));
  expect_loaded({4, 38400, 8, 0, 0}, 1);
  EXPECT_EQ(0u, g_slots[1].nErrorCode);

  WriteIni("", false);
  EXPECT_EQ(0, KtPrInitPrinter(1, 12345));
  expect_loaded(kDefaults, 0);
  EXPECT_EQ(0u, g_slots[0].nErrorCode);
}

TEST_F(SettingsStore, InitPrinterRefusesNumbersOutsideOneToEight) {
  WriteIni("", false);
  for (DWORD number : {0u, 9u, 255u, 0x100u}) {
    SCOPED_TRACE(number);
    scribble(0);
    scribble(7);
    EXPECT_EQ(-1, KtPrInitPrinter(number, 0));
    EXPECT_EQ(0x5A5A5A5Au, g_slots[0].nComPort) << "no slot is loaded";
    EXPECT_EQ(0x5A5A5A5Au, g_slots[7].nComPort);
  }
}
