// The simulated printer: image memory effects of each command, printed labels read back from PNG
// files pixel by pixel, reply frames and their pace, the fault settings and the log lines.
#include "tlxsim/printer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "png_check.h"
#include "protocol_text.h"
#include "tlxsim/png_io.h"

using namespace tlxsim;
using namespace tlxsim_test;

namespace {

// Collects what the printer puts out; labels go to PNG files in a fresh folder.
class Capture : public PrinterOutput {
public:
  Capture() {
    char tmpl[] = "/tmp/tlxsim-printer-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  ~Capture() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  void log(const std::string& line) override { lines.push_back(line); }
  void reply(const uint8_t* bytes, size_t n) override {
    replies.append(reinterpret_cast<const char*>(bytes), n);
  }
  std::string save_label(uint32_t number, const Bitmap& image) override {
    std::string name = "label-" + std::to_string(number) + ".png";
    std::string error;
    EXPECT_TRUE(write_png(dir + "/" + name, image, &error)) << error;
    saved.push_back(dir + "/" + name);
    return name;
  }

  GreyImage label(size_t i) const {
    GreyImage img;
    std::string error;
    EXPECT_TRUE(load_png(saved.at(i), &img, &error)) << error;
    return img;
  }

  std::string dir;                // where label PNGs go
  std::vector<std::string> lines; // log lines
  std::string replies;            // reply bytes, in order
  std::vector<std::string> saved; // label files, in order
};

void send(Printer& p, const std::string& s, uint64_t now = 0) {
  p.receive(reinterpret_cast<const uint8_t*>(s.data()), s.size(), now);
}

PrinterConfig config12(uint32_t pace = 0) {
  PrinterConfig c;
  c.model = Model::Dots12;
  c.pace_ms = pace;
  return c;
}

// The black pixels of an image as (x, y) pairs.
std::set<std::pair<uint32_t, uint32_t>> black_pixels(const GreyImage& img) {
  std::set<std::pair<uint32_t, uint32_t>> s;
  for (uint32_t y = 0; y < img.height; ++y)
    for (uint32_t x = 0; x < img.width; ++x) {
      EXPECT_TRUE(img.black(x, y) || img.white(x, y)) << "grey pixel at " << x << "," << y;
      if (img.black(x, y))
        s.insert({x, y});
    }
  return s;
}

TEST(Printer, CompleteLabelGivesExactPixels) {
  Capture out;
  Printer p(config12(), out);
  // x = 36 (not on a byte boundary), y = 3, three bytes per row (0006 characters), two rows.
  send(p, clear_cmd() + condition12("012", '5') + image_header("0036", "0003", "0006", "0002") +
              raster({0x5A, 0xFF, 0x00, 0x80, 0x01, 0x0F}) + CR + print_cmd("0001"));
  p.run(0);
  ASSERT_EQ(out.saved.size(), 1u);
  GreyImage img = out.label(0);
  EXPECT_EQ(img.width, 1272u) << "106 mm at 12 dots/mm";
  EXPECT_EQ(img.height, 5u) << "down to the lowest row written";
  std::set<std::pair<uint32_t, uint32_t>> expected = {
      // row 3: 0x5A at dots 36..43, 0xFF at 44..51, 0x00 at 52..59
      {37, 3},
      {39, 3},
      {40, 3},
      {42, 3},
      {44, 3},
      {45, 3},
      {46, 3},
      {47, 3},
      {48, 3},
      {49, 3},
      {50, 3},
      {51, 3},
      // row 4: 0x80, 0x01, 0x0F
      {36, 4},
      {51, 4},
      {56, 4},
      {57, 4},
      {58, 4},
      {59, 4}};
  EXPECT_EQ(black_pixels(img), expected);
}

TEST(Printer, RepliesCountDownOneFramePerLabelAtThePace) {
  Capture out;
  Printer p(config12(100), out);
  send(p, image_header("0000", "0000", "0002", "0001") + "??" + CR + print_cmd("0003"), 1000);
  EXPECT_EQ(p.next_due_ms(), 1100u);
  p.run(1099);
  EXPECT_EQ(out.replies, "");
  EXPECT_EQ(p.labels_pending(), 3u);
  p.run(1100);
  EXPECT_EQ(out.replies, "\x1bO0002\r");
  p.run(1250);
  EXPECT_EQ(out.replies, "\x1bO0002\r\x1bO0001\r");
  p.run(1300);
  EXPECT_EQ(out.replies, "\x1bO0002\r\x1bO0001\r\x1bO0000\r");
  EXPECT_EQ(p.labels_printed(), 3u);
  EXPECT_EQ(p.labels_pending(), 0u);
  EXPECT_EQ(out.saved.size(), 3u);
}

TEST(Printer, PrintWithoutNumberPrintsNothingAndRepliesZeroAtOnce) {
  Capture out;
  Printer p(config12(100), out);
  send(p, clear_cmd() + print_no_number(), 0);
  EXPECT_EQ(out.replies, "\x1bO0000\r");
  p.run(10000);
  EXPECT_EQ(p.labels_printed(), 0u);
  EXPECT_EQ(out.lines, (std::vector<std::string>{"clear", "quantity none", "print quantity=0",
                                                 "reply O0000"}));
}

TEST(Printer, PrintBeforeAnyQuantityPrintsOne) {
  Capture out;
  Printer p(config12(), out);
  send(p, ESC + "R" + CR);
  p.run(0);
  EXPECT_EQ(p.labels_printed(), 1u);
  EXPECT_EQ(out.replies, "\x1bO0000\r");
}

TEST(Printer, ErrorFaultAnswersThePrintOrderInsteadOfPrinting) {
  Capture out;
  Printer p(config12(), out);
  p.set_error('F', 1);
  send(p, print_cmd("0002"));
  p.run(0);
  EXPECT_EQ(out.replies, "\x1b"
                         "F\r");
  EXPECT_EQ(p.labels_printed(), 0u);
  // Only the next order: the one after prints.
  send(p, print_cmd("0001"));
  p.run(0);
  EXPECT_EQ(out.replies, "\x1b"
                         "F\r\x1bO0000\r");
  EXPECT_EQ(p.labels_printed(), 1u);
}

TEST(Printer, ErrorFaultWithAnyLetterAndForEveryOrder) {
  Capture out;
  Printer p(config12(), out);
  p.set_error('x', UINT32_MAX);
  for (int i = 0; i < 3; ++i)
    send(p, print_cmd("0001"));
  p.run(0);
  EXPECT_EQ(out.replies, "\x1bx\r\x1bx\r\x1bx\r");
  p.set_error('E', 0);
  send(p, print_cmd("0001"));
  p.run(0);
  EXPECT_EQ(out.replies, "\x1bx\r\x1bx\r\x1bx\r\x1bO0000\r");
}

TEST(Printer, SilentPrintsButSendsNothing) {
  Capture out;
  Printer p(config12(), out);
  p.set_silent(true);
  send(p, print_cmd("0002"));
  p.run(0);
  EXPECT_EQ(out.replies, "");
  EXPECT_EQ(p.labels_printed(), 2u);
  EXPECT_EQ(out.lines.back(), "silent O0000");
}

TEST(Printer, StopCancelsRemainingLabelsAndClears) {
  Capture out;
  Printer p(config12(100), out);
  send(p, image_header("0000", "0000", "0002", "0001") + "??" + CR + print_cmd("0005"), 0);
  p.run(200);
  EXPECT_EQ(p.labels_printed(), 2u);
  send(p, stop_cmd(), 250);
  p.run(10000);
  EXPECT_EQ(p.labels_printed(), 2u);
  EXPECT_EQ(p.labels_pending(), 0u);
  EXPECT_EQ(out.replies, "\x1bO0004\r\x1bO0003\r");
  EXPECT_EQ(p.memory().height(), 0u);
  EXPECT_EQ(out.lines[out.lines.size() - 2], "stop");
  EXPECT_EQ(out.lines.back(), "cancel 3");
}

TEST(Printer, RegionOverwritesOnlyItsRectangleAndEarlierLabelsKeepTheirImage) {
  Capture out;
  Printer p(config12(100), out);
  // A complete label: 16 dots x 4 rows, all black.
  send(p,
       clear_cmd() + condition12("000", '5') + image_header("0000", "0000", "0004", "0004") +
           raster(std::vector<uint8_t>(8, 0xFF)) + CR + print_cmd("0001"),
       0);
  // Before the first label has come out, a changed region: dots 4..11 of row 1 white.
  send(p,
       condition12("000", '5') + image_header("0004", "0001", "0002", "0001") + raster({0x00}) +
           CR + print_cmd("0001"),
       10);
  p.run(1000);
  ASSERT_EQ(out.saved.size(), 2u);
  GreyImage first = out.label(0), second = out.label(1);
  ASSERT_EQ(first.height, 4u);
  ASSERT_EQ(second.height, 4u);
  EXPECT_EQ(first.count_black(), 64u) << "printed from the memory as the order found it";
  std::set<std::pair<uint32_t, uint32_t>> expected;
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 16; ++x)
      if (!(y == 1 && x >= 4 && x < 12))
        expected.insert({x, y});
  EXPECT_EQ(black_pixels(second), expected);
}

TEST(Printer, ClearBlanksTheMemoryAndItsHeightFollowsTheLowestRow) {
  Capture out;
  Printer p(config12(), out);
  send(p, image_header("0000", "0100", "0002", "0002") + "????" + CR);
  EXPECT_EQ(p.memory().height(), 102u);
  EXPECT_TRUE(p.memory().dot(0, 101));
  send(p, clear_cmd() + image_header("0000", "0000", "0002", "0001") + "0?" + CR);
  EXPECT_EQ(p.memory().height(), 1u);
  EXPECT_FALSE(p.memory().dot(0, 0));
  EXPECT_TRUE(p.memory().dot(7, 0));
  EXPECT_FALSE(p.memory().dot(0, 101));
}

TEST(Printer, EmptyMemoryPrintsOneWhiteRow) {
  Capture out;
  Printer p(config12(), out);
  send(p, clear_cmd() + print_cmd("0001"));
  p.run(0);
  GreyImage img = out.label(0);
  EXPECT_EQ(img.width, 1272u);
  EXPECT_EQ(img.height, 1u);
  EXPECT_EQ(img.count_black(), 0u);
}

TEST(Printer, DotsBeyondTheHeadAreDroppedAndLogged) {
  Capture out;
  PrinterConfig c = config12();
  c.head_mm = 56; // 672 dots
  Printer p(c, out);
  send(p, image_header("0668", "0000", "0004", "0001") + raster({0xFF, 0xFF}) + CR);
  EXPECT_EQ(p.memory().width(), 672u);
  for (uint32_t x = 668; x < 672; ++x)
    EXPECT_TRUE(p.memory().dot(x, 0)) << x;
  EXPECT_EQ(out.lines.back(), "image x=668 y=0 bytes=2 height=1 rows=1 data=4 clipped");
}

TEST(Printer, RowsBeyondTheMemoryLimitAreDropped) {
  Capture out;
  PrinterConfig c = config12();
  c.max_rows = 10;
  Printer p(c, out);
  send(p, image_header("0000", "0008", "0002", "0004") + "????????" + CR);
  EXPECT_EQ(p.memory().height(), 10u);
  EXPECT_TRUE(p.memory().dot(0, 9));
  EXPECT_EQ(out.lines.back(), "image x=0 y=8 bytes=1 height=4 rows=4 data=8 clipped");
}

TEST(Printer, EightDotModelTakesAllRowsBeyondTheLargestHeightCode) {
  Capture out;
  PrinterConfig c;
  c.model = Model::Dots8;
  c.pace_ms = 0;
  Printer p(c, out);
  std::string data;
  for (int row = 0; row < 1600; ++row)
    data += row == 1599 ? "?0" : "00";
  send(p, image_header("0000", "0000", "001", "?99") + data + CR + print_cmd("0001"));
  p.run(0);
  GreyImage img = out.label(0);
  EXPECT_EQ(img.width, 896u) << "112 mm at 8 dots/mm";
  EXPECT_EQ(img.height, 1600u);
  EXPECT_EQ(black_pixels(img),
            (std::set<std::pair<uint32_t, uint32_t>>{{0, 1599}, {1, 1599}, {2, 1599}, {3, 1599}}));
  EXPECT_EQ(out.lines[0], "image x=0 y=0 bytes=1 height=1599 rows=1600 data=3200");
}

TEST(Printer, LogLinesOfAJob) {
  Capture out;
  Printer p(config12(), out);
  send(p, "xy" + stop_cmd() + clear_cmd() + condition12("012", '5') +
              image_header("0036", "0000", "0150", "0002") + std::string(300, '0') + CR + ESC +
              "Q12" + print_cmd("0002"));
  p.run(0);
  std::vector<std::string> expected = {
      "skip 2 bytes garbage: 78 79",
      "stop",
      "clear",
      "media field=000 model=12",
      "start field=012",
      "density value=5 mode=1",
      "image x=36 y=0 bytes=75 height=2 rows=2 data=300",
      "skip 4 bytes unknown: 1B 51 31 32",
      "quantity 2",
      "print quantity=2",
      "label 1 saved label-1.png",
      "reply O0001",
      "label 2 saved label-2.png",
      "reply O0000",
  };
  EXPECT_EQ(out.lines, expected);
}

TEST(Printer, EightDotMediaAndLongSkipLogLines) {
  Capture out;
  PrinterConfig c;
  c.model = Model::Dots8;
  Printer p(c, out);
  send(p, ESC + "M1230" + CR + std::string(20, 'z') + ESC + "B0000");
  p.finish(0);
  std::vector<std::string> expected = {
      "media field=1230 model=8",
      "skip 20 bytes garbage: 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A ...",
      "skip 6 bytes truncated: 1B 42 30 30 30 30",
  };
  EXPECT_EQ(out.lines, expected);
}

TEST(Printer, TooManyWaitingOrdersAreRefused) {
  Capture out;
  Printer p(config12(1000), out);
  for (size_t i = 0; i < kMaxQueuedJobs + 1; ++i)
    send(p, print_cmd("0001"), 0);
  EXPECT_EQ(p.labels_pending(), kMaxQueuedJobs);
  EXPECT_EQ(out.lines.back(), "refused busy");
}

TEST(PngIo, ReaderAgreesWithLibpng) {
  Bitmap b = Bitmap::blank(13, 3);
  b.set(0, 0, true);
  b.set(12, 2, true);
  b.set(7, 1, true);
  char tmpl[] = "/tmp/tlxsim-png-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string path = dir + "/b.png", error;
  ASSERT_TRUE(write_png(path, b, &error)) << error;
  Bitmap back;
  ASSERT_TRUE(read_png(path, &back, &error)) << error;
  EXPECT_EQ(back.width, 13u);
  EXPECT_EQ(back.height, 3u);
  EXPECT_EQ(back.bits, b.bits);
  EXPECT_FALSE(read_png(dir + "/missing.png", &back, &error));
  EXPECT_FALSE(write_png(dir + "/no/such/dir.png", b, &error));
  std::system(("rm -rf '" + dir + "'").c_str());
}

} // namespace
