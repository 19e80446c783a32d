// The print job through KtPrStartPrint and KtPrPrintOneLabel: labels of every
// depth printed dot for dot on both models, with the monochrome copy and the
// bits buffer sized as the label needs; incremental labels that send only
// their changed rectangles, and when the kept label is compared, replaced or
// dropped; the exact stream of file mode; and every failure of the job with
// its code, its debug lines and nothing left behind.
#include "tests/wine/fixture.h"

namespace {
using namespace veldrin_test;

// A white picture with the given dots black.
Picture dots(int width, int height, std::initializer_list<std::pair<int, int>> black) {
  Picture p{width, height, std::vector<uint8_t>(size_t(width) * height, 0)};
  for (auto [x, y] : black)
    p.black[size_t(y) * width + x] = 1;
  return p;
}

const std::string kCondition12 = "\x1BM000\r\x1BK012\r\x1B"
                                 "A51\r";
const std::vector<std::string> kFailLines = {"GlobalUnlock(hBuf)", "GlobalFree(hBuf)",
                                             "PrintOneLabel--Return NG"};
} // namespace

TEST_F(Wine, CompleteLabelsOfEveryDepthPrintDotForDot) {
  struct Row {
    const Printer& p;
    WORD widthTenthMm;
    int widthDots, bpp, offset;
    uintptr_t dibBytes, bitsBytes; // the two blocks the job allocates
  } rows[] = {
      {kPrinters[0], 200, 240, 24, 216, 40 + 86400, 120 * 30 + 32},
      {kPrinters[0], 203, 243, 8, 215, 40 + 1024 + 29280, 120 * 32 + 32},
      {kPrinters[1], 200, 160, 1, 368, 40 + 8 + 1600, 80 * 20 + 32},
      {kPrinters[3], 200, 160, 32, 144, 40 + 38400, 80 * 20 + 32},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "printer " << r.p.number << " depth " << r.bpp);
    reset(r.p);
    StartCalls();
    HostJob job(r.p.type(), r.widthTenthMm, 100);
    const Picture picture = MakeLabel(r.widthDots, r.p.dots * 10, r.bpp, 3);
    ASSERT_EQ(0, print(r.p, picture, job, true, r.bpp));
    EXPECT_EQ(1, poll(r.p));
    EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, picture, r.offset));
    const std::vector<Call> selects = Calls(kSelectObject), blocks = Calls(kGlobalAlloc);
    ASSERT_EQ(2u, selects.size());
    EXPECT_EQ(selects[0].result, selects[1].arg[1]) << "the copy is no longer selected";
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ((std::vector<uintptr_t>{0x42, r.dibBytes, 0x42, r.bitsBytes}),
              (std::vector<uintptr_t>{blocks[0].arg[0], blocks[0].arg[1], blocks[1].arg[0],
                                      blocks[1].arg[1]}));
    EXPECT_EQ(Leftovers({0, 0, 0, 0, 0, 2, 0}), Left()) << "only the open port and its event";
  }
}

