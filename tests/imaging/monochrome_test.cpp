// The monochrome label bitmap under Wine: the packed-DIB routines, conversion
// from every source depth with exact pixels, refusals, and every GDI object
// and global block released on every path, counted through import hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/monochrome.h"
#include "tests/imaging/gdi_bitmaps.h"
#include "support/gdi_hooks.h"

namespace {
constexpr int kWidth = 37;  // not a multiple of 8, 16 or 32
constexpr int kHeight = 23; // odd

// The test picture: black where this holds, white elsewhere. Diagonals, a
// frame and scattered dots, so that rows and columns cannot be confused.
bool is_black(int x, int y) {
  return x == y || x == 0 || y == kHeight - 1 || (x * 7 + y * 3) % 11 == 0;
}

std::vector<Pixel> black_pixels() {
  std::vector<Pixel> pixels;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (is_black(x, y))
        pixels.push_back({x, y});
  return pixels;
}

struct Source {
  const char* name; // for failure messages
  int bitsPerPixel; // depth of the source
  bool dibSection;  // CreateDIBSection rather than CreateBitmap
};

const Source kSources[] = {
    {"device bitmap, 1 bit", 1, false},    {"device bitmap, 4 bits", 4, false},
    {"device bitmap, 8 bits", 8, false},   {"device bitmap, 16 bits", 16, false},
    {"device bitmap, 24 bits", 24, false}, {"device bitmap, 32 bits", 32, false},
    {"DIB section, 1 bit", 1, true},       {"DIB section, 4 bits", 4, true},
    {"DIB section, 8 bits", 8, true},      {"DIB section, 16 bits", 16, true},
    {"DIB section, 24 bits", 24, true},    {"DIB section, 32 bits", 32, true},
};

HBITMAP make_source(const Source& source) {
  HBITMAP bitmap = source.dibSection ? MakeDibSection(kWidth, kHeight, source.bitsPerPixel)
                                     : MakeDeviceBitmap(kWidth, kHeight, source.bitsPerPixel);
  if (bitmap != nullptr)
    PaintBlack(bitmap, black_pixels());
  return bitmap;
}

// Everything made during the recording is gone, except `kept`.
void expect_nothing_left(const CallLedger& ledger, HBITMAP kept) {
  EXPECT_TRUE(ledger.liveMemoryDcs.empty()) << "memory DC left";
  EXPECT_TRUE(ledger.heldScreenDcs.empty()) << "screen DC not released";
  EXPECT_TRUE(ledger.liveBlocks.empty()) << "global block left";
  for (const auto& [block, count] : ledger.locks)
    EXPECT_EQ(0, count) << "lock count of a block";
  EXPECT_TRUE(ledger.selected.empty()) << "a bitmap made here is still selected";
  EXPECT_EQ(0, ledger.deletedWithBitmapSelected) << "DC deleted holding the new bitmap";
  if (kept == nullptr) {
    EXPECT_TRUE(ledger.liveBitmaps.empty()) << "bitmap left";
  } else {
    EXPECT_EQ(1u, ledger.liveBitmaps.size());
    EXPECT_EQ(1u, ledger.liveBitmaps.count(kept));
  }
  // Not only released as far as the calls tell: really gone.
  for (HGDIOBJ object : ledger.madeObjects) {
    if (object != kept) {
      EXPECT_EQ(0u, GetObjectType(object)) << "object " << object << " still exists";
    }
  }
  for (HGLOBAL block : ledger.madeBlocks) {
    EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(block))
        << "block " << block << " still exists";
  }
}

class Monochrome : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(InstallHooks()); }
};
} // namespace

