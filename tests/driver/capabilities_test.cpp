// Capability queries through the real DLL's exports: size handshakes,
// refusals that leave the record untouched, model choice, print data.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/driver/driver_dll.h"

namespace {
constexpr BYTE kPattern = 0xA5;

// A record buffer filled with a pattern, with room to see writes past the end.
std::vector<BYTE> patterned(size_t size) {
  return std::vector<BYTE>(size + 16, kPattern);
}

bool untouched(const std::vector<BYTE>& buf, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (buf[i] != kPattern)
      return false;
  return true;
}

DWORD read32(const std::vector<BYTE>& buf, size_t offset) {
  DWORD v;
  memcpy(&v, &buf[offset], 4);
  return v;
}
WORD read16(const std::vector<BYTE>& buf, size_t offset) {
  WORD v;
  memcpy(&v, &buf[offset], 2);
  return v;
}
void write32(std::vector<BYTE>& buf, size_t offset, DWORD v) {
  memcpy(&buf[offset], &v, 4);
}
void write16(std::vector<BYTE>& buf, size_t offset, WORD v) {
  memcpy(&buf[offset], &v, 2);
}
} // namespace

TEST(DriverSpec, NullRecordAsksForThePrinterSpecSize) {
  EXPECT_EQ(268u, Driver().GetDriverSpec(nullptr));
}

TEST(DriverSpec, SizeHandshake) {
  struct Case {
    DWORD size;     // size field the host puts at offset 0
    DWORD expected; // result
  } cases[] = {{0, 0}, {15, 0}, {16, 16}, {268, 16}, {0xFFFFFFFF, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::vector<BYTE> rec = patterned(16);
    write32(rec, 0, c.size);
    EXPECT_EQ(c.expected, Driver().GetDriverSpec(reinterpret_cast<DriverSpec*>(rec.data())));
    EXPECT_EQ(c.size, read32(rec, 0)) << "the size field is never changed";
    if (c.expected == 0) {
      EXPECT_TRUE(untouched(rec, 4, rec.size()));
    } else {
      EXPECT_EQ(0u, read32(rec, 4));
      EXPECT_EQ(0u, read32(rec, 8));
      EXPECT_EQ(2u, read32(rec, 12));
      EXPECT_TRUE(untouched(rec, 16, rec.size())) << "nothing past 16 bytes";
    }
  }
}

TEST(PrinterSpec, NullRecordAsksForTheSize) {
  EXPECT_EQ(268u, Driver().GetPrinterSpec(nullptr, 0));
  EXPECT_EQ(268u, Driver().GetPrinterSpec(nullptr, 1));
}

TEST(PrinterSpec, TooSmallRecordIsRefusedUntouched) {
  for (DWORD size : {0u, 16u, 267u}) {
    SCOPED_TRACE(size);
    std::vector<BYTE> rec = patterned(268);
    write32(rec, 0, size);
    EXPECT_EQ(0u, Driver().GetPrinterSpec(reinterpret_cast<PrinterSpec*>(rec.data()), 0));
    EXPECT_TRUE(untouched(rec, 4, rec.size()));
  }
}

TEST(PrinterSpec, ModelChosenByTheLowByteOfTheIndex) {
  const char kName12[] = "TLX-Pro series(12dot, COM Type)";
  const char kName8[] = "TLX-Pro series(8dot,COM Type)";
  struct Case {
    DWORD index;      // model index as passed
    DWORD typeCode;   // expected type code
    const char* name; // expected model name
    WORD dpi;         // expected resolution
  } cases[] = {
      {0, 261, kName12, 305},          {1, 264, kName8, 203},      {7, 264, kName8, 203},
      {255, 264, kName8, 203},         {0x100, 261, kName12, 305}, {0x101, 264, kName8, 203},
      {0xFFFFFF00, 261, kName12, 305},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    std::vector<BYTE> rec = patterned(268);
    write32(rec, 0, 268);
    EXPECT_EQ(268u, Driver().GetPrinterSpec(reinterpret_cast<PrinterSpec*>(rec.data()), c.index));
    EXPECT_EQ(268u, read32(rec, 0));
    EXPECT_EQ(c.typeCode, read32(rec, 4));
    EXPECT_STREQ(c.name, reinterpret_cast<const char*>(&rec[8]));
    EXPECT_EQ(c.dpi, read16(rec, 264));
    EXPECT_EQ(c.dpi, read16(rec, 266));
    EXPECT_TRUE(untouched(rec, 268, rec.size()));
  }
}

TEST(PrintData, FilledByTypeCode) {
  struct Case {
    WORD typeCode;    // in: offset 0
    DWORD printer;    // printer number argument
    bool filled;      // whether the driver fills the record
    WORD dotsPer10mm; // offset 4
    WORD maxWidth10;  // offset 10
  } cases[] = {
      {261, 1, true, 120, 1060}, {264, 8, true, 80, 1120}, {264, 0x1234, true, 80, 1120},
      {0, 1, false, 0, 0},       {262, 1, false, 0, 0},    {0xFFFF, 1, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typeCode);
    std::vector<BYTE> rec = patterned(20);
    write16(rec, 0, c.typeCode);
    EXPECT_EQ(1u, Driver().GetPrintData(c.printer, reinterpret_cast<PrintData*>(rec.data())));
    EXPECT_EQ(c.typeCode, read16(rec, 0));
    EXPECT_TRUE(untouched(rec, 2, 4)) << "offset 2 is the host's";
    EXPECT_TRUE(untouched(rec, 20, rec.size()));
    if (!c.filled) {
      EXPECT_TRUE(untouched(rec, 2, rec.size()));
      continue;
    }
    EXPECT_EQ(c.dotsPer10mm, read16(rec, 4));
    EXPECT_EQ(50, read16(rec, 6));
    EXPECT_EQ(200, read16(rec, 8));
    EXPECT_EQ(c.maxWidth10, read16(rec, 10));
    EXPECT_EQ(2000, read16(rec, 12));
    EXPECT_EQ(0, read16(rec, 14));
    EXPECT_EQ(0, rec[16]);
    EXPECT_EQ(static_cast<BYTE>(c.printer), rec[17]);
    EXPECT_EQ(0, read16(rec, 18));
  }
}

TEST(PrintData, NullRecordStillAnswersOne) {
  EXPECT_EQ(1u, Driver().GetPrintData(1, nullptr));
}

TEST(PrintNotify, DoesNothingAndReturnsZero) {
  EXPECT_EQ(0u, Driver().PrintNotify(0, 0));
  EXPECT_EQ(0u, Driver().PrintNotify(0xFFFFFFFF, 12345));
}
