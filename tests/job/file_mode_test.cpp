// File mode seen from inside the driver (its static core linked into this
// program): the stream goes to the host's file and the slot's port, kept
// bitmap and last-receive tick are left exactly as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/exports.h"
#include "driver/slots.h"
#include "settings/store.h"
#include "support/test_files.h"
#include "support/label_maker.h"

TEST(FileMode, TouchesNoPortAndNoSlotState) {
  constexpr uint8_t kSlot = 5;
  SetDefaultPrinterSettings(kSlot);
  PrinterSlot& s = g_slots[kSlot];
  s.hComm = nullptr;
  s.dwLastRecvTick = 1234;
  veldrin_test::TempDir dir("veldrin-filemode");
  const std::string path = dir.file("out.prn");
  HFILE file = _lcreat(path.c_str(), 0);
  ASSERT_NE(HFILE_ERROR, file);

  FormatInfo format{};
  format.wLabelWidth = 100;
  format.wLabelLength = 50;
  ConditionInfo condition{};
  condition.nContrast = 3;
  memcpy(condition.achStartPos,
         "0\0"
         "7",
         3); // a NUL reads as '0'
  PrintData data{};
  data.wTypeCode = 264;
  data.wDotsPer10mm = 80;
  PrintJobInfo job{};
  job.pFormat = &format;
  job.pCondition = &condition;
  job.pPrintData = &data;
  job.bIncremental = 1; // no kept copy and no extra records in file mode
  job.bToFile = 1;
  job.hFile = file;
  job.pExtraCount = nullptr;
  const TestLabel label = MakeTestLabel(80, 40, 3, 1);
  HBITMAP bitmap = LabelBitmap(label);
  EXPECT_EQ(0, KtPrPrintOneLabel(kSlot + 1, 1, bitmap, &job));
  _lclose(file);
  DeleteObject(bitmap);

  EXPECT_EQ(nullptr, s.hComm) << "no port opened";
  EXPECT_EQ(nullptr, s.hEvent);
  EXPECT_EQ(1234u, s.dwLastRecvTick);
  EXPECT_EQ(nullptr, s.hBitmap) << "no kept copy in file mode";
  EXPECT_EQ(0u, s.nErrorCode);
  EXPECT_EQ(0, memcmp(g_formatBlocks[kSlot].achStartPos, "007", 3));
  EXPECT_EQ('3', g_formatBlocks[kSlot].chContrast);

  std::string stream;
  ASSERT_TRUE(veldrin_test::read_file(path, &stream));
  // 8 dots/mm: the label length goes into the condition command; 10 bytes
  // per row as three characters, 40 rows; 10 x 40 x 2 characters and a CR.
  const std::string head = "\x1BZ1\r\x1BM0050\r\x1BK007\r\x1B"
                           "A31\r\x1B"
                           "B0172"
                           "0000"
                           "010"
                           "040";
  EXPECT_EQ(head, stream.substr(0, head.size()));
  EXPECT_EQ(head.size() + 800 + 1, stream.size());
  EXPECT_EQ('\r', stream.back());
  memset(&s, 0, sizeof(s));
}
