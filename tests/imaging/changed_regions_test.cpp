// FindChangedRegions on real GDI bitmaps under Wine: the worked examples at
// every depth, device bitmaps and DIB sections, padding, the changed-block
// limit, refusals that leave the output alone, every x87 precision setting,
// and generated labels against the literal procedure.
#include <gtest/gtest.h>

#include <float.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/changed_regions.h"
#include "tests/imaging/bit_images.h"
#include "tests/imaging/gdi_bitmaps.h"
#include "support/gdi_hooks.h"
#include "tests/imaging/literal_regions.h"
#include "tests/imaging/worked_examples.h"

namespace {

// Runs the comparison; the regions for n >= 1, and for -1 and 0 a check that
// the output pointer was left alone.
SHORT compare(HBITMAP previous, HBITMAP current, std::vector<ChangedRegion>* regions) {
  ChangedRegion* out = kUntouchedRegions;
  const SHORT result = FindChangedRegions(previous, current, &out);
  regions->clear();
  if (result <= 0) {
    EXPECT_EQ(kUntouchedRegions, out) << "regionsOut written for result " << result;
  } else {
    regions->assign(out, out + result);
    free(out);
  }
  return result;
}

using MakeBitmap = HBITMAP (*)(int, int, int);

struct Kind {
  const char* name; // for failure messages
  MakeBitmap make;  // how the two bitmaps are made
  int bitsPerPixel; // their depth
};

const Kind kKinds[] = {
    {"device bitmap, 1 bit", MakeDeviceBitmap, 1},
    {"device bitmap, 4 bits", MakeDeviceBitmap, 4},
    {"device bitmap, 8 bits", MakeDeviceBitmap, 8},
    {"device bitmap, 16 bits", MakeDeviceBitmap, 16},
    {"device bitmap, 24 bits", MakeDeviceBitmap, 24},
    {"device bitmap, 32 bits", MakeDeviceBitmap, 32},
    {"DIB section, 1 bit", MakeDibSection, 1},
    {"DIB section, 8 bits", MakeDibSection, 8},
    {"DIB section, 24 bits", MakeDibSection, 24},
    {"DIB section, 32 bits", MakeDibSection, 32},
};
} // namespace

TEST(FindChangedRegions, WorkedExamplesOnMonochromeBitmaps) {
  for (const WorkedExample& example : WorkedExamples()) {
    SCOPED_TRACE(example.name);
    HBITMAP previous = MakeDeviceBitmap(example.width, example.height, 1);
    HBITMAP current = MakeDeviceBitmap(example.width, example.height, 1);
    // A pixel listed twice changes back.
    for (const Pixel& p : example.changed) {
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, current);
      SetPixel(dc, p.x, p.y, GetPixel(dc, p.x, p.y) == RGB(0, 0, 0) ? RGB(255, 255, 255) : 0);
      SelectObject(dc, old);
      DeleteDC(dc);
    }
    std::vector<ChangedRegion> regions;
    EXPECT_EQ(example.result, compare(previous, current, &regions));
    EXPECT_EQ(DescribeRegions(example.regions), DescribeRegions(regions));
    DeleteObject(previous);
    DeleteObject(current);
  }
}

TEST(FindChangedRegions, EveryDepthAndKindOfBitmap) {
  ASSERT_TRUE(InstallHooks());
  for (const Kind& kind : kKinds) {
    for (const WorkedExample& example : WorkedExamples()) {
      if (example.changed.size() > 5 || example.result < 0)
        continue;
      bool twice = false;
      for (size_t i = 1; i < example.changed.size(); ++i)
        twice = twice || (example.changed[i].x == example.changed[0].x &&
                          example.changed[i].y == example.changed[0].y);
      if (twice)
        continue;
      SCOPED_TRACE(testing::Message() << kind.name << ": " << example.name);
      HBITMAP previous = kind.make(example.width, example.height, kind.bitsPerPixel);
      HBITMAP current = kind.make(example.width, example.height, kind.bitsPerPixel);
      ASSERT_NE(nullptr, previous);
      PaintBlack(current, example.changed);
      const BitImage before = ReadBitImage(previous);
      const BitImage after = ReadBitImage(current);
      std::vector<ChangedRegion> regions;
      StartRecording();
      EXPECT_EQ(example.result, compare(previous, current, &regions));
      const CallLedger ledger = StopRecording();
      EXPECT_EQ(DescribeRegions(example.regions), DescribeRegions(regions));
      // Only read: not changed, selected or released.
      EXPECT_EQ(before.bytes, ReadBitImage(previous).bytes);
      EXPECT_EQ(after.bytes, ReadBitImage(current).bytes);
      EXPECT_EQ(0, ledger.calls[kCallSelectObject]);
      EXPECT_EQ(0, ledger.calls[kCallDeleteObject]);
      EXPECT_EQ(2, ledger.calls[kCallGetBitmapBits]);
      DeleteObject(previous);
      DeleteObject(current);
    }
  }
}

