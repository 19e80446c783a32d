// The simulator's decoder against the printer's command bytes, written out from its command table
// (ESC = 0x1B, CR = 0x0D): each command and its malformed variants, image headers of both models,
// resynchronisation after garbage. Every stream decodes the same whole and in chunks of 1, 2, 7.
#include "tlxsim/decoder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace tlxsim;

#define ESC "\x1b"
#define CR "\r"

namespace {

// What the decoder reports, one item after another: commands, and each image with its rows' data
// (images of more than 8 rows summed up by the end item alone).
class Trace : public DecoderSink {
public:
  std::string text;

  void command(const Command& c) override {
    static const char* kKinds[] = {"clear",   "stop",     "media", "start",
                                   "density", "quantity", "print", "skip"};
    static const char* kReasons[] = {"garbage", "unknown", "bad-field", "truncated"};
    const std::string n = " " + std::to_string(c.value);
    const std::string detail[] = {
        "",
        c.with_clear ? "+clear" : "",
        " " + std::string(c.field) + " m" + str(int(c.model)),
        n,
        n + " " + str(c.mode),
        c.has_value ? n : " none",
        "",
        " " + str(c.skipped) + " " + kReasons[int(c.reason)] + " [" +
            std::string(reinterpret_cast<const char*>(c.preview), c.preview_len) + "]"};
    add(kKinds[int(c.kind)] + detail[int(c.kind)]);
  }
  void image_begin(const ImageArea& a) override {
    rows_.clear();
    add("image " + str(a.x) + "," + str(a.y) + " chars=" + str(a.row_chars) +
        " h=" + str(a.height));
  }
  void image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) override {
    EXPECT_EQ(rows_[row].size(), col) << "data out of order in row " << row;
    rows_[row].append(reinterpret_cast<const char*>(chars), n);
  }
  void image_end(const ImageArea& a) override {
    for (const auto& [row, data] : rows_)
      if (rows_.size() <= 8)
        add("row " + str(row) + " " + data);
    add("end data=" + str(a.data_chars) + " rows=" + str(a.rows) + (a.complete ? " cr" : " cut"));
  }

private:
  static std::string str(uint64_t v) { return std::to_string(v); }
  void add(const std::string& item) { text += (text.empty() ? "" : "|") + item; }
  std::map<uint64_t, std::string> rows_; // data of the current image, per row
};

struct Case {
  Model model;        // the decoder's model (Unknown: follow ESC M)
  std::string stream; // bytes on the line
  std::string trace;  // what the decoder reports, items separated by '|'
};

const Model k12 = Model::Dots12, k8 = Model::Dots8;
const std::string kGarbage(100000, 'x');

