// Decoder of the printer's command stream: each command and its malformed variants, image headers
// of both models, resynchronisation after garbage, and independence from chunk boundaries.
#include "tlxsim/decoder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "protocol_text.h"

using namespace tlxsim;
using namespace tlxsim_test;

namespace {

// Writes what the decoder reports as text lines; image data is gathered per row so that the
// trace does not depend on how the stream was cut.
class TraceSink : public DecoderSink {
public:
  std::vector<std::string> lines;

  void command(const Command& c) override {
    std::string s;
    switch (c.kind) {
    case CommandKind::Clear:
      s = "clear";
      break;
    case CommandKind::Stop:
      s = c.with_clear ? "stop+clear" : "stop";
      break;
    case CommandKind::Media:
      s = "media " + std::string(c.field) + " m" + std::to_string(int(c.model));
      break;
    case CommandKind::Start:
      s = "start " + std::to_string(c.value);
      break;
    case CommandKind::Density:
      s = "density " + std::to_string(c.value) + " " + std::to_string(c.mode);
      break;
    case CommandKind::Quantity:
      s = c.has_value ? "quantity " + std::to_string(c.value) : "quantity none";
      break;
    case CommandKind::Print:
      s = "print";
      break;
    case CommandKind::Skip: {
      static const char* names[] = {"garbage", "unknown", "bad-field", "truncated"};
      s = "skip " + std::to_string(c.skipped) + " " + names[int(c.reason)] + " [" +
          std::string(reinterpret_cast<const char*>(c.preview), c.preview_len) + "]";
      break;
    }
    }
    lines.push_back(s);
  }
  void image_begin(const ImageArea& a) override {
    rows_.clear();
    lines.push_back("image x=" + std::to_string(a.x) + " y=" + std::to_string(a.y) + " row_chars=" +
                    std::to_string(a.row_chars) + " height=" + std::to_string(a.height));
  }
  void image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) override {
    std::string& r = rows_[row];
    EXPECT_EQ(r.size(), col) << "data out of order in row " << row;
    r.append(reinterpret_cast<const char*>(chars), n);
  }
  void image_end(const ImageArea& a) override {
    for (const auto& [row, text] : rows_)
      if (rows_.size() <= 8) // long images are summed up by the end line
        lines.push_back("  row " + std::to_string(row) + " " + text);
    lines.push_back("end data=" + std::to_string(a.data_chars) + " rows=" + std::to_string(a.rows) +
                    (a.complete ? " cr" : " cut"));
  }

private:
  std::map<uint64_t, std::string> rows_; // data of the current image, per row
};

std::vector<std::string> decode(const std::string& stream, Model model = Model::Dots12,
                                size_t chunk = 0) {
  TraceSink sink;
  Decoder d(model, sink);
  const auto* p = reinterpret_cast<const uint8_t*>(stream.data());
  if (chunk == 0) {
    d.feed(p, stream.size());
  } else {
    for (size_t i = 0; i < stream.size(); i += chunk)
      d.feed(p + i, std::min(chunk, stream.size() - i));
  }
  d.finish();
  return sink.lines;
}

struct Case {
  const char* name;               // what the case shows
  std::string stream;             // bytes on the line
  Model model;                    // decoder's model
  std::vector<std::string> trace; // expected report
};

class DecoderCases : public testing::TestWithParam<Case> {};

TEST_P(DecoderCases, DecodesAsExpected) {
  const Case& c = GetParam();
  EXPECT_EQ(decode(c.stream, c.model), c.trace) << c.name;
  // Byte by byte gives the same result.
  EXPECT_EQ(decode(c.stream, c.model, 1), c.trace) << c.name << " (byte by byte)";
}

