// The print job: labels of every depth dot for dot on both models, buffers sized as the label
// needs; incremental labels' changed rectangles and the kept label's life; file mode's exact
// stream; every failure with its code, its debug lines and nothing left behind.
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

const std::string kCondition12 = "^M000|^K012|^A51|";
const std::vector<std::string> kFailLines = {"GlobalUnlock(hBuf)", "GlobalFree(hBuf)",
                                             "PrintOneLabel--Return NG"};
} // namespace

TEST_F(PrintJob, CompleteLabelsOfEveryKindPrintDotForDot) {
  // Black and white labels as DIB sections of every depth and as a bitmap of
  // the screen's own format; a label in two greys; anti-aliased text. GDI's
  // colour matching makes the monochrome copy: a grey goes to the nearer of
  // black and white (the middle greys of the text's edges may go either way).
  enum Source { kDib, kScreenBitmap, kGreys, kText };
  struct Row {
    const Printer& p;
    Source source;
    int bpp;
    WORD widthTenthMm;
    int widthDots, offset;
    uintptr_t dibBytes, bitsBytes; // the two blocks the job allocates
  } rows[] = {
      {kPrinters[0], kDib, 24, 200, 240, 216, 40 + 86400, 120 * 30 + 32},
      {kPrinters[0], kDib, 8, 203, 243, 215, 40 + 1024 + 29280, 120 * 32 + 32},
      {kPrinters[1], kDib, 1, 200, 160, 368, 40 + 8 + 1600, 80 * 20 + 32},
      {kPrinters[3], kDib, 32, 200, 160, 144, 40 + 38400, 80 * 20 + 32},
      {kPrinters[3], kDib, 16, 200, 160, 144, 40 + 38400, 80 * 20 + 32},
      {kPrinters[0], kScreenBitmap, 24, 200, 240, 216, 40 + 86400, 120 * 30 + 32},
      {kPrinters[0], kGreys, 8, 200, 240, 216, 40 + 1024 + 28800, 120 * 30 + 32},
      {kPrinters[0], kText, 24, 200, 240, 216, 40 + 86400, 120 * 30 + 32},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << "printer " << r.p.number << " source " << r.source << " depth " << r.bpp);
    reset(r.p);
    HostJob job(r.p.type(), r.widthTenthMm, 100);
    Picture picture = MakeLabel(r.widthDots, r.p.dots * 10, r.bpp, 3);
    HBITMAP bitmap = r.source == kText    ? TextBitmap(r.widthDots, r.p.dots * 10, &picture)
                     : r.source == kGreys ? LabelBitmap(picture, 8, 64, 192)
                                          : LabelBitmap(picture, r.bpp);
    if (r.source == kScreenBitmap)
      bitmap = ScreenBitmap(bitmap);
    StartCalls();
    ASSERT_EQ(0, api().StartPrint(r.p.number, 1, bitmap, &job.info));
    DeleteObject(bitmap);
    EXPECT_EQ(1, poll(r.p));
    EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, picture, r.offset, bounded(10000)));
    const std::vector<Call> selects = Calls(kSelectObject);
    ASSERT_EQ(2u, selects.size());
    EXPECT_EQ(selects[0].result, selects[1].arg[1]) << "the copy is no longer selected";
    EXPECT_EQ((std::vector<uintptr_t>{0x42, 0x42}), Args(kGlobalAlloc, 0)) << "the two blocks";
    EXPECT_EQ((std::vector<uintptr_t>{r.dibBytes, r.bitsBytes}), Args(kGlobalAlloc, 1));
    EXPECT_EQ(Leftovers({0, 0, 0, 0, 0, 2, 0}), Left()) << "only the open port and its event";
  }
}

TEST_F(PrintJob, IncrementalLabelsSendOnlyTheirChangedRectangles) {
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
    EXPECT_EQ(kStop + kClear, received(r.p).substr(0, 11)) << "the first goes complete";
    reset(r.p);
    StartCalls();
    ASSERT_EQ(0, print(r.p, blank, job, false));
    EXPECT_EQ(std::string(r.conditions) + "LOT-7^P0001|^R|", received(r.p)) << "unchanged";
    EXPECT_EQ(std::vector<uintptr_t>{3500}, Args(kSleep, 0)) << "the pause before the comparison";
    reset(r.p);
    ASSERT_EQ(0, print(r.p, marked, job, false));
    EXPECT_EQ(r.conditions + (r.area1 + data1) + r.area2 + data2 + "LOT-7^P0001|^R|",
              received(r.p));
    ASSERT_EQ(1, poll(r.p));
    const int offset = r.p.dots == 12 ? 305 : 416;
    EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, marked, offset, bounded(10000)));
  }
}

