// tlxsim: simulated TLX-Pro label printers on pseudo-terminals, and an offline renderer of
// recorded command streams.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tlxsim/capture.h"
#include "tlxsim/options.h"
#include "tlxsim/png_io.h"
#include "tlxsim/printer.h"
#include "tlxsim/serve.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tlxsim serve --port PORT [--port PORT]... [--control-port N] [--ready FILE]\n"
    "               [--lines-dir DIR] [--owned] [--max-seconds N] [--quiet]\n"
    "      PORT = LINK[,name=NAME][,model=12|8][,head=MM][,baud=N|fast|line][,pace=MS]\n"
    "             [,out=DIR][,save=all|none][,dsr=on|off][,cts=on|off][,error=LETTER]\n"
    "             [,silent][,close-after=N][,capture=on]\n"
    "      LINK = path of the link to the line, comN (the Wine prefix's COMn) or -\n"
    "  tlxsim render [--model 12|8] [--head MM] STREAM|CAPTURE OUT.png\n"
    "See docs/tlxsim.md.\n";

// Log lines of a rendered stream go to stdout; nothing is printed or answered.
class RenderOutput : public tlxsim::PrinterOutput {
public:
  void log(const std::string& line) override { std::printf("%s\n", line.c_str()); }
  void reply(const uint8_t*, size_t) override {}
  std::string save_label(uint32_t, const tlxsim::Bitmap&) override { return std::string(); }
};

// The model a stream's first well-formed ESC M command speaks, or 12 dot/mm.
tlxsim::Model guess_model(const std::string& s) {
  for (size_t i = 0; i + 2 < s.size(); ++i) {
    if (s[i] != '\x1b' || s[i + 1] != 'M')
      continue;
    size_t j = i + 2;
    while (j < s.size() && j - i - 2 < 5 && s[j] >= '0' && s[j] <= '9')
      ++j;
    if (j < s.size() && s[j] == '\r' && (j - i - 2 == 3 || j - i - 2 == 4))
      return j - i - 2 == 3 ? tlxsim::Model::Dots12 : tlxsim::Model::Dots8;
  }
  return tlxsim::Model::Dots12;
}

int render(const std::vector<std::string>& args) {
  tlxsim::PrinterConfig config;
  bool model_given = false;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    uint64_t n = 0;
    if (args[i] == "--model" && i + 1 < args.size()) {
      const std::string& m = args[++i];
      if (m != "12" && m != "8") {
        std::fprintf(stderr, "tlxsim: --model takes 12 or 8\n");
        return 2;
      }
      config.model = m == "12" ? tlxsim::Model::Dots12 : tlxsim::Model::Dots8;
      model_given = true;
    } else if (args[i] == "--head" && i + 1 < args.size() &&
               tlxsim::parse_number(args[i + 1], 1, tlxsim::kMaxHeadMm, &n)) {
      config.head_mm = static_cast<uint32_t>(n);
      ++i;
    } else if (!args[i].empty() && args[i][0] == '-' && args[i] != "-") {
      std::fprintf(stderr, "tlxsim: unknown option '%s'\n%s", args[i].c_str(), kUsage);
      return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ifstream in(files[0], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "tlxsim: cannot read %s\n", files[0].c_str());
    return 1;
  }
  std::string stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A labelhost capture file: what the driver sent.
  std::string sent;
  if (tlxsim::read_capture(stream, &sent))
    stream = sent;
  if (!model_given)
    config.model = guess_model(stream);
  RenderOutput out;
  tlxsim::Printer printer(config, out);
  printer.receive(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), 0);
  printer.finish(0);
  std::string error;
  const tlxsim::Bitmap image = printer.memory().snapshot();
  if (!tlxsim::write_png(files[1], image, &error)) {
    std::fprintf(stderr, "tlxsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("rendered model=%d %ux%u %s\n", int(config.model), image.width, image.height,
              files[1].c_str());
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  std::string cmd = args[0];
  args.erase(args.begin());
  if (cmd == "render")
    return render(args);
  if (cmd == "serve") {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix || !*prefix)
      prefix = std::getenv("VELDRIN_WINEPREFIX");
    tlxsim::ServeOptions options;
    std::string error;
    if (!tlxsim::parse_serve_args(args, tlxsim::com_link_dir(prefix ? prefix : ""), &options,
                                  &error)) {
      std::fprintf(stderr, "tlxsim: %s\n%s", error.c_str(), kUsage);
      return 2;
    }
    return tlxsim::serve(options);
  }
  std::fprintf(stderr, "tlxsim: unknown command '%s'\n%s", cmd.c_str(), kUsage);
  return 2;
}