const Case kCases[] = {
    {"clear", clear_cmd(), Model::Dots12, {"clear"}},
    {"stop", stop_cmd(), Model::Dots12, {"stop+clear"}},
    {"stop without the clear", ESC + "S" + CR, Model::Dots12, {"stop"}},
    {"clear then condition",
     clear_cmd() + condition12("012", '5'),
     Model::Dots12,
     {"clear", "media 000 m12", "start 12", "density 5 1"}},
    {"clear, ESC S with a field: clear and a malformed stop",
     clear_cmd() + ESC + "SX" + CR,
     Model::Dots12,
     {"clear", "skip 4 bad-field [\x1bSX\r]"}},
    {"clear, then a lone ESC at the end",
     clear_cmd() + ESC,
     Model::Dots12,
     {"clear", "skip 1 truncated [\x1b]"}},
    {"condition, 8 dot/mm",
     condition8("050", "123", '9'),
     Model::Dots8,
     {"media 0500 m8", "start 123", "density 9 1"}},
    {"print with a quantity", print_cmd("0002"), Model::Dots12, {"quantity 2", "print"}},
    {"print without a number", print_no_number(), Model::Dots12, {"quantity none", "print"}},
    {"quantity of two digits is malformed",
     ESC + "P12" + CR + ESC + "R" + CR,
     Model::Dots12,
     {"skip 5 bad-field [\x1bP12\r]", "print"}},
    {"quantity of five digits is malformed",
     ESC + "P00001" + CR + clear_cmd(),
     Model::Dots12,
     {"skip 8 bad-field [\x1bP00001\r]", "clear"}},
    {"start position with a letter",
     ESC + "K0a2" + CR,
     Model::Dots12,
     {"skip 6 bad-field [\x1bK0a2\r]"}},
    {"density must be two digits",
     ESC + "A5" + CR + ESC + "A:1" + CR,
     Model::Dots12,
     {"skip 4 bad-field [\x1b"
      "A5\r]",
      "skip 5 bad-field [\x1b"
      "A:1\r]"}},
    {"clear with another digit", ESC + "Z2" + CR, Model::Dots12, {"skip 4 bad-field [\x1bZ2\r]"}},
    {"unknown letter, resynchronised at the next ESC",
     ESC + "Xabc" + clear_cmd(),
     Model::Dots12,
     {"skip 5 unknown [\x1bXabc]", "clear"}},
    {"garbage before a command",
     "junk" + clear_cmd(),
     Model::Dots12,
     {"skip 4 garbage [junk]", "clear"}},
    {"garbage after the image data (extra records)",
     image_header("0000", "0000", "0002", "0001") + "??" + CR + "\x01\x02rec" + print_cmd("0001"),
     Model::Dots12,
     {"image x=0 y=0 row_chars=2 height=1", "  row 0 ??", "end data=2 rows=1 cr",
      "skip 5 garbage [\x01\x02rec]", "quantity 1", "print"}},
    {"command cut short by the next ESC",
     ESC + "K01" + ESC + "R" + CR,
     Model::Dots12,
     {"skip 4 truncated [\x1bK01]", "print"}},
    {"two ESCs: the second starts the command",
     ESC + clear_cmd(),
     Model::Dots12,
     {"skip 1 unknown [\x1b]", "clear"}},
    {"image, 12 dot/mm: width in characters per row",
     image_header("0008", "0002", "0004", "0002") + "?0?00??0" + CR,
     Model::Dots12,
     {"image x=8 y=2 row_chars=4 height=2", "  row 0 ?0?0", "  row 1 0??0",
      "end data=8 rows=2 cr"}},
    {"image, 8 dot/mm: width in bytes per row",
     image_header("0024", "0000", "002", "002") + "?0?00??0" + CR,
     Model::Dots8,
     {"image x=24 y=0 row_chars=4 height=2", "  row 0 ?0?0", "  row 1 0??0",
      "end data=8 rows=2 cr"}},
    {"image cut by ESC: what came is kept, the command is decoded",
     image_header("0000", "0000", "0004", "0002") + "?0?00?" + clear_cmd(),
     Model::Dots12,
     {"image x=0 y=0 row_chars=4 height=2", "  row 0 ?0?0", "  row 1 0?", "end data=6 rows=2 cut",
      "clear"}},
    {"image cut by a byte outside the data range",
     image_header("0000", "0000", "0002", "0001") + "?A" + CR,
     Model::Dots12,
     {"image x=0 y=0 row_chars=2 height=1", "  row 0 ?", "end data=1 rows=1 cut",
      "skip 2 garbage [A\r]"}},
    {"image header with a letter",
     image_header("00a0", "0000", "0002", "0001") + "??" + CR,
     Model::Dots12,
     {"skip 21 bad-field [\x1b"
      "B00a00000000200]"}},
    {"image header cut by CR",
     ESC + "B0000" + CR + clear_cmd(),
     Model::Dots12,
     {"skip 7 bad-field [\x1b"
      "B0000\r]",
      "clear"}},
    {"image header of width 0: data counted, nothing placed",
     image_header("0000", "0000", "0000", "0001") + "??" + CR,
     Model::Dots12,
     {"image x=0 y=0 row_chars=0 height=1", "end data=2 rows=0 cr"}},
    {"odd characters per row (12 dot/mm) stay aligned by character",
     image_header("0000", "0000", "0003", "0002") + "?0?0?0" + CR,
     Model::Dots12,
     {"image x=0 y=0 row_chars=3 height=2", "  row 0 ?0?", "  row 1 0?0", "end data=6 rows=2 cr"}},
    {"stream ends in the middle of an image",
     image_header("0000", "0000", "0002", "0002") + "??",
     Model::Dots12,
     {"image x=0 y=0 row_chars=2 height=2", "  row 0 ??", "end data=2 rows=1 cut"}},
};

INSTANTIATE_TEST_SUITE_P(Stream, DecoderCases, testing::ValuesIn(kCases));

// 8 dot/mm height codes: the header's three characters and the row count they stand for.
struct HeightCase {
  const char* code; // header characters
  uint32_t height;  // rows the header announces
  uint32_t sent;    // rows actually sent
};

class HeightCodes : public testing::TestWithParam<HeightCase> {};

