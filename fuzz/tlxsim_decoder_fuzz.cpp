// Fuzz target: the simulator's command decoder and printer over arbitrary bytes.
//
// Input: one control byte, then the stream. Bits 0-1 of the control byte pick the model (0: follow
// ESC M, 1: 12 dot/mm, 2: 8 dot/mm, 3: 12 dot/mm with a small memory), bits 2-7 seed the chunk
// sizes. Checks what must hold for any stream:
//   - decoding in chunks reports exactly what decoding in one piece reports;
//   - a raster call stays within its row and carries only data characters;
//   - the image memory never exceeds its height limit, and the printer prints and replies
//     without touching anything outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tlxsim/decoder.h"
#include "tlxsim/printer.h"

namespace {

void check(bool condition) {
  if (!condition)
    abort();
}

// Writes each report as text, image data gathered per image.
class Trace : public tlxsim::DecoderSink {
public:
  std::string text;

  void command(const tlxsim::Command& c) override {
    text += "c" + std::to_string(int(c.kind)) + ":" + std::to_string(c.value) + ":" +
            std::to_string(c.mode) + ":" + c.field + ":" + std::to_string(c.skipped) + ":" +
            std::to_string(int(c.reason)) + ":" +
            std::string(reinterpret_cast<const char*>(c.preview), c.preview_len) + "\n";
  }
  void image_begin(const tlxsim::ImageArea& a) override {
    row_chars_ = a.row_chars;
    next_ = 0;
    text += "b" + std::string(a.header) + ":" + std::to_string(a.row_chars) + "\n";
  }
  void image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) override {
    check(row_chars_ > 0 && col < row_chars_ && n > 0 && col + n <= row_chars_);
    check(row * row_chars_ + col == next_); // in order, nothing skipped
    next_ += n;
    for (size_t i = 0; i < n; ++i)
      check(chars[i] >= '0' && chars[i] <= '?');
    text.append(reinterpret_cast<const char*>(chars), n);
  }
  void image_end(const tlxsim::ImageArea& a) override {
    check(a.row_chars == 0 || a.data_chars == next_);
    text += "\ne" + std::to_string(a.data_chars) + ":" + std::to_string(a.rows) + ":" +
            std::to_string(a.complete) + "\n";
  }

private:
  uint32_t row_chars_ = 0;
  uint64_t next_ = 0;
};

class NullOutput : public tlxsim::PrinterOutput {
public:
  void log(const std::string& line) override { check(!line.empty()); }
  void reply(const uint8_t* bytes, size_t n) override {
    check(n >= 3 && n <= 7 && bytes[0] == tlxsim::kEsc && bytes[n - 1] == tlxsim::kCr);
  }
  std::string save_label(uint32_t, const tlxsim::Bitmap& image) override {
    check(image.bits.size() == size_t(image.stride) * image.height);
    return std::string();
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const uint8_t control = data[0];
  const uint8_t* stream = data + 1;
  const size_t n = size - 1;
  static const tlxsim::Model models[] = {tlxsim::Model::Unknown, tlxsim::Model::Dots12,
                                         tlxsim::Model::Dots8, tlxsim::Model::Dots12};
  const tlxsim::Model model = models[control & 3];

  Trace whole;
  {
    tlxsim::Decoder d(model, whole);
    d.feed(stream, n);
    d.finish();
  }
  Trace pieces;
  {
    tlxsim::Decoder d(model, pieces);
    uint32_t seed = control >> 2;
    size_t i = 0;
    while (i < n) {
      seed = seed * 1103515245u + 12345u;
      size_t take = 1 + (seed >> 16) % 17;
      take = take < n - i ? take : n - i;
      d.feed(stream + i, take);
      i += take;
    }
    d.finish();
  }
  check(whole.text == pieces.text);

  tlxsim::PrinterConfig config;
  config.model = model == tlxsim::Model::Dots8 ? tlxsim::Model::Dots8 : tlxsim::Model::Dots12;
  config.pace_ms = 0;
  if ((control & 3) == 3) {
    config.max_rows = 64;
    config.head_mm = 1 + control % 40;
  }
  NullOutput out;
  tlxsim::Printer printer(config, out);
  printer.receive(stream, n, 0);
  printer.idle();
  printer.finish(0);
  printer.run(0);
  check(printer.memory().height() <= config.max_rows);
  check(printer.labels_pending() == 0);
  return 0;
}
