// Incremental decoder of the TLX-Pro printer's command stream.
//
// Pure: no system calls, no allocation. Bytes go in through feed() in chunks of any size; decoded
// commands, image areas and their raster data come out through a DecoderSink, and the result does
// not depend on where the chunks were cut. Bytes that are not a well-formed command are reported
// as skipped runs and decoding picks up again at the next ESC.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tlxsim {

// The two printer models differ in the ESC M field and in the image-area header.
enum class Model : uint8_t {
  Unknown = 0, // decoder: follow the ESC M command (12 dot/mm until one is seen)
  Dots8 = 8,   // 8 dots/mm: ESC M llll, image header w3 h3 (bytes per row, coded height)
  Dots12 = 12, // 12 dots/mm: ESC M 000, image header w4 h4 (characters per row, rows)
};

enum class CommandKind : uint8_t {
  Clear,    // ESC Z 1 CR
  Stop,     // ESC Z 1 CR ESC S CR, or ESC S CR on its own
  Media,    // ESC M field CR (label length on the 8 dot/mm model)
  Start,    // ESC K sss CR, print start position
  Density,  // ESC A c m CR, print density
  Quantity, // ESC P nnnn CR, or ESC P CR without a number
  Print,    // ESC R CR
  Skip,     // bytes that are not a well-formed command
};

enum class SkipReason : uint8_t {
  Garbage,   // bytes outside any command
  Unknown,   // ESC followed by a letter the printer does not know
  BadField,  // a known command whose field is malformed or too long
  Truncated, // a command cut short by the next ESC or by the end of the stream
};

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr size_t kSkipPreview = 16; // bytes of a skipped run kept for the log

// One decoded command (everything but image areas).
struct Command {
  CommandKind kind = CommandKind::Skip;    // what was decoded
  Model model = Model::Unknown;            // Media: the model whose field width this is
  bool with_clear = false;                 // Stop: sent as ESC Z 1 CR ESC S CR
  bool has_value = false;                  // Quantity: a number was given
  uint32_t value = 0;                      // Quantity, Start, Density: the number
  uint32_t mode = 0;                       // Density: the second digit
  char field[8] = {};                      // raw field characters, NUL-terminated
  SkipReason reason = SkipReason::Garbage; // Skip: why the bytes were skipped
  uint64_t skipped = 0;                    // Skip: number of bytes
  uint8_t preview[kSkipPreview] = {};      // Skip: the first bytes of the run
  uint8_t preview_len = 0;                 // Skip: how many of preview are valid
};

// An image-area command (ESC B) and, at its end, what followed it.
struct ImageArea {
  Model model = Model::Dots12; // header layout it was decoded with
  uint32_t x = 0;              // left edge in dots
  uint32_t y = 0;              // top row
  uint32_t row_chars = 0;      // data characters per row (two per byte)
  uint32_t height = 0;         // rows the header announces (8 dot/mm: 1599 at most)
  char header[17] = {};        // raw header characters after ESC B, NUL-terminated
  uint64_t data_chars = 0;     // image_end: data characters received
  uint64_t rows = 0;           // image_end: rows begun by the data (the last may be partial)
  bool complete = false;       // image_end: the data ended with CR
};

// Receives what the decoder finds, in stream order.
class DecoderSink {
public:
  virtual ~DecoderSink() = default;
  virtual void command(const Command& c) = 0;
  virtual void image_begin(const ImageArea& area) = 0;
  // Raster characters ('0'..'?', one nibble each, leftmost dot in the high bit) for row `row`
  // starting at character `col`; a call never crosses a row end.
  virtual void image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) = 0;
  virtual void image_end(const ImageArea& area) = 0;
};

class Decoder {
public:
  Decoder(Model model, DecoderSink& sink);

  void feed(const uint8_t* data, size_t n);
  // The line has gone quiet: settle a clear that was waiting to see whether ESC S CR follows
  // (which would make it the stop command) and report garbage collected so far.
  void flush();
  // End of the stream: flush, then report any partial command or image.
  void finish();

  Model model() const { return model_; } // the layout image headers are read with now

private:
  enum class State : uint8_t {
    Idle,      // between commands
    Escape,    // after ESC, waiting for the letter
    Field,     // collecting a command's field up to CR
    Header,    // collecting the ESC B header
    Raster,    // image data up to CR
    Clear,     // ESC Z 1 CR seen; ESC S CR would make it the stop command
    ClearEsc,  // ... followed by ESC
    ClearEscS, // ... followed by ESC S
  };

  size_t step(const uint8_t* data, size_t n); // consumes at least one byte
  size_t raster(const uint8_t* data, size_t n);
  void complete_field();
  void complete_header();
  void emit_simple(CommandKind kind);
  void skip_bytes(const uint8_t* bytes, size_t n, SkipReason reason);
  void skip_partial(SkipReason reason); // the command being collected becomes skipped bytes
  void emit_skip();
  void end_image(bool complete);

  DecoderSink& sink_;         // receives what is decoded
  bool follow_model_;         // model was Unknown: follow ESC M
  Model model_;               // current image-header layout
  State state_ = State::Idle; // where in the stream the decoder is
  uint8_t letter_ = 0;        // command letter being collected
  uint8_t field_[20] = {};    // field or header characters
  uint8_t field_len_ = 0;     // characters in field_
  ImageArea image_;           // image being received
  Command skip_;              // skipped run being collected (skip_.skipped == 0: none)
};

// The number a run of ASCII digits spells, or -1 if any character is not a digit.
int64_t parse_digits(const char* s, size_t n);

} // namespace tlxsim