TEST_F(Wine, IncrementalLabelsSendOnlyTheirChangedRectangles) {
  // A label 64 dots wide and high, then the same with dots (20, 20) and (44,
  // 44) black: two rectangles, x 0, y 16, 32 x 16 dots and x 32, y 40, 16 x 16.
  // The host's start position may hold NULs, which go out as '0'.
  struct Row {
    const Printer& p;
    WORD widthTenthMm, lengthTenthMm;
    const char* hostStart;                  // the host's three characters
    const char *conditions, *area1, *area2; // the second label's commands
  } rows[] = {
      {kPrinters[0], 53, 64, "012", "^M000|^K012|^A51|", "^B0305001600080016",
       "^B0337004000040016"},
      {kPrinters[1], 80, 80,
       "\0"
       "7\0",
       "^M0080|^K070|^A51|", "^B04160016004016", "^B04480040002016"},
  };
  const std::string zeros(11 * 8, '0');
  const std::string data1 = zeros.substr(0, 32) + "00000800" + zeros + "|",
                    data2 = zeros.substr(0, 16) + "0008" + zeros.substr(0, 44) + "|";
  for (const Row& r : rows) {
    SCOPED_TRACE(r.p.number);
    HostJob job(r.p.type(), r.widthTenthMm, r.lengthTenthMm);
    memcpy(job.condition.achStartPos, r.hostStart, 3);
    job.info.bIncremental = 1;
    job.add_extra("LOT-7");
    job.add_extra("");
    const Picture blank = dots(64, 64, {}), marked = dots(64, 64, {{20, 20}, {44, 44}});
    ASSERT_EQ(0, print(r.p, blank, job, true));
    EXPECT_EQ(kStop + kClear, sim().captured(r.p.com()).substr(0, 11)) << "the first goes complete";
    reset(r.p);
    StartCalls();
    ASSERT_EQ(0, print(r.p, blank, job, false));
    EXPECT_EQ(std::string(r.conditions) + "LOT-7^P0001|^R|", Printable(sim().captured(r.p.com())))
        << "unchanged";
    EXPECT_EQ(std::vector<uintptr_t>{3500}, Args(kSleep, 0)) << "the pause before the comparison";
    reset(r.p);
    ASSERT_EQ(0, print(r.p, marked, job, false));
    EXPECT_EQ(r.conditions + (r.area1 + data1) + r.area2 + data2 + "LOT-7^P0001|^R|",
              Printable(sim().captured(r.p.com())));
    ASSERT_EQ(1, poll(r.p));
    const int offset = r.p.dots == 12 ? 305 : 416;
    EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, marked, offset)) << "the whole label";
  }
}

