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
    const std::vector<Call> blocks = Calls(kGlobalAlloc);
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ((std::vector<uintptr_t>{0x42, r.dibBytes, 0x42, r.bitsBytes}),
              (std::vector<uintptr_t>{blocks[0].arg[0], blocks[0].arg[1], blocks[1].arg[0],
                                      blocks[1].arg[1]}));
    EXPECT_EQ(Leftovers({0, 0, 0, 0, 0, 2, 0}), Left()) << "only the open port and its event";
  }
}

TEST_F(Wine, IncrementalLabelsSendOnlyTheirChangedRectangles) {
  // A label 64 dots wide and high, then the same with dot (20, 20) black: one
  // changed block, grown to the rectangle x 0, y 16, 32 x 16 dots.
  struct Row {
    const Printer& p;
    WORD widthTenthMm, lengthTenthMm;
    std::string conditions, area; // the second label's commands
  } rows[] = {
      {kPrinters[0], 53, 64, kCondition12,
       "\x1B"
       "B0305001600080016"},
      {kPrinters[1], 80, 80,
       "\x1BM0080\r\x1BK012\r\x1B"
       "A51\r",
       "\x1B"
       "B04160016004016"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.p.number);
    HostJob job(r.p.type(), r.widthTenthMm, r.lengthTenthMm);
    job.info.bIncremental = 1;
    job.add_extra("LOT-7");
    job.add_extra("");
    const Picture blank = dots(64, 64, {}), marked = dots(64, 64, {{20, 20}});
    ASSERT_EQ(0, print(r.p, blank, job, true));
    EXPECT_EQ(kStop + kClear, sim().captured(r.p.com()).substr(0, 11)) << "the first goes complete";
    reset(r.p);
    StartCalls();
    ASSERT_EQ(0, print(r.p, blank, job, false));
    EXPECT_EQ(r.conditions + "LOT-7" + kPrintOne, sim().captured(r.p.com())) << "unchanged";
    EXPECT_EQ(std::vector<uintptr_t>{3500}, Args(kSleep, 0)) << "the pause before the comparison";
    reset(r.p);
    ASSERT_EQ(0, print(r.p, marked, job, false));
    std::string rows16 = std::string(4 * 8, '0') + "00000800" + std::string(11 * 8, '0') + "\r";
    EXPECT_EQ(r.conditions + r.area + rows16 + "LOT-7" + kPrintOne, sim().captured(r.p.com()));
    ASSERT_EQ(1, poll(r.p));
    const int offset = r.p.dots == 12 ? 305 : 416;
    EXPECT_EQ("", PrintedDifference(sim(), r.p.com(), 1, marked, offset)) << "the whole label";
  }
}