TEST_F(PrintJob, TheKeptLabelIsComparedReplacedOrDropped) {
  const Printer& p = kTwelve;
  HostJob job(p.type(), 200, 100);
  job.add_extra("EXTRA");
  const Picture a = label(p, 1), b = label(p, 2), shorter = MakeLabel(240, 96, 7, 3);
  struct Step {
    const char* name;
    const Picture* picture;
    bool start = false;      // KtPrStartPrint, else KtPrPrintOneLabel
    bool incremental = true; // the job's incremental flag
    bool failSend = false;   // the first image area's write fails
    bool complete = false;   // the label went complete (a clear), else as rectangles or unchanged
    const Picture* printedAs = nullptr; // what the printer then prints
    const char* lacks = "";             // "count", "records": the job has no extra count or records
    void (*failing)() = nullptr;        // a call of the comparison fails
  } steps[] = {
      // clang-format off
      {.name = "after a start: complete", .picture = &a, .start = true, .complete = true,
       .printedAs = &a},
      {.name = "the same: unchanged", .picture = &a, .printedAs = &a},
      {.name = "not incremental: complete, the kept label dropped", .picture = &a,
       .incremental = false, .complete = true, .printedAs = &a},
      {.name = "incremental again: nothing to compare", .picture = &a, .complete = true,
       .printedAs = &a},
      {.name = "a send that fails midway keeps the new label", .picture = &b, .failSend = true},
      // The printer still holds the first label: the host fetches the error
      // after a failure, which closes the port and drops the kept label.
      {.name = "so the same label again counts as unchanged", .picture = &b, .printedAs = &a},
      {.name = "no extra count: the label without extras", .picture = &a, .printedAs = &a,
       .lacks = "count"},
      {.name = "no extra records: the label without extras", .picture = &b, .printedAs = &b,
       .lacks = "records"},
      {.name = "no comparison: the kept label cannot be described", .picture = &a,
       .complete = true, .printedAs = &a, .failing = Fails<kGetObjectA, 2>},
      {.name = "nor another size", .picture = &shorter, .complete = true, .printedAs = &shorter},
      // clang-format on
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    reset(p);
    job.info.bIncremental = s.incremental;
    job.info.pExtraCount = strcmp(s.lacks, "count") ? &job.extraCount : nullptr;
    job.info.pExtraRecords = strcmp(s.lacks, "records") ? job.extras : nullptr;
    if (s.failSend)
      FailWrite("^B"); // the first image area
    if (s.failing)
      s.failing();
    EXPECT_EQ(s.failSend ? -1 : 0, print(p, *s.picture, job, s.start));
    restore();
    const std::string sent = received(p);
    EXPECT_EQ(s.complete, sent.find(kClear + "^M") != std::string::npos) << sent.substr(0, 40);
    const bool extra = s.incremental && !s.failSend && !*s.lacks;
    const std::string end = extra ? "EXTRA^P0001|^R|" : s.failSend ? "" : "|^P0001|^R|";
    EXPECT_EQ(end, sent.substr(sent.size() - end.size()));
    EXPECT_EQ(extra, sent.find("EXTRA") != std::string::npos);
    if (s.printedAs != nullptr) {
      EXPECT_EQ(1, poll(p));
      EXPECT_EQ("", printed(p, 1, *s.printedAs));
    }
  }
}

TEST_F(PrintJob, FileModeWritesTheCompleteLabelOnly) {
  // 24 x 2 dots, 2.0 mm wide (3 bytes a row): row 0 black in its first byte, row 1 in its second.
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
  EXPECT_EQ(kClear + kCondition12 + "^B0324000000060002??000000??00|",
            Printable(read_file(dir.file("label.prn"))));
  EXPECT_TRUE(Calls(kCreateFileA).empty()) << "no port";
  EXPECT_EQ(Leftovers{}, Left()) << "and no kept label";
}