TEST(InitDibHeader, BitCountRoundedUpAndImageSize) {
  struct Case {
    DWORD width, height;
    int bitsPerPixel;
    WORD bitCount;   // expected biBitCount
    DWORD sizeImage; // expected biSizeImage
  } cases[] = {
      {37, 23, 1, 1, 184},
      {37, 23, 0, 1, 184},
      {37, 23, -3, 1, 184},
      {37, 23, 2, 4, 460},
      {37, 23, 3, 4, 460},
      {37, 23, 4, 4, 460},
      {37, 23, 5, 8, 920},
      {37, 23, 8, 8, 920},
      {37, 23, 9, 24, 2576},
      {37, 23, 15, 24, 2576},
      {37, 23, 16, 24, 2576},
      {37, 23, 24, 24, 2576},
      {37, 23, 32, 24, 2576},
      {1, 5, 1, 1, 20}, // one pixel still makes a 4-byte row
      {32, 1, 1, 1, 4},
      {33, 1, 1, 1, 8},
      {1344, 2400, 1, 1, 403200},
      {1344, 2400, 32, 24, 9676800},
      {0, 10, 24, 24, 0},
      // Unsigned 32-bit arithmetic wraps.
      {0x80000000u, 1, 24, 24, 0},
      {0xFFFFFFFFu, 1, 1, 1, 0},
      {100000, 100000, 24, 24, 4230196224u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.bitsPerPixel);
    BITMAPINFOHEADER header;
    memset(&header, 0xCD, sizeof(header));
    InitDibHeader(&header, c.width, c.height, c.bitsPerPixel);
    EXPECT_EQ(40u, header.biSize);
    EXPECT_EQ(static_cast<LONG>(c.width), header.biWidth);
    EXPECT_EQ(static_cast<LONG>(c.height), header.biHeight);
    EXPECT_EQ(1, header.biPlanes);
    EXPECT_EQ(c.bitCount, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
    EXPECT_EQ(c.sizeImage, header.biSizeImage);
    EXPECT_EQ(0, header.biXPelsPerMeter);
    EXPECT_EQ(0, header.biYPelsPerMeter);
    EXPECT_EQ(0u, header.biClrUsed);
    EXPECT_EQ(0u, header.biClrImportant);
  }
}

TEST(DibColorTable, CountSizeAndPixelData) {
  struct Case {
    WORD bitCount;
    DWORD clrUsed;
    WORD count;     // DibColorCount
    WORD tableSize; // DibColorTableSize
  } cases[] = {
      {1, 0, 2, 8},           {4, 0, 16, 64}, {8, 0, 256, 1024}, {24, 0, 0, 0},
      {16, 0, 0, 0},          {32, 0, 0, 0},  {2, 0, 0, 0},      {0, 0, 0, 0},
      {8, 17, 17, 68},        {1, 1, 1, 4},   {24, 5, 5, 20},    {4, 300, 300, 1200},
      {8, 0x10005, 5, 20},    // the count is 16 bits
      {8, 0x4001, 0x4001, 4}, // so is the table size
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bitCount << " bits, biClrUsed " << c.clrUsed);
    alignas(4) static BYTE dib[2048];
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib);
    InitDibHeader(header, 8, 8, 1);
    header->biBitCount = c.bitCount;
    header->biClrUsed = c.clrUsed;
    EXPECT_EQ(c.count, DibColorCount(header));
    EXPECT_EQ(c.tableSize, DibColorTableSize(header));
    EXPECT_EQ(dib + 40 + c.tableSize, DibPixelData(header));
  }
  // The header's own size counts, not 40.
  alignas(4) static BYTE dib[2048];
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib);
  InitDibHeader(header, 8, 8, 8);
  header->biSize = 124;
  EXPECT_EQ(dib + 124 + 1024, DibPixelData(header));
}

TEST_F(Monochrome, PackedDibOfEverySource) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.name);
    HBITMAP bitmap = make_source(source);
    ASSERT_NE(nullptr, bitmap);
    StartRecording();
    HGLOBAL dib = BitmapToPackedDib(bitmap);
    CallLedger ledger = StopRecording();
    ASSERT_NE(nullptr, dib);
    const WORD bitCount = source.bitsPerPixel > 8 ? 24 : static_cast<WORD>(source.bitsPerPixel);
    const DWORD rowBytes = (kWidth * bitCount + 31) / 32 * 4;
    const DWORD tableBytes = bitCount == 24 ? 0 : 4u << bitCount;
    EXPECT_EQ(40 + tableBytes + rowBytes * kHeight, GlobalSize(dib));
    EXPECT_EQ(0u, GlobalFlags(dib) & GMEM_LOCKCOUNT) << "handed over unlocked";
    EXPECT_EQ(1, ledger.calls[kCallGlobalAlloc]);
    EXPECT_EQ(1, ledger.calls[kCallGetDC]);
    EXPECT_EQ(1, ledger.calls[kCallReleaseDC]);
    EXPECT_TRUE(ledger.heldScreenDcs.empty());

    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    ASSERT_NE(nullptr, header);
    EXPECT_NE(static_cast<void*>(header), static_cast<void*>(dib)) << "a movable block";
    EXPECT_EQ(40u, header->biSize);
    EXPECT_EQ(kWidth, header->biWidth);
    EXPECT_EQ(kHeight, header->biHeight) << "bottom row first";
    EXPECT_EQ(bitCount, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
    // Black and white read back as such, rows bottom first.
    const BYTE* pixels = DibPixelData(header);
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<BYTE*>(header) + 40);
    for (int y = 0; y < kHeight; ++y) {
      const BYTE* row = pixels + static_cast<size_t>(kHeight - 1 - y) * rowBytes;
      for (int x = 0; x < kWidth; ++x) {
        BYTE rgb[3];
        if (bitCount == 24) {
          memcpy(rgb, row + x * 3, 3);
        } else {
          const int bit = x * bitCount;
          const int index = (row[bit / 8] >> (8 - bitCount - bit % 8)) & ((1 << bitCount) - 1);
          rgb[0] = table[index].rgbBlue;
          rgb[1] = table[index].rgbGreen;
          rgb[2] = table[index].rgbRed;
        }
        const BYTE expected = is_black(x, y) ? 0 : 255;
        ASSERT_TRUE(rgb[0] == expected && rgb[1] == expected && rgb[2] == expected)
            << "pixel " << x << "," << y;
      }
    }
    GlobalUnlock(dib);
    EXPECT_EQ(nullptr, GlobalFree(dib));
    DeleteObject(bitmap);
  }
}