TEST_F(Wine, TheKeptLabelIsComparedReplacedOrDropped) {
  const Printer& p = kTwelve;
  HostJob job(p.type(), 200, 100);
  job.add_extra("EXTRA");
  const Picture a = label(p, 1), b = label(p, 2);
  struct Step {
    const char* name;
    const Picture* picture;
    bool start, incremental, failSend;
    bool complete;            // the label went complete (a clear), else as rectangles or unchanged
    const Picture* printedAs; // what the printer then prints
    const char* lacks = "";   // "count", "records": the job has no extra count or records
  } steps[] = {
      {"after a start: complete", &a, true, true, false, true, &a},
      {"the same: unchanged", &a, false, true, false, false, &a},
      {"not incremental: complete, the kept label dropped", &a, false, false, false, true, &a},
      {"incremental again: nothing to compare", &a, false, true, false, true, &a},
      {"a send that fails midway keeps the new label", &b, false, true, true, false, nullptr},
      // The printer still holds the first label: the host fetches the error
      // after a failure, which closes the port and drops the kept label.
      {"so the same label again counts as unchanged", &b, false, true, false, false, &a},
      {"no extra count: the label without extras", &a, false, true, false, false, &a, "count"},
      {"no extra records: the label without extras", &b, false, true, false, false, &b, "records"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    reset(p);
    job.info.bIncremental = s.incremental;
    job.info.pExtraCount = strcmp(s.lacks, "count") ? &job.extraCount : nullptr;
    job.info.pExtraRecords = strcmp(s.lacks, "records") ? job.extras : nullptr;
    if (s.failSend)
      Fail("WriteFile", "\x1B\x42"); // ESC B: the first image area
    EXPECT_EQ(s.failSend ? -1 : 0, print(p, *s.picture, job, s.start));
    restore();
    const std::string sent = sim().captured(p.com());
    EXPECT_EQ(s.complete, sent.find(kClear + "\x1BM") != std::string::npos) << sent.substr(0, 40);
    const bool extra = s.incremental && !s.failSend && !*s.lacks;
    const std::string end = extra ? "EXTRA^P0001|^R|" : s.failSend ? "" : "|^P0001|^R|";
    EXPECT_EQ(end, Printable(sent.substr(sent.size() - end.size())));
    EXPECT_EQ(extra, sent.find("EXTRA") != std::string::npos);
    if (s.printedAs != nullptr) {
      EXPECT_EQ(1, poll(p));
      EXPECT_EQ("", printed(p, 1, *s.printedAs));
    }
  }
}

TEST_F(Wine, FileModeWritesTheCompleteLabelOnly) {
  // 24 x 2 dots, 2.0 mm wide (3 bytes a row): row 0 black in its first
  // byte, row 1 in its second.
  TempDir dir;
  HFILE file = _lcreat(dir.file("label.prn").c_str(), 0);
  HostJob job(261, 20, 10);
  job.info.bToFile = 1;
  job.info.hFile = file;
  job.info.bIncremental = 1;
  job.add_extra("NOT-IN-FILE");
  Picture picture = dots(24, 2, {});
  for (int x = 0; x < 8; ++x)
    picture.black[x] = picture.black[24 + 8 + x] = 1;
  EXPECT_EQ(0, print(kTwelve, picture, job, false));
  _lclose(file);
  EXPECT_EQ(kClear + kCondition12 +
                "\x1B"
                "B0324000000060002??000000??00\r",
            read_file(dir.file("label.prn")));
  EXPECT_TRUE(Calls(kCreateFileA).empty()) << "no port";
  EXPECT_EQ(Leftovers{}, Left()) << "and no kept label";
}

TEST_F(Wine, PrintJobFailures) {
  HANDLE brush = CreateSolidBrush(0);
  HBITMAP deleted = CreateBitmap(8, 8, 1, 1, nullptr);
  DeleteObject(deleted);
  struct Row {
    const char* name;
    const char* failing; // the call made to fail, or what the host's job lacks
    const char* arg;
    DWORD code;
    size_t escapes = 0;                   // EscapeCommFunction calls
    HANDLE bitmap = INVALID_HANDLE_VALUE; // the label handle; by default a label
  } rows[] = {
      {"no bitmap", "", "", 60804, 0, nullptr},
      {"a brush for a bitmap", "", "", 60804, 0, brush},
      {"a bitmap already deleted", "", "", 60804, 0, deleted},
      {"file mode without a file", "bToFile", "", 60804},
      {"no label format", "pFormat", "", 60805},
      {"no conditions", "pCondition", "", 60805},
      {"no print data", "pPrintData", "", 60805},
      {"a negative quantity", "quantity", "", 60805},
      {"no memory DC", "CreateCompatibleDC", "", 60804},
      {"no memory for the copy", "GlobalAlloc", "1", 60804},
      {"the copy cannot be read", "GetDIBits", "", 60804},
      {"no monochrome bitmap", "CreateBitmap", "", 60804},
      {"it cannot be selected", "SelectObject", "", 60804},
      {"no memory for the bits", "GlobalAlloc", "2", 60803},
      {"the bits come short", "GetBitmapBits", "", 60804},
      {"DTR cannot be raised: RTS not tried", "EscapeCommFunction", "5", 60805, 1},
      {"RTS cannot be raised", "EscapeCommFunction", "3", 60805, 2},
      {"the first send fails", "WriteFile", "", 60809},
      {"the print command cannot be sent", "WriteFile", "\x1BP", 60809},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    StartCalls();
    HostJob job(kTwelve.type(), 200, 100);
    const std::string failing = r.failing;
    job.info.bToFile = failing == "bToFile";
    job.info.pFormat = failing == "pFormat" ? nullptr : job.info.pFormat;
    job.info.pCondition = failing == "pCondition" ? nullptr : job.info.pCondition;
    job.info.pPrintData = failing == "pPrintData" ? nullptr : job.info.pPrintData;
    Fail(failing, r.arg);
    const bool label = r.bitmap == INVALID_HANDLE_VALUE;
    HBITMAP bitmap = label ? LabelBitmap(this->label(kTwelve)) : HBITMAP(r.bitmap);
    EXPECT_EQ(-1, api().PrintOneLabel(1, failing == "quantity" ? -1 : 1, bitmap, &job.info));
    restore();
    if (label)
      DeleteObject(bitmap);
    const std::vector<std::string> lines = host_.debug_lines();
    EXPECT_EQ(kFailLines, std::vector<std::string>(lines.end() - std::min<size_t>(lines.size(), 3),
                                                   lines.end()));
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    EXPECT_EQ(Leftovers{}, Left()) << "the error fetch closed the port";
    EXPECT_EQ(r.escapes, Calls(kEscapeCommFunction).size());
    if (r.code == 60804 || (r.code == 60805 && !r.escapes)) {
      EXPECT_EQ("", sim().captured(1)) << "nothing sent";
    }
    host_.clear_debug();
  }
  DeleteObject(brush);
}