TEST_P(HeightCodes, AnnouncedAndReceivedRows) {
  const HeightCase& c = GetParam();
  std::string data(size_t(c.sent) * 2, '0'); // one byte per row
  auto trace = decode(image_header("0000", "0000", "001", c.code) + data + CR, Model::Dots8);
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0], "image x=0 y=0 row_chars=2 height=" + std::to_string(c.height));
  EXPECT_EQ(trace[1],
            "end data=" + std::to_string(c.sent * 2) + " rows=" + std::to_string(c.sent) + " cr");
}

INSTANTIATE_TEST_SUITE_P(Dots8, HeightCodes,
                         testing::Values(HeightCase{"999", 999, 999}, HeightCase{":00", 1000, 1000},
                                         HeightCase{"<34", 1234, 1234},
                                         HeightCase{"?99", 1599, 1599},
                                         // 1600 rows and more: the header says 1599, all come
                                         HeightCase{"?99", 1599, 1600},
                                         HeightCase{"?99", 1599, 2000}));

TEST(Decoder, FollowsTheModelOfTheMediaCommandWhenNotFixed) {
  // 16 header characters on the 12 dot/mm model, 14 after an 8 dot/mm ESC M.
  std::string s = image_header("0000", "0000", "0002", "0001") + "??" + CR +
                  condition8("050", "000", '5') + image_header("0000", "0000", "001", "001") +
                  "??" + CR;
  auto trace = decode(s, Model::Unknown);
  std::vector<std::string> expected = {"image x=0 y=0 row_chars=2 height=1",
                                       "  row 0 ??",
                                       "end data=2 rows=1 cr",
                                       "media 0500 m8",
                                       "start 0",
                                       "density 5 1",
                                       "image x=0 y=0 row_chars=2 height=1",
                                       "  row 0 ??",
                                       "end data=2 rows=1 cr"};
  EXPECT_EQ(trace, expected);
}

TEST(Decoder, FixedModelIgnoresTheMediaCommandsLayout) {
  // A 12 dot/mm printer reads a 14-character header as 16: it takes two data characters along.
  std::string s =
      condition8("050", "000", '5') + image_header("0000", "0000", "001", "001") + "00??" + CR;
  auto trace = decode(s, Model::Dots12);
  std::vector<std::string> expected = {"media 0500 m8", "start 0",
                                       "density 5 1",   "image x=0 y=0 row_chars=10 height=100",
                                       "  row 0 ??",    "end data=2 rows=1 cr"};
  EXPECT_EQ(trace, expected);
}

TEST(Decoder, FlushSettlesAWaitingClearButNotAStopInProgress) {
  TraceSink sink;
  Decoder d(Model::Dots12, sink);
  std::string c = clear_cmd();
  d.feed(reinterpret_cast<const uint8_t*>(c.data()), c.size());
  EXPECT_TRUE(sink.lines.empty()) << "a clear waits to see whether ESC S CR follows";
  d.flush();
  EXPECT_EQ(sink.lines, std::vector<std::string>{"clear"});
  // Once settled, a late ESC S CR is a stop on its own.
  std::string s = ESC + "S" + CR;
  d.feed(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"clear", "stop"}));
}

TEST(Decoder, LongGarbageIsOneSkipWithABoundedPreview) {
  std::string junk(100000, 'x');
  auto trace = decode(junk + clear_cmd());
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0], "skip 100000 garbage [" + std::string(kSkipPreview, 'x') + "]");
  EXPECT_EQ(trace[1], "clear");
}

// The same stream cut at every possible place, and in random pieces, decodes the same.
TEST(Decoder, ResultDoesNotDependOnChunkBoundaries) {
  std::string s = "garbage" + stop_cmd() + clear_cmd() + condition12("010", '3') +
                  image_header("0036", "0000", "0006", "0003") +
                  raster({0x5A, 0xFF, 0x00, 1, 2, 3, 4, 5, 6}) + CR + ESC + "Q" + "opaque" +
                  clear_cmd() + ESC + "Z1" + CR + ESC + "S" + print_cmd("0003") +
                  print_no_number() + ESC + "B0000";
  const auto whole = decode(s);
  ASSERT_GT(whole.size(), 10u);
  for (size_t cut = 1; cut < s.size(); ++cut) {
    TraceSink sink;
    Decoder d(Model::Dots12, sink);
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    d.feed(p, cut);
    d.feed(p + cut, s.size() - cut);
    d.finish();
    ASSERT_EQ(sink.lines, whole) << "cut at " << cut;
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    TraceSink sink;
    Decoder d(Model::Dots12, sink);
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    size_t i = 0;
    while (i < s.size()) {
      size_t n = std::min<size_t>(s.size() - i, 1 + rng() % 9);
      d.feed(p + i, n);
      i += n;
    }
    d.finish();
    ASSERT_EQ(sink.lines, whole) << "round " << round;
  }
}

TEST(Decoder, ParseDigits) {
  EXPECT_EQ(parse_digits("0123", 4), 123);
  EXPECT_EQ(parse_digits("", 0), 0);
  EXPECT_EQ(parse_digits("12a", 3), -1);
  EXPECT_EQ(parse_digits(":00", 3), -1);
}

} // namespace
