// One simulated TLX-Pro printer: command effects, label printing and reply frames.
#include "tlxsim/printer.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

namespace tlxsim {
namespace {

const char* skip_reason_name(SkipReason r) {
  switch (r) {
  case SkipReason::Garbage:
    return "garbage";
  case SkipReason::Unknown:
    return "unknown";
  case SkipReason::BadField:
    return "bad-field";
  case SkipReason::Truncated:
    return "truncated";
  }
  return "?";
}

uint32_t head_dots(const PrinterConfig& c) {
  uint32_t mm = c.head_mm ? c.head_mm : default_head_mm(c.model);
  if (mm > kMaxHeadMm)
    mm = kMaxHeadMm;
  return mm * static_cast<uint32_t>(c.model == Model::Dots8 ? 8 : 12);
}

} // namespace

uint32_t default_head_mm(Model model) {
  return model == Model::Dots8 ? 112 : 106;
}

std::string describe(const Command& c) {
  char buf[160];
  switch (c.kind) {
  case CommandKind::Clear:
    return "clear";
  case CommandKind::Stop:
    return c.with_clear ? "stop" : "stop noclear";
  case CommandKind::Media:
    std::snprintf(buf, sizeof buf, "media field=%s model=%d", c.field, int(c.model));
    return buf;
  case CommandKind::Start:
    std::snprintf(buf, sizeof buf, "start field=%s", c.field);
    return buf;
  case CommandKind::Density:
    std::snprintf(buf, sizeof buf, "density value=%u mode=%u", c.value, c.mode);
    return buf;
  case CommandKind::Quantity:
    if (!c.has_value)
      return "quantity none";
    std::snprintf(buf, sizeof buf, "quantity %u", c.value);
    return buf;
  case CommandKind::Print:
    return "print";
  case CommandKind::Skip: {
    int n = std::snprintf(buf, sizeof buf, "skip %" PRIu64 " bytes %s:", c.skipped,
                          skip_reason_name(c.reason));
    for (unsigned i = 0; i < c.preview_len; ++i)
      n += std::snprintf(buf + n, sizeof buf - size_t(n), " %02X", c.preview[i]);
    std::string s(buf);
    if (c.skipped > c.preview_len)
      s += " ...";
    return s;
  }
  }
  return "?";
}

std::string describe(const ImageArea& a, bool clipped) {
  char bytes[24];
  if (a.row_chars % 2)
    std::snprintf(bytes, sizeof bytes, "%u.5", a.row_chars / 2);
  else
    std::snprintf(bytes, sizeof bytes, "%u", a.row_chars / 2);
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "image x=%u y=%u bytes=%s height=%u rows=%" PRIu64 " data=%" PRIu64, a.x, a.y,
                bytes, a.height, a.rows, a.data_chars);
  std::string s(buf);
  if (!a.complete)
    s += " incomplete";
  if (clipped)
    s += " clipped";
  return s;
}

Printer::Printer(const PrinterConfig& config, PrinterOutput& out)
    : config_(config), out_(out), memory_(head_dots(config), config.max_rows),
      decoder_(config.model, *this), pace_ms_(config.pace_ms) {}

void Printer::receive(const uint8_t* data, size_t n, uint64_t now_ms) {
  now_ms_ = now_ms;
  decoder_.feed(data, n);
}

void Printer::idle() {
  decoder_.flush();
}

void Printer::finish(uint64_t now_ms) {
  now_ms_ = now_ms;
  decoder_.finish();
}

void Printer::set_error(char letter, uint32_t count) {
  error_letter_ = letter;
  error_count_ = count;
}

void Printer::reset_counters() {
  labels_printed_ = 0;
}

uint64_t Printer::labels_pending() const {
  uint64_t n = 0;
  for (const Job& j : jobs_)
    n += j.quantity - j.printed;
  return n;
}

uint64_t Printer::next_due_ms() const {
  return jobs_.empty() ? std::numeric_limits<uint64_t>::max() : next_due_ms_;
}

void Printer::command(const Command& c) {
  // The print order is logged with the quantity it uses, below.
  if (c.kind != CommandKind::Print)
    out_.log(describe(c));
  switch (c.kind) {
  case CommandKind::Clear:
    memory_.clear();
    break;
  case CommandKind::Stop:
    if (c.with_clear)
      memory_.clear();
    if (!jobs_.empty()) {
      out_.log("cancel " + std::to_string(labels_pending()));
      jobs_.clear();
    }
    break;
  case CommandKind::Quantity:
    quantity_ = c.value;
    break;
  case CommandKind::Print:
    print_order();
    break;
  default:
    break;
  }
}

void Printer::print_order() {
  out_.log("print quantity=" + std::to_string(quantity_));
  if (error_count_) {
    if (error_count_ != std::numeric_limits<uint32_t>::max())
      --error_count_;
    send_reply(error_letter_, "");
    return;
  }
  if (quantity_ == 0) { // nothing to print: report at once that nothing remains
    send_reply('O', "0000");
    return;
  }
  if (jobs_.size() >= kMaxQueuedJobs) {
    out_.log("refused busy");
    return;
  }
  if (jobs_.empty())
    next_due_ms_ = now_ms_ + pace_ms_;
  jobs_.push_back(Job{std::make_shared<const Bitmap>(memory_.snapshot()), quantity_, 0});
}

void Printer::run(uint64_t now_ms) {
  while (!jobs_.empty() && next_due_ms_ <= now_ms) {
    Job& job = jobs_.front();
    ++job.printed;
    ++labels_printed_;
    const uint32_t number = static_cast<uint32_t>(labels_printed_);
    std::string saved = out_.save_label(number, *job.image);
    out_.log("label " + std::to_string(number) + (saved.empty() ? "" : " saved " + saved));
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", (job.quantity - job.printed) % 10000);
    send_reply('O', digits);
    if (job.printed == job.quantity)
      jobs_.pop_front();
    next_due_ms_ += pace_ms_;
  }
}

void Printer::send_reply(char letter, const char* digits) {
  uint8_t frame[8];
  size_t n = 0;
  frame[n++] = kEsc;
  frame[n++] = static_cast<uint8_t>(letter);
  for (const char* d = digits; *d; ++d)
    frame[n++] = static_cast<uint8_t>(*d);
  frame[n++] = kCr;
  std::string text = std::string(1, letter) + digits;
  if (silent_) {
    out_.log("silent " + text);
    return;
  }
  out_.log("reply " + text);
  out_.reply(frame, n);
}

void Printer::image_begin(const ImageArea& a) {
  image_x_ = a.x;
  image_y_ = a.y;
  image_clipped_ = false;
}

void Printer::image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) {
  if (!memory_.put(image_x_ + 4 * uint64_t(col), image_y_ + row, chars, n))
    image_clipped_ = true;
}

void Printer::image_end(const ImageArea& a) {
  out_.log(describe(a, image_clipped_));
}

} // namespace tlxsim