TEST_F(PrintJob, EveryFailureOfTheJob) {
  HANDLE brush = CreateSolidBrush(0);
  HBITMAP deleted = CreateBitmap(8, 8, 1, 1, nullptr);
  DeleteObject(deleted);
  enum Lacks { kNone, kBitmap, kFile, kFormat, kCondition, kPrintData, kQuantity, kWidth };
  struct Row {
    const char* name;
    DWORD code;
    Lacks lacks = kNone;           // what the host's call lacks
    HANDLE bitmap = nullptr;       // in place of the label's bitmap
    void (*failing)() = nullptr;   // a call of the driver's that fails
    const char* failingWrite = ""; // the write of these bytes fails
    int after = 0;                 // after an incremental label: 1 the same again, 2 another
    size_t escapes = 0;            // EscapeCommFunction calls
  } rows[] = {
      // clang-format off
      {.name = "no bitmap", .code = 60804, .lacks = kBitmap},
      {.name = "a brush for a bitmap", .code = 60804, .bitmap = brush},
      {.name = "a bitmap already deleted", .code = 60804, .bitmap = deleted},
      {.name = "file mode without a file", .code = 60804, .lacks = kFile},
      {.name = "no label format", .code = 60805, .lacks = kFormat},
      {.name = "no conditions", .code = 60805, .lacks = kCondition},
      {.name = "no print data", .code = 60805, .lacks = kPrintData},
      {.name = "a negative quantity", .code = 60805, .lacks = kQuantity},
      {.name = "a label with no width", .code = 60804, .lacks = kWidth},
      {.name = "no memory DC", .code = 60804, .failing = Fails<kCreateCompatibleDC>},
      {.name = "no memory for the copy", .code = 60804, .failing = Fails<kGlobalAlloc>},
      {.name = "the copy cannot be locked", .code = 60804, .failing = Fails<kGlobalLock>},
      {.name = "the copy cannot be read", .code = 60804, .failing = Fails<kGetDIBits>},
      {.name = "nor locked to draw it", .code = 60804, .failing = Fails<kGlobalLock, 2>},
      {.name = "no monochrome bitmap", .code = 60804, .failing = Fails<kCreateBitmap>},
      {.name = "it cannot be selected", .code = 60804, .failing = Fails<kSelectObject>},
      {.name = "nor described", .code = 60804, .failing = Fails<kGetObjectA, 2>},
      {.name = "bits over 256 MB", .code = 60803, .failing = [] {
         Replace<kGetObjectA>([](HANDLE h, int size, LPVOID to) {
           const int n = Real<kGetObjectA>()(h, size, to);
           BITMAP& bm = *static_cast<BITMAP*>(to); // the monochrome label 14 bytes over
           bm.bmHeight = bm.bmBitsPixel == 1 ? (256 << 20) / bm.bmWidthBytes + 1 : bm.bmHeight;
           return n;
         });
       }},
      {.name = "no memory for the bits", .code = 60803, .failing = Fails<kGlobalAlloc, 2>},
      {.name = "they cannot be locked", .code = 60803, .failing = Fails<kGlobalLock, 3>},
      {.name = "they come short", .code = 60804, .failing = [] {
         Replace<kGetBitmapBits>([](HBITMAP b, LONG n, LPVOID bits) {
           return Real<kGetBitmapBits>()(b, n - 1, bits);
         });
       }},
      {.name = "DTR cannot be raised: RTS not tried", .code = 60805,
       .failing = Fails<kEscapeCommFunction>, .escapes = 1},
      {.name = "nor RTS", .code = 60805, .failing = Fails<kEscapeCommFunction, 2>, .escapes = 2},
      {.name = "the first send fails", .code = 60809, .failingWrite = "^Z1|"},
      {.name = "an unchanged label's conditions", .code = 60809, .failingWrite = "^M", .after = 1},
      {.name = "a changed one's conditions", .code = 60809, .failingWrite = "^M", .after = 2},
      {.name = "its extra records", .code = 60809, .failingWrite = "EXTRA", .after = 1},
      {.name = "the print command cannot be sent", .code = 60809, .failingWrite = "^P"},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    reset(kTwelve);
    StartCalls();
    HostJob job(kTwelve.type(), r.lacks == kWidth ? 0 : 200, 100);
    if (r.after) {
      job.info.bIncremental = 1;
      job.add_extra("EXTRA");
      ASSERT_EQ(0, print(kTwelve, this->label(kTwelve), job, true));
      StartCalls();
    }
    job.info.bToFile = r.lacks == kFile;
    job.info.pFormat = r.lacks == kFormat ? nullptr : job.info.pFormat;
    job.info.pCondition = r.lacks == kCondition ? nullptr : job.info.pCondition;
    job.info.pPrintData = r.lacks == kPrintData ? nullptr : job.info.pPrintData;
    if (r.failing)
      r.failing();
    if (*r.failingWrite)
      FailWrite(r.failingWrite);
    const bool label = r.bitmap == nullptr && r.lacks != kBitmap;
    HBITMAP bitmap =
        label ? LabelBitmap(this->label(kTwelve, std::max(r.after, 1))) : HBITMAP(r.bitmap);
    EXPECT_EQ(-1, api().PrintOneLabel(1, r.lacks == kQuantity ? -1 : 1, bitmap, &job.info));
    restore();
    if (label)
      DeleteObject(bitmap);
    const std::vector<std::string> lines = host_.debug_lines();
    EXPECT_EQ(kFailLines, std::vector<std::string>(lines.end() - std::min<size_t>(lines.size(), 3),
                                                   lines.end()));
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    EXPECT_EQ(Leftovers{}, Left()) << "the error fetch closed the port";
    EXPECT_EQ(r.escapes, Calls(kEscapeCommFunction).size());
    if (r.code != 60809 && !r.escapes) {
      EXPECT_EQ("", received(kTwelve)) << "nothing sent";
    }
    host_.clear_debug();
  }
  DeleteObject(brush);
}