TEST_F(Monochrome, EverySourceDepthKeepsSizeBlackAndWhite) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.name);
    HBITMAP bitmap = make_source(source);
    ASSERT_NE(nullptr, bitmap);
    const BitImage before = ReadBitImage(bitmap);

    StartRecording();
    HBITMAP mono = CreateMonochromeLabelBitmap(bitmap);
    CallLedger ledger = StopRecording();
    ASSERT_NE(nullptr, mono);
    expect_nothing_left(ledger, mono);
    EXPECT_EQ(0, ledger.drawnWithoutMonoSelected);
    EXPECT_EQ(1, ledger.calls[kCallSetDIBitsToDevice]);

    BITMAP bm;
    ASSERT_EQ(static_cast<int>(sizeof(bm)), GetObjectA(mono, sizeof(bm), &bm));
    EXPECT_EQ(kWidth, bm.bmWidth);
    EXPECT_EQ(kHeight, bm.bmHeight);
    EXPECT_EQ(1, bm.bmPlanes);
    EXPECT_EQ(1, bm.bmBitsPixel);
    EXPECT_EQ(6, bm.bmWidthBytes) << "rows padded to 16 bits";
    EXPECT_NE(static_cast<HBITMAP>(nullptr), mono);
    EXPECT_NE(bitmap, mono);

    const BitImage image = ReadBitImage(mono);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        ASSERT_EQ(!is_black(x, y), MonoPixelIsWhite(image, x, y)) << "pixel " << x << "," << y;

    EXPECT_TRUE(SelectableIntoNewDc(mono)) << "the new bitmap is selected in no DC";
    const BitImage after = ReadBitImage(bitmap);
    EXPECT_EQ(before.bytes, after.bytes) << "the source is not changed";
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(bitmap)) << "nor released";
    EXPECT_TRUE(DeleteObject(mono));
    DeleteObject(bitmap);
  }
}

TEST_F(Monochrome, AOneBitSourceComesBackEqual) {
  HBITMAP bitmap = MakeDeviceBitmap(61, 9, 1);
  BitImage image = ReadBitImage(bitmap);
  for (size_t i = 0; i < image.bytes.size(); ++i)
    image.bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  // Padding bits are not part of the picture: keep them clear on both sides.
  for (int y = 0; y < image.height; ++y)
    image.bytes[static_cast<size_t>(y) * image.rowLength + 7] &= 0xF8;
  DeleteObject(bitmap);
  bitmap = BitmapFromImage(image);
  ASSERT_NE(nullptr, bitmap);
  HBITMAP mono = CreateMonochromeLabelBitmap(bitmap);
  ASSERT_NE(nullptr, mono);
  const BitImage result = ReadBitImage(mono);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      ASSERT_EQ(MonoPixelIsWhite(image, x, y), MonoPixelIsWhite(result, x, y))
          << "pixel " << x << "," << y;
  DeleteObject(mono);
  DeleteObject(bitmap);
}

TEST_F(Monochrome, OnePixelWideSource) {
  HBITMAP bitmap = MakeDeviceBitmap(1, 3, 1);
  PaintBlack(bitmap, {{0, 1}});
  HGLOBAL dib = BitmapToPackedDib(bitmap);
  ASSERT_NE(nullptr, dib);
  EXPECT_EQ(40u + 8u + 4u * 3u, GlobalSize(dib)) << "rows of 4 bytes";
  GlobalFree(dib);
  HBITMAP mono = CreateMonochromeLabelBitmap(bitmap);
  ASSERT_NE(nullptr, mono);
  const BitImage image = ReadBitImage(mono);
  EXPECT_TRUE(MonoPixelIsWhite(image, 0, 0));
  EXPECT_FALSE(MonoPixelIsWhite(image, 0, 1));
  EXPECT_TRUE(MonoPixelIsWhite(image, 0, 2));
  DeleteObject(mono);
  DeleteObject(bitmap);
}

