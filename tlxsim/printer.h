// One simulated TLX-Pro printer: decodes what arrives on its line, keeps the image memory, prints
// labels at a set pace and answers with reply frames. Pure: time comes in as milliseconds, and
// log lines, reply bytes and printed labels go out through a PrinterOutput.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "tlxsim/decoder.h"
#include "tlxsim/image.h"

namespace tlxsim {

constexpr uint32_t kDefaultMaxRows = 16384; // image memory height limit (1.3 m at 12 dots/mm)
constexpr uint32_t kMaxHeadMm = 300;        // widest head accepted
constexpr size_t kMaxQueuedJobs = 64;       // print orders waiting beyond this are refused

// Head width in millimetres a model has when none is given.
uint32_t default_head_mm(Model model);

struct PrinterConfig {
  Model model = Model::Dots12;         // protocol variant and dots per millimetre
  uint32_t head_mm = 0;                // print head width; 0 = the model's default
  uint32_t max_rows = kDefaultMaxRows; // image memory height limit
  uint32_t pace_ms = 50;               // time to print one label
};

class PrinterOutput {
public:
  virtual ~PrinterOutput() = default;
  virtual void log(const std::string& line) = 0;
  virtual void reply(const uint8_t* bytes, size_t n) = 0;
  // Keeps printed label `number`; returns the name to log, or "" when it was not kept.
  virtual std::string save_label(uint32_t number, const Bitmap& image) = 0;
};

class Printer : private DecoderSink {
public:
  Printer(const PrinterConfig& config, PrinterOutput& out);

  void receive(const uint8_t* data, size_t n, uint64_t now_ms);
  void idle();                  // the line went quiet (see Decoder::flush)
  void finish(uint64_t now_ms); // end of a recorded stream (see Decoder::finish)
  void run(uint64_t now_ms);    // prints the labels that are due
  uint64_t next_due_ms() const; // when the next label is due; UINT64_MAX if none

  void set_pace(uint32_t ms) { pace_ms_ = ms; }
  // The next `count` print orders are answered with ESC letter CR instead of being printed;
  // count 0 turns this off, UINT32_MAX keeps it on.
  void set_error(char letter, uint32_t count);
  void set_silent(bool silent) { silent_ = silent; }
  void reset_counters(); // printed labels and their numbering start again

  uint32_t pace_ms() const { return pace_ms_; }
  bool silent() const { return silent_; }
  char error_letter() const { return error_count_ ? error_letter_ : 0; }
  uint32_t error_count() const { return error_count_; }
  uint64_t labels_printed() const { return labels_printed_; }
  uint64_t labels_pending() const;
  Model model() const { return config_.model; }
  const ImageMemory& memory() const { return memory_; }

private:
  // A print order being carried out.
  struct Job {
    std::shared_ptr<const Bitmap> image; // image memory when the order came
    uint32_t quantity;                   // labels ordered
    uint32_t printed;                    // labels done
  };

  void command(const Command& c) override;
  void image_begin(const ImageArea& area) override;
  void image_data(uint64_t row, uint32_t col, const uint8_t* chars, size_t n) override;
  void image_end(const ImageArea& area) override;
  void print_order();
  void send_reply(char letter, const char* digits);

  PrinterConfig config_;        // model, head, limits
  PrinterOutput& out_;          // log, replies, labels
  ImageMemory memory_;          // what the next label prints
  Decoder decoder_;             // the line's bytes to commands
  uint64_t now_ms_ = 0;         // time of the bytes being decoded
  uint32_t pace_ms_;            // time per label
  uint32_t quantity_ = 1;       // set by ESC P, used by ESC R
  bool silent_ = false;         // print, but send no replies
  char error_letter_ = 'E';     // reply letter of the error fault
  uint32_t error_count_ = 0;    // print orders still to answer with the error
  uint32_t image_x_ = 0;        // left edge of the image area being received
  uint32_t image_y_ = 0;        // top row of the image area being received
  bool image_clipped_ = false;  // the current image area lost dots outside the memory
  std::deque<Job> jobs_;        // print orders in progress, oldest first
  uint64_t next_due_ms_ = 0;    // when the front job's next label is due
  uint64_t labels_printed_ = 0; // labels printed since the last reset
};

// The log line for a decoded command, image area or skipped run (as Printer writes it).
std::string describe(const Command& c);
std::string describe(const ImageArea& a, bool clipped);

} // namespace tlxsim