TEST_F(Wine, TheKeptLabelIsComparedReplacedOrDropped) {
  const Printer& p = kTwelve;
  HostJob job(p.type(), 200, 100);
  const Picture a = label(p, 1), b = label(p, 2);
  struct Step {
    const char* name;
    const Picture* picture;
    bool start, incremental, failSend;
    bool complete;            // the label went complete (a clear), else as rectangles or unchanged
    const Picture* printedAs; // what the printer then prints
  } steps[] = {
      {"after a start: complete", &a, true, true, false, true, &a},
      {"the same: unchanged", &a, false, true, false, false, &a},
      {"not incremental: complete, the kept label dropped", &a, false, false, false, true, &a},
      {"incremental again: nothing to compare", &a, false, true, false, true, &a},
      {"a send that fails midway keeps the new label", &b, false, true, true, false, nullptr},
      // The printer still holds the first label: the host fetches the error
      // after a failure, which closes the port and drops the kept label.
      {"so the same label again counts as unchanged", &b, false, true, false, false, &a},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    reset(p);
    job.info.bIncremental = s.incremental;
    if (s.failSend)
      Replace<kWriteFile>([n = 0](HANDLE h, LPCVOID d, DWORD c, LPDWORD w, LPOVERLAPPED o) mutable {
        if (++n < 3)
          return Real<kWriteFile>()(h, d, c, w, o);
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
      });
    EXPECT_EQ(s.failSend ? -1 : 0, print(p, *s.picture, job, s.start));
    restore();
    const std::string sent = sim().captured(p.com());
    EXPECT_EQ(s.complete, sent.find(kClear + "\x1BM") != std::string::npos) << sent.substr(0, 40);
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
  struct Row {
    const char* name;
    std::function<void(HostJob&)> arrange; // replaces calls or changes the job
    bool nullBitmap;
    DWORD code;
  } rows[] = {
      {"no bitmap", [](HostJob&) {}, true, 60804},
      {"file mode without a file", [](HostJob& j) { j.info.bToFile = 1; }, false, 60804},
      {"no memory DC", [](HostJob&) { Replace<kCreateCompatibleDC>([](HDC) { return HDC(); }); },
       false, 60804},
      {"no memory for the copy",
       [](HostJob&) { Replace<kGlobalAlloc>([](UINT, SIZE_T) { return HGLOBAL(); }); }, false,
       60804},
      {"the copy cannot be read",
       [](HostJob&) {
         Replace<kGetDIBits>(
             [](HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT) { return 0; });
       },
       false, 60804},
      {"no monochrome bitmap",
       [](HostJob&) {
         Replace<kCreateBitmap>([](int, int, UINT, UINT, const void*) { return HBITMAP(); });
       },
       false, 60804},
      {"it cannot be selected",
       [](HostJob&) { Replace<kSelectObject>([](HDC, HGDIOBJ) { return HGDIOBJ(); }); }, false,
       60804},
      {"no memory for the bits",
       [](HostJob&) {
         Replace<kGlobalAlloc>([n = 0](UINT f, SIZE_T s) mutable {
           return ++n == 2 ? HGLOBAL() : Real<kGlobalAlloc>()(f, s);
         });
       },
       false, 60803},
      {"the bits come short",
       [](HostJob&) {
         Replace<kGetBitmapBits>(
             [](HBITMAP b, LONG n, LPVOID bits) { return Real<kGetBitmapBits>()(b, n - 1, bits); });
       },
       false, 60804},
      {"DTR cannot be raised (and RTS is not tried)",
       [](HostJob&) { Replace<kEscapeCommFunction>([](HANDLE, DWORD) { return FALSE; }); }, false,
       60805},
      {"RTS cannot be raised",
       [](HostJob&) {
         Replace<kEscapeCommFunction>([](HANDLE h, DWORD f) {
           return f == SETRTS ? FALSE : Real<kEscapeCommFunction>()(h, f);
         });
       },
       false, 60805},
      {"a send fails",
       [](HostJob&) {
         Replace<kWriteFile>([](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
           SetLastError(ERROR_WRITE_FAULT);
           return FALSE;
         });
       },
       false, 60809},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    StartCalls();
    HostJob job(kTwelve.type(), 200, 100);
    r.arrange(job);
    HBITMAP bitmap = r.nullBitmap ? nullptr : LabelBitmap(label(kTwelve));
    EXPECT_EQ(-1, api().PrintOneLabel(1, 1, bitmap, &job.info));
    restore();
    DeleteObject(bitmap);
    const std::vector<std::string> lines = host_.debug_lines();
    EXPECT_EQ(kFailLines, std::vector<std::string>(lines.end() - std::min<size_t>(lines.size(), 3),
                                                   lines.end()));
    EXPECT_EQ(r.code, api().GetPrintError(1, nullptr, 0));
    EXPECT_EQ(Leftovers{}, Left()) << "the error fetch closed the port";
    EXPECT_EQ(r.name[0] == 'D'   ? 1u
              : r.name[0] == 'R' ? 2u
                                 : 0u,
              Calls(kEscapeCommFunction).size());
    host_.clear_debug();
  }
}