const Case kCases[] = {
    // Clear, stop, condition, print and quantity.
    {k12, ESC "Z1" CR, "clear"},
    {k12, ESC "Z1" CR ESC "S" CR, "stop+clear"},
    {k12, ESC "S" CR, "stop"},
    {k12, ESC "Z1" CR ESC "M000" CR ESC "K012" CR ESC "A51" CR,
     "clear|media 000 m12|start 12|density 5 1"},
    {k8, ESC "M0500" CR ESC "K123" CR ESC "A91" CR, "media 0500 m8|start 123|density 9 1"},
    {k12, ESC "P0002" CR ESC "R" CR, "quantity 2|print"},
    {k12, ESC "P" CR ESC "R" CR, "quantity none|print"},
    // Malformed fields, unknown letters, garbage (previewed in 16 bytes) and truncation.
    {k12, ESC "Z1" CR ESC "SX" CR, "clear|skip 4 bad-field [" ESC "SX" CR "]"},
    {k12, ESC "P12" CR ESC "P00001" CR,
     "skip 5 bad-field [" ESC "P12" CR "]|skip 8 bad-field [" ESC "P00001" CR "]"},
    {k12, ESC "K0a2" CR ESC "Z2" CR,
     "skip 6 bad-field [" ESC "K0a2" CR "]|skip 4 bad-field [" ESC "Z2" CR "]"},
    {k12, ESC "A5" CR ESC "A:1" CR,
     "skip 4 bad-field [" ESC "A5" CR "]|skip 5 bad-field [" ESC "A:1" CR "]"},
    {k12, ESC "Xabc" ESC ESC "Z1" CR,
     "skip 5 unknown [" ESC "Xabc]|skip 1 unknown [" ESC "]|clear"},
    {k12, kGarbage + ESC "Z1" CR, "skip 100000 garbage [" + kGarbage.substr(0, 16) + "]|clear"},
    {k12, ESC "K01" ESC "R" CR ESC,
     "skip 4 truncated [" ESC "K01]|print|skip 1 truncated [" ESC "]"},
    // Image areas: 12 dot/mm headers give characters per row and rows, 8 dot/mm ones bytes per row
    // and a coded height ("999", ":00" = 1000 ... "?99" = 1599, also for taller images).
    {k12, ESC "B0008000200040002?0?00??0" CR,
     "image 8,2 chars=4 h=2|row 0 ?0?0|row 1 0??0|end data=8 rows=2 cr"},
    {k8, ESC "B00240000002002?0?00??0" CR,
     "image 24,0 chars=4 h=2|row 0 ?0?0|row 1 0??0|end data=8 rows=2 cr"},
    {k8, ESC "B00000000001<3400" CR, "image 0,0 chars=2 h=1234|row 0 00|end data=2 rows=1 cr"},
    {k8, ESC "B00000000001?99" + std::string(3200, '0') + CR,
     "image 0,0 chars=2 h=1599|end data=3200 rows=1600 cr"},
    {k12, ESC "B0000000000030002?0?0?0" CR,
     "image 0,0 chars=3 h=2|row 0 ?0?|row 1 0?0|end data=6 rows=2 cr"},
    {k12, ESC "B0000000000000001??" CR, "image 0,0 chars=0 h=1|end data=2 rows=0 cr"},
    {k12, ESC "B0000000000020001??" CR "\x01\x02rec" ESC "P0001" CR,
     "image 0,0 chars=2 h=1|row 0 ??|end data=2 rows=1 cr|skip 5 garbage [\x01\x02rec]|quantity 1"},
    {k12, ESC "B0000000000040002?0?00?" ESC "Z1" CR,
     "image 0,0 chars=4 h=2|row 0 ?0?0|row 1 0?|end data=6 rows=2 cut|clear"},
    {k12, ESC "B0000000000020001?A" CR,
     "image 0,0 chars=2 h=1|row 0 ?|end data=1 rows=1 cut|skip 2 garbage [A" CR "]"},
    {k12, ESC "B0000000000020002??", "image 0,0 chars=2 h=2|row 0 ??|end data=2 rows=1 cut"},
    {k12, ESC "B00a0000000020001??" CR, "skip 21 bad-field [" ESC "B00a00000000200]"},
    {k12, ESC "B0000" CR ESC "Z1" CR, "skip 7 bad-field [" ESC "B0000" CR "]|clear"},
    // The model: followed from ESC M when not fixed; a fixed 12 dot/mm model reads an 8 dot/mm
    // header as 16 characters, taking two data characters along.
    {Model::Unknown, ESC "B0000000000020001??" CR ESC "M0500" CR ESC "B00000000001001??" CR,
     "image 0,0 chars=2 h=1|row 0 ??|end data=2 rows=1 cr|media 0500 m8|image 0,0 chars=2 h=1|row "
     "0 ??|end data=2 rows=1 cr"},
    {k12, ESC "M0500" CR ESC "B0000000000100100??" CR,
     "media 0500 m8|image 0,0 chars=10 h=100|row 0 ??|end data=2 rows=1 cr"},
};

TEST(Decoder, ReadsThePrintersCommandBytes) {
  for (const Case& c : kCases) {
    for (size_t chunk : {c.stream.size(), size_t(1), size_t(2), size_t(7)}) {
      Trace trace;
      Decoder decoder(c.model, trace);
      for (size_t i = 0; i < c.stream.size(); i += chunk)
        decoder.feed(reinterpret_cast<const uint8_t*>(c.stream.data()) + i,
                     std::min(chunk, c.stream.size() - i));
      decoder.finish();
      EXPECT_EQ(trace.text, c.trace) << "chunks of " << chunk << ": " << c.stream.substr(0, 40);
    }
  }
}

} // namespace
