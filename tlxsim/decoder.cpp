// Incremental decoder of the TLX-Pro printer's command stream: a byte-driven state machine with
// fixed-size buffers (see decoder.h).
#include "tlxsim/decoder.h"

#include <algorithm>
#include <cstring>

namespace tlxsim {
namespace {

// Longest field each fixed command may carry before its CR.
struct FieldRule {
  uint8_t letter;    // command letter after ESC
  uint8_t max_chars; // longest valid field
};
constexpr FieldRule kFieldRules[] = {
    {'Z', 1}, {'S', 0}, {'M', 4}, {'K', 3}, {'A', 2}, {'P', 4}, {'R', 0},
};

const FieldRule* field_rule(uint8_t letter) {
  for (const FieldRule& r : kFieldRules)
    if (r.letter == letter)
      return &r;
  return nullptr;
}

bool is_data_char(uint8_t b) {
  return b >= 0x30 && b <= 0x3F;
}

size_t header_chars(Model m) {
  return m == Model::Dots8 ? 14 : 16;
}

} // namespace

int64_t parse_digits(const char* s, size_t n) {
  int64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9')
      return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

Decoder::Decoder(Model model, DecoderSink& sink)
    : sink_(sink), follow_model_(model == Model::Unknown),
      model_(model == Model::Unknown ? Model::Dots12 : model) {}

void Decoder::feed(const uint8_t* data, size_t n) {
  while (n > 0) {
    size_t used = step(data, n);
    data += used;
    n -= used;
  }
}

size_t Decoder::step(const uint8_t* data, size_t n) {
  const uint8_t b = data[0];
  switch (state_) {
  case State::Idle: {
    if (b == kEsc) {
      emit_skip();
      state_ = State::Escape;
      return 1;
    }
    // A run of garbage up to the next ESC is taken in one go.
    const uint8_t* esc = static_cast<const uint8_t*>(std::memchr(data, kEsc, n));
    size_t run = esc ? static_cast<size_t>(esc - data) : n;
    skip_bytes(data, run, SkipReason::Garbage);
    return run;
  }
  case State::Escape:
    if (b == kEsc) { // a lone ESC: the second one may still start a command
      const uint8_t esc = kEsc;
      skip_bytes(&esc, 1, SkipReason::Unknown);
      emit_skip();
      return 1;
    }
    letter_ = b;
    field_len_ = 0;
    if (b == 'B') {
      state_ = State::Header;
    } else if (field_rule(b)) {
      state_ = State::Field;
    } else {
      const uint8_t bytes[2] = {kEsc, b};
      skip_bytes(bytes, 2, SkipReason::Unknown);
      state_ = State::Idle;
    }
    return 1;
  case State::Field:
    if (b == kCr) {
      complete_field();
      return 1;
    }
    if (b == kEsc) {
      skip_partial(SkipReason::Truncated);
      emit_skip();
      state_ = State::Escape;
      return 1;
    }
    if (field_len_ >= field_rule(letter_)->max_chars) {
      skip_partial(SkipReason::BadField);
      skip_bytes(&b, 1, SkipReason::BadField);
      state_ = State::Idle;
      return 1;
    }
    field_[field_len_++] = b;
    return 1;
  case State::Header:
    if (b == kEsc) {
      skip_partial(SkipReason::Truncated);
      emit_skip();
      state_ = State::Escape;
      return 1;
    }
    if (b == kCr) {
      skip_partial(SkipReason::BadField);
      skip_bytes(&b, 1, SkipReason::BadField);
      state_ = State::Idle;
      return 1;
    }
    field_[field_len_++] = b;
    if (field_len_ == header_chars(model_))
      complete_header();
    return 1;
  case State::Raster:
    return raster(data, n);
  case State::Clear:
    if (b == kEsc) {
      state_ = State::ClearEsc;
      return 1;
    }
    emit_simple(CommandKind::Clear);
    state_ = State::Idle;
    return step(data, n);
  case State::ClearEsc:
    if (b == 'S') {
      state_ = State::ClearEscS;
      return 1;
    }
    emit_simple(CommandKind::Clear);
    state_ = State::Escape;
    return step(data, n);
  case State::ClearEscS:
    if (b == kCr) {
      Command c;
      c.kind = CommandKind::Stop;
      c.with_clear = true;
      sink_.command(c);
      state_ = State::Idle;
      return 1;
    }
    emit_simple(CommandKind::Clear);
    state_ = State::Field;
    letter_ = 'S';
    field_len_ = 0;
    return step(data, n);
  }
  return 1;
}

size_t Decoder::raster(const uint8_t* data, size_t n) {
  size_t i = 0;
  while (i < n && is_data_char(data[i]))
    ++i;
  // Hand the run over row by row.
  size_t pos = 0;
  while (pos < i) {
    size_t take = i - pos;
    if (image_.row_chars > 0) {
      uint64_t row = image_.data_chars / image_.row_chars;
      uint32_t col = static_cast<uint32_t>(image_.data_chars % image_.row_chars);
      take = std::min<size_t>(take, image_.row_chars - col);
      sink_.image_data(row, col, data + pos, take);
    }
    image_.data_chars += take;
    pos += take;
  }
  if (i == n)
    return n;
  if (data[i] == kCr) {
    end_image(true);
    return i + 1;
  }
  end_image(false); // the offending byte is decoded afresh
  return i;
}

void Decoder::end_image(bool complete) {
  image_.complete = complete;
  image_.rows =
      image_.row_chars ? (image_.data_chars + image_.row_chars - 1) / image_.row_chars : 0;
  sink_.image_end(image_);
  state_ = State::Idle;
}

void Decoder::complete_field() {
  const char* f = reinterpret_cast<const char*>(field_);
  const size_t n = field_len_;
  Command c;
  std::memcpy(c.field, field_, n);
  c.field[n] = 0;
  bool ok = false;
  state_ = State::Idle;
  switch (letter_) {
  case 'Z':
    if (n == 1 && f[0] == '1') {
      state_ = State::Clear; // a following ESC S CR makes this the stop command
      return;
    }
    break;
  case 'S':
    c.kind = CommandKind::Stop;
    ok = n == 0;
    break;
  case 'M':
    c.kind = CommandKind::Media;
    ok = (n == 3 || n == 4) && parse_digits(f, n) >= 0;
    c.model = n == 3 ? Model::Dots12 : Model::Dots8;
    if (ok && follow_model_)
      model_ = c.model;
    break;
  case 'K':
    c.kind = CommandKind::Start;
    ok = n == 3 && parse_digits(f, 3) >= 0;
    c.value = static_cast<uint32_t>(parse_digits(f, 3));
    break;
  case 'A':
    c.kind = CommandKind::Density;
    ok = n == 2 && parse_digits(f, 2) >= 0;
    c.value = static_cast<uint32_t>(f[0] - '0');
    c.mode = static_cast<uint32_t>(f[1] - '0');
    break;
  case 'P':
    c.kind = CommandKind::Quantity;
    ok = n == 0 || (n == 4 && parse_digits(f, 4) >= 0);
    c.has_value = n == 4;
    c.value = n == 4 ? static_cast<uint32_t>(parse_digits(f, 4)) : 0;
    break;
  case 'R':
    c.kind = CommandKind::Print;
    ok = n == 0;
    break;
  }
  if (ok) {
    sink_.command(c);
    return;
  }
  skip_partial(SkipReason::BadField);
  const uint8_t cr = kCr;
  skip_bytes(&cr, 1, SkipReason::BadField);
}

void Decoder::complete_header() {
  const char* h = reinterpret_cast<const char*>(field_);
  ImageArea a;
  a.model = model_;
  std::memcpy(a.header, field_, field_len_);
  a.header[field_len_] = 0;
  int64_t x = parse_digits(h, 4);
  int64_t y = parse_digits(h + 4, 4);
  int64_t w, rows;
  if (model_ == Model::Dots8) {
    w = parse_digits(h + 8, 3);
    // Height: hundreds as '0' + n with n up to 15 (':'..'?' for 10..15), then two digits.
    int64_t tens = parse_digits(h + 12, 2);
    rows = is_data_char(static_cast<uint8_t>(h[11])) && tens >= 0 ? (h[11] - '0') * 100 + tens : -1;
    a.row_chars = static_cast<uint32_t>(w * 2);
  } else {
    w = parse_digits(h + 8, 4);
    rows = parse_digits(h + 12, 4);
    a.row_chars = static_cast<uint32_t>(w);
  }
  if (x < 0 || y < 0 || w < 0 || rows < 0) {
    skip_partial(SkipReason::BadField);
    state_ = State::Idle;
    return;
  }
  a.x = static_cast<uint32_t>(x);
  a.y = static_cast<uint32_t>(y);
  a.height = static_cast<uint32_t>(rows);
  image_ = a;
  sink_.image_begin(image_);
  state_ = State::Raster;
}

void Decoder::emit_simple(CommandKind kind) {
  Command c;
  c.kind = kind;
  sink_.command(c);
}

void Decoder::skip_bytes(const uint8_t* bytes, size_t n, SkipReason reason) {
  if (n == 0)
    return;
  if (skip_.skipped == 0) {
    skip_ = Command();
    skip_.kind = CommandKind::Skip;
    skip_.reason = reason;
  }
  size_t keep = std::min(n, kSkipPreview - skip_.preview_len);
  std::memcpy(skip_.preview + skip_.preview_len, bytes, keep);
  skip_.preview_len = static_cast<uint8_t>(skip_.preview_len + keep);
  skip_.skipped += n;
}

void Decoder::skip_partial(SkipReason reason) {
  const uint8_t head[2] = {kEsc, letter_};
  skip_bytes(head, 2, reason);
  skip_bytes(field_, field_len_, reason);
  field_len_ = 0;
}

void Decoder::emit_skip() {
  if (skip_.skipped == 0)
    return;
  sink_.command(skip_);
  skip_ = Command();
}

void Decoder::flush() {
  switch (state_) {
  case State::Clear:
    emit_simple(CommandKind::Clear);
    state_ = State::Idle;
    break;
  case State::ClearEsc:
    emit_simple(CommandKind::Clear);
    state_ = State::Escape;
    break;
  case State::ClearEscS:
    emit_simple(CommandKind::Clear);
    state_ = State::Field;
    letter_ = 'S';
    field_len_ = 0;
    break;
  default:
    break;
  }
  if (state_ == State::Idle)
    emit_skip();
}

void Decoder::finish() {
  flush();
  switch (state_) {
  case State::Escape: {
    const uint8_t esc = kEsc;
    skip_bytes(&esc, 1, SkipReason::Truncated);
    break;
  }
  case State::Field:
  case State::Header:
    skip_partial(SkipReason::Truncated);
    break;
  case State::Raster:
    end_image(false);
    break;
  default:
    break;
  }
  state_ = State::Idle;
  emit_skip();
}

} // namespace tlxsim
