// Speed of the printer simulator's hot paths, printed as figures: decoding a full-width label into
// the image memory, and writing its PNG. bench/run runs it in its optimised native build; the
// sanitizer build (build/native/bench/tlxsim_bench) is several times slower.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>

#include "tlxsim/png_io.h"
#include "tlxsim/printer.h"

namespace {

class NullOutput : public tlxsim::PrinterOutput {
public:
  void log(const std::string&) override {}
  void reply(const uint8_t*, size_t) override {}
  std::string save_label(uint32_t, const tlxsim::Bitmap&) override { return std::string(); }
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main() {
  // A 106 mm x 133 mm label at 12 dots/mm: 159 bytes per row, 1600 rows.
  const int bytes = 159, rows = 1600;
  std::mt19937 rng(1);
  std::string stream = "\x1bZ1\r\x1bM000\r\x1bK000\r\x1b"
                       "A51\r\x1b"
                       "B00000000031801600";
  for (int i = 0; i < bytes * rows * 2; ++i)
    stream += char('0' + rng() % 16);
  stream += "\r";

  NullOutput out;
  tlxsim::Printer printer(tlxsim::PrinterConfig{}, out);
  const int rounds = 20;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i)
    printer.receive(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), 0);
  double s = seconds_since(t0);
  std::printf("decode: %d labels of %zu bytes in %.3f s: %.1f MB/s, %.2f ms per label\n", rounds,
              stream.size(), s, rounds * stream.size() / s / 1e6, s * 1000 / rounds);

  // A label that is mostly white, as real ones are, and a noisy one.
  tlxsim::Bitmap sparse = tlxsim::Bitmap::blank(1272, 1600);
  for (uint32_t y = 0; y < 1600; y += 40)
    for (uint32_t x = 100; x < 1100; ++x)
      sparse.set(x, y, true);
  const tlxsim::Bitmap noisy = printer.memory().snapshot();
  char path[] = "/tmp/tlxsim-bench-XXXXXX";
  int fd = mkstemp(path);
  close(fd);
  for (const auto& [name, image] :
       {std::pair<const char*, const tlxsim::Bitmap*>{"sparse", &sparse}, {"noisy", &noisy}}) {
    std::string error;
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
      tlxsim::write_png(path, *image, &error);
    std::printf("png: %s 1272x1600 label in %.2f ms\n", name, seconds_since(t0) * 100);
  }
  unlink(path);
  return 0;
}