TEST_F(Monochrome, NullOrInvalidHandlesGiveNullAndLeaveNothing) {
  HBITMAP deleted = CreateBitmap(8, 8, 1, 1, nullptr);
  DeleteObject(deleted);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HDC dc = CreateCompatibleDC(nullptr);
  struct Case {
    const char* name;
    HBITMAP handle;
  } cases[] = {
      {"null", nullptr},
      {"never a handle", reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0x12345))},
      {"a deleted bitmap", deleted},
      {"a brush", reinterpret_cast<HBITMAP>(brush)},
      {"a DC", reinterpret_cast<HBITMAP>(dc)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartRecording();
    EXPECT_EQ(nullptr, BitmapToPackedDib(c.handle));
    EXPECT_EQ(nullptr, CreateMonochromeLabelBitmap(c.handle));
    CallLedger ledger = StopRecording();
    expect_nothing_left(ledger, nullptr);
    EXPECT_EQ(0, ledger.calls[kCallGlobalAlloc]) << "refused before allocating";
  }
  DeleteDC(dc);
  DeleteObject(brush);
}

TEST_F(Monochrome, EveryFailureReleasesWhatWasMade) {
  struct Case {
    HookedCall fail;                  // the call that fails
    int failAt;                       // which of its calls
    std::vector<HookedCall> released; // releases that must still happen
  } cases[] = {
      {kCallCreateCompatibleDC, 1, {}},
      {kCallGetObjectA, 1, {kCallDeleteDC}},
      {kCallGlobalAlloc, 1, {kCallDeleteDC}},
      {kCallGlobalLock, 1, {kCallGlobalFree, kCallDeleteDC}},
      {kCallGetDIBits, 1, {kCallGlobalUnlock, kCallGlobalFree, kCallReleaseDC, kCallDeleteDC}},
      {kCallGlobalLock, 2, {kCallGlobalFree, kCallDeleteDC}},
      {kCallCreateBitmap, 1, {kCallGlobalUnlock, kCallGlobalFree, kCallDeleteDC}},
      {kCallSelectObject,
       1,
       {kCallDeleteObject, kCallGlobalUnlock, kCallGlobalFree, kCallDeleteDC}},
  };
  HBITMAP bitmap = make_source(kSources[4]);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "call " << c.fail << " number " << c.failAt);
    StartRecording(c.fail, c.failAt);
    HBITMAP mono = CreateMonochromeLabelBitmap(bitmap);
    CallLedger ledger = StopRecording();
    EXPECT_EQ(nullptr, mono);
    EXPECT_EQ(c.failAt, ledger.calls[c.fail]) << "the failing call was reached";
    EXPECT_EQ(0, ledger.calls[kCallSetDIBitsToDevice]) << "nothing drawn";
    for (HookedCall release : c.released)
      EXPECT_GE(ledger.calls[release], 1) << "release call " << release;
    expect_nothing_left(ledger, nullptr);
  }
  DeleteObject(bitmap);
}

TEST_F(Monochrome, HundredsOfConversionsLeaveOnlyTheirResults) {
  std::vector<HBITMAP> sources;
  for (const Source& source : kSources)
    sources.push_back(make_source(source));
  int made = 0;
  for (int i = 0; i < 360; ++i) {
    SCOPED_TRACE(testing::Message() << "conversion " << i << ": " << kSources[i % 12].name);
    StartRecording();
    HBITMAP mono = CreateMonochromeLabelBitmap(sources[static_cast<size_t>(i) % sources.size()]);
    CallLedger ledger = StopRecording();
    ASSERT_NE(nullptr, mono);
    expect_nothing_left(ledger, mono);
    ASSERT_FALSE(testing::Test::HasFailure());
    made += static_cast<int>(ledger.madeObjects.size() + ledger.madeBlocks.size());
    EXPECT_TRUE(DeleteObject(mono));
    EXPECT_FALSE(DeleteObject(mono)) << "deleted once is gone";
  }
  EXPECT_EQ(360 * 3, made) << "a DC, a bitmap and a block per conversion";
  for (HBITMAP source : sources)
    DeleteObject(source);
}

TEST_F(Monochrome, TheHooksSeeAndCountWhatIsLeft) {
  // The counting itself: a DC left undeleted and a block left unfreed show.
  StartRecording();
  HDC dc = CreateCompatibleDC(nullptr);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
  HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, nullptr);
  SelectObject(dc, bitmap);
  CallLedger ledger = StopRecording();
  EXPECT_EQ(1u, ledger.liveMemoryDcs.count(dc));
  EXPECT_EQ(1u, ledger.liveBlocks.count(block));
  EXPECT_EQ(1u, ledger.liveBitmaps.count(bitmap));
  EXPECT_EQ(1u, ledger.selected.count(dc));
  EXPECT_FALSE(SelectableIntoNewDc(bitmap)) << "a selected bitmap cannot be selected again";
  EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(dc));
  EXPECT_NE(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(block));
  DeleteDC(dc);
  DeleteObject(bitmap);
  GlobalFree(block);
  EXPECT_EQ(0u, GetObjectType(dc));
  EXPECT_EQ(0u, GetObjectType(bitmap));
  EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(block));
}