TEST(FindChangedRegions, TenThousandChangedBlocksAreAcceptedTheNextIsNot) {
  BitImage image = MakeBitImage(800, 808, 1, 0xFF);
  HBITMAP previous = BitmapFromImage(image);
  for (int32_t by = 0; by < 100; ++by)
    for (int32_t bx = 0; bx < 100; ++bx)
      FlipPixel(&image, bx * 8 + (bx * 3 + by) % 8, by * 8 + (bx + by) % 8);
  HBITMAP exactly = BitmapFromImage(image);
  FlipPixel(&image, 400, 804); // block (50, 100)
  HBITMAP oneMore = BitmapFromImage(image);
  std::vector<ChangedRegion> regions;
  EXPECT_EQ(1, compare(previous, exactly, &regions));
  EXPECT_EQ(DescribeRegions({{0, 0, 800, 808}}), DescribeRegions(regions));
  EXPECT_EQ(-1, compare(previous, oneMore, &regions));
  EXPECT_EQ(-1, compare(oneMore, previous, &regions));
  DeleteObject(previous);
  DeleteObject(exactly);
  DeleteObject(oneMore);
}

TEST(FindChangedRegions, RefusalsLeaveTheOutputAlone) {
  HBITMAP a64 = MakeDeviceBitmap(64, 64, 1);
  HBITMAP b64 = MakeDeviceBitmap(64, 64, 1);
  HBITMAP tall = MakeDeviceBitmap(64, 65, 1);
  HBITMAP wide = MakeDeviceBitmap(65, 64, 1);
  HBITMAP deep = MakeDeviceBitmap(64, 64, 8);
  HBITMAP dib1 = MakeDibSection(64, 64, 1);
  HBITMAP deleted = MakeDeviceBitmap(64, 64, 1);
  DeleteObject(deleted);
  HBRUSH brush = CreateSolidBrush(0);
  struct Case {
    const char* name;
    HBITMAP previous, current;
    SHORT result;
  } cases[] = {
      {"equal bitmaps", a64, b64, 0},
      {"the same bitmap twice", a64, a64, 0},
      {"white stored as set bits and as clear bits: compared as bits", a64, dib1, 1},
      {"64x64 and 64x65", a64, tall, -1},
      {"64x65 and 64x64", tall, a64, -1},
      {"64x64 and 65x64", a64, wide, -1},
      {"1 and 8 bits per pixel", a64, deep, -1},
      {"8 and 1 bits per pixel", deep, a64, -1},
      {"null previous", nullptr, a64, -1},
      {"null current", a64, nullptr, -1},
      {"deleted bitmap", deleted, a64, -1},
      {"a brush", reinterpret_cast<HBITMAP>(brush), a64, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ChangedRegion> regions;
    EXPECT_EQ(c.result, compare(c.previous, c.current, &regions));
  }
  PaintBlack(b64, {{9, 9}});
  EXPECT_EQ(-1, FindChangedRegions(a64, b64, nullptr)) << "no place for the regions";
  for (HGDIOBJ object :
       {static_cast<HGDIOBJ>(a64), static_cast<HGDIOBJ>(b64), static_cast<HGDIOBJ>(tall),
        static_cast<HGDIOBJ>(wide), static_cast<HGDIOBJ>(deep), static_cast<HGDIOBJ>(dib1),
        static_cast<HGDIOBJ>(brush)})
    DeleteObject(object);
}

TEST(FindChangedRegions, UnreadableBitsGiveMinusOne) {
  ASSERT_TRUE(InstallHooks());
  HBITMAP previous = MakeDeviceBitmap(64, 64, 1);
  HBITMAP current = MakeDeviceBitmap(64, 64, 1);
  PaintBlack(current, {{20, 20}});
  for (int failAt : {1, 2}) {
    SCOPED_TRACE(failAt);
    std::vector<ChangedRegion> regions;
    StartRecording(kCallGetBitmapBits, failAt);
    EXPECT_EQ(-1, compare(previous, current, &regions));
    CallLedger ledger = StopRecording();
    EXPECT_EQ(failAt, ledger.calls[kCallGetBitmapBits]);
    EXPECT_TRUE(ledger.madeObjects.empty()) << "no GDI object made";
  }
  std::vector<ChangedRegion> regions;
  StartRecording(kCallGetObjectA, 2);
  EXPECT_EQ(-1, compare(previous, current, &regions));
  StopRecording();
  // Both read, the previous first.
  StartRecording();
  EXPECT_EQ(1, compare(previous, current, &regions));
  CallLedger ledger = StopRecording();
  EXPECT_EQ(2, ledger.calls[kCallGetBitmapBits]);
  EXPECT_TRUE(ledger.madeObjects.empty());
  DeleteObject(previous);
  DeleteObject(current);
}

TEST(FindChangedRegions, SameRegionsUnderEveryX87Precision) {
  // The host sets the FPU's precision control; shares of exactly one in five
  // must stay under each setting.
  struct Case {
    const char* name;
    unsigned int precision;
  } cases[] = {
      {"64-bit mantissa", _PC_64}, {"53-bit mantissa", _PC_53}, {"24-bit mantissa", _PC_24}};
  const unsigned int saved = _controlfp(0, 0);
  HBITMAP previous = MakeDeviceBitmap(64, 64, 1);
  HBITMAP current = MakeDeviceBitmap(64, 64, 1);
  PaintBlack(current, {{31, 48}, {47, 60}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _controlfp(c.precision, _MCW_PC);
    std::vector<ChangedRegion> regions;
    const SHORT result = compare(previous, current, &regions);
    _controlfp(saved, _MCW_PC);
    EXPECT_EQ(1, result);
    EXPECT_EQ(DescribeRegions({{0, 48, 48, 16}}), DescribeRegions(regions));
  }
  DeleteObject(previous);
  DeleteObject(current);
}

TEST(FindChangedRegions, AgreesWithTheLiteralProcedureOnGeneratedLabels) {
  int compared = 0;
  for (uint32_t n = 0; n < 400; ++n) {
    const ImagePair pair = GeneratePair(n * 4 + 1);
    SCOPED_TRACE(testing::Message() << "case " << n * 4 + 1 << ": " << pair.kind);
    HBITMAP previous = BitmapFromImage(pair.previous);
    HBITMAP current = BitmapFromImage(pair.current);
    ASSERT_NE(nullptr, previous);
    ASSERT_NE(nullptr, current);
    // What the bitmaps hold: Wine keeps no padding bits.
    const BitImage held[2] = {ReadBitImage(previous), ReadBitImage(current)};
    const BitmapBits a = ViewOf(held[0]);
    const BitmapBits b = ViewOf(held[1]);
    ChangedRegion* literal = kUntouchedRegions;
    const SHORT expected = LiteralFindChangedRegions(&a, &b, &literal);
    std::vector<ChangedRegion> regions;
    ASSERT_EQ(expected, compare(previous, current, &regions));
    if (expected > 0) {
      EXPECT_EQ(DescribeRegions(std::vector<ChangedRegion>(literal, literal + expected)),
                DescribeRegions(regions));
      free(literal);
    }
    ++compared;
    DeleteObject(previous);
    DeleteObject(current);
  }
  EXPECT_EQ(400, compared);
}
