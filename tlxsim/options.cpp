// Command-line options of `tlxsim serve` and shared value parsers.
#include "tlxsim/options.h"

#include <cctype>
#include <limits>
#include <sys/stat.h>

namespace tlxsim {
namespace {

std::string lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fail(std::string* error, const std::string& message) {
  if (error)
    *error = message;
  return false;
}

// Applies one key=value of a port argument.
bool apply_port_key(const std::string& key, const std::string& value, PortOptions* p,
                    std::string* error) {
  uint64_t n = 0;
  if (key == "name") {
    if (value.empty() || value.find_first_of(" \t@") != std::string::npos)
      return fail(error, "bad name '" + value + "'");
    p->name = value;
  } else if (key == "model") {
    if (value == "12")
      p->printer.model = Model::Dots12;
    else if (value == "8")
      p->printer.model = Model::Dots8;
    else
      return fail(error, "model must be 12 or 8");
  } else if (key == "head") {
    if (!parse_number(value, 1, kMaxHeadMm, &n))
      return fail(error, "head must be 1.." + std::to_string(kMaxHeadMm) + " mm");
    p->printer.head_mm = static_cast<uint32_t>(n);
  } else if (key == "baud" || key == "rate") {
    if (!parse_rate(value, &p->rate))
      return fail(error, "baud must be fast, line or a number");
  } else if (key == "pace") {
    if (!parse_number(value, 0, 3600000, &n))
      return fail(error, "pace must be 0..3600000 ms");
    p->printer.pace_ms = static_cast<uint32_t>(n);
  } else if (key == "out") {
    if (value.empty())
      return fail(error, "empty out folder");
    p->out = value;
  } else if (key == "save") {
    if (value != "all" && value != "none")
      return fail(error, "save must be all or none");
    p->save = value == "all";
  } else if (key == "dsr" || key == "cts" || key == "silent") {
    bool on = false;
    if (!parse_switch(value, &on))
      return fail(error, key + " must be on or off");
    (key == "dsr" ? p->dsr : key == "cts" ? p->cts : p->silent) = on;
  } else if (key == "error") {
    if (value.size() != 1 || !std::isgraph(static_cast<unsigned char>(value[0])))
      return fail(error, "error takes one letter");
    p->error = value[0];
    p->error_count = std::numeric_limits<uint32_t>::max();
  } else if (key == "capture") {
    if (!parse_switch(value, &p->capture))
      return fail(error, "capture must be on or off");
  } else if (key == "line") {
    if (!parse_line_settings(value, &p->line))
      return fail(error, "line takes BAUD-DATA-PARITY-STOP, as 57600-8-none-1");
  } else if (key == "loopback") {
    if (!parse_loopback(value, &p->loopback))
      return fail(error, "loopback must be on, data or off");
  } else if (key == "close-after") {
    if (!parse_number(value, 0, uint64_t(1) << 40, &n))
      return fail(error, "close-after takes a byte count");
    p->close_after = static_cast<int64_t>(n);
  } else {
    return fail(error, "unknown port option '" + key + "'");
  }
  return true;
}

} // namespace

bool parse_switch(const std::string& text, bool* value) {
  std::string t = lower(text);
  if (t == "on" || t == "1" || t == "yes" || t == "true") {
    *value = true;
    return true;
  }
  if (t == "off" || t == "0" || t == "no" || t == "false") {
    *value = false;
    return true;
  }
  return false;
}

bool parse_loopback(const std::string& text, Loopback* loopback) {
  const std::string t = lower(text);
  bool on = false;
  if (t == "data")
    *loopback = Loopback::Data;
  else if (parse_switch(t, &on))
    *loopback = on ? Loopback::Lines : Loopback::Off;
  else
    return false;
  return true;
}

const char* loopback_text(Loopback loopback) {
  return loopback == Loopback::Lines ? "on" : loopback == Loopback::Data ? "data" : "off";
}

bool parse_number(const std::string& text, uint64_t min, uint64_t max, uint64_t* value) {
  if (text.empty() || text.size() > 19)
    return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v < min || v > max)
    return false;
  *value = v;
  return true;
}

bool parse_line_settings(const std::string& text, std::string* settings) {
  std::vector<std::string> part(1);
  for (char c : lower(text)) {
    if (c == '-')
      part.emplace_back();
    else
      part.back().push_back(c);
  }
  uint64_t n = 0;
  if (part.size() != 4 || !parse_number(part[0], 1, 4000000, &n) ||
      (part[1] != "7" && part[1] != "8") ||
      (part[2] != "none" && part[2] != "odd" && part[2] != "even") ||
      (part[3] != "1" && part[3] != "1.5" && part[3] != "2"))
    return false;
  *settings =
      "baud=" + std::to_string(n) + " data=" + part[1] + " parity=" + part[2] + " stop=" + part[3];
  return true;
}

bool parse_rate(const std::string& text, LineRate* rate) {
  std::string t = lower(text);
  uint64_t n = 0;
  if (t == "fast")
    *rate = LineRate{LineRate::Fast, 0};
  else if (t == "line")
    *rate = LineRate{LineRate::Line, 0};
  else if (parse_number(t, 1, 100000000, &n))
    *rate = LineRate{LineRate::Fixed, static_cast<uint32_t>(n)};
  else
    return false;
  return true;
}

std::string rate_text(const LineRate& rate) {
  switch (rate.mode) {
  case LineRate::Fast:
    return "fast";
  case LineRate::Line:
    return "line";
  case LineRate::Fixed:
    return std::to_string(rate.baud);
  }
  return "?";
}

bool parse_hex(const std::string& text, std::string* bytes) {
  std::string out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (high >= 0)
        return false; // a byte split by a space
      continue;
    }
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                        : -1;
    if (v < 0)
      return false;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0 || out.empty())
    return false;
  *bytes = out;
  return true;
}

std::string com_link_dir(const std::string& wineprefix) {
  if (wineprefix.empty())
    return std::string();
  struct stat st;
  std::string pinned = wineprefix + "/serial-ports";
  if (stat(pinned.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return pinned;
  return wineprefix + "/dosdevices";
}

bool parse_port_arg(const std::string& arg, const std::string& com_dir, size_t index,
                    PortOptions* port, std::string* error) {
  PortOptions p;
  size_t comma = arg.find(',');
  std::string link = arg.substr(0, comma);
  if (link.empty())
    return fail(error, "--port needs a link path, comN or -");
  std::string lowered = lower(link);
  uint64_t com = 0;
  if (link == "-") {
    link.clear();
  } else if (lowered.size() > 3 && lowered.compare(0, 3, "com") == 0 &&
             parse_number(lowered.substr(3), 1, 256, &com)) {
    if (com_dir.empty())
      return fail(error, link + ": WINEPREFIX is not set");
    link = com_dir + "/com" + std::to_string(com);
  }
  p.link = link;
  p.name = link.empty() ? "p" + std::to_string(index + 1) : base_name(link);

  while (comma != std::string::npos) {
    size_t next = arg.find(',', comma + 1);
    std::string item = arg.substr(comma + 1, next == std::string::npos ? next : next - comma - 1);
    comma = next;
    if (item.empty())
      continue;
    size_t eq = item.find('=');
    std::string key = item.substr(0, eq);
    std::string value = eq == std::string::npos ? "on" : item.substr(eq + 1);
    if (!apply_port_key(key, value, &p, error))
      return false;
  }
  if (p.out.empty())
    p.out = "tlxsim-out/" + p.name;
  *port = p;
  return true;
}

bool parse_serve_args(const std::vector<std::string>& args, const std::string& com_dir,
                      ServeOptions* options, std::string* error) {
  ServeOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size())
        return fail(error, a + " needs a value");
      *v = args[++i];
      return true;
    };
    std::string v;
    uint64_t n = 0;
    if (a == "--port") {
      PortOptions p;
      if (!value(&v) || !parse_port_arg(v, com_dir, o.ports.size(), &p, error))
        return false;
      o.ports.push_back(p);
    } else if (a == "--control-port") {
      if (!value(&v) || !parse_number(v, 0, 65535, &n))
        return fail(error, "--control-port takes 0..65535");
      o.control_port = static_cast<int>(n);
    } else if (a == "--ready") {
      if (!value(&o.ready_file))
        return false;
    } else if (a == "--lines-dir") {
      if (!value(&o.lines_dir))
        return false;
    } else if (a == "--owned") {
      o.owned = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--max-seconds") {
      if (!value(&v) || !parse_number(v, 1, 86400 * 7, &n))
        return fail(error, "--max-seconds takes a number of seconds");
      o.max_seconds = static_cast<uint32_t>(n);
    } else {
      return fail(error, "unknown option '" + a + "'");
    }
  }
  if (o.ports.empty())
    return fail(error, "no --port given");
  for (size_t i = 0; i < o.ports.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      if (o.ports[i].name == o.ports[j].name)
        return fail(error, "two ports named " + o.ports[i].name);
      if (!o.ports[i].link.empty() && o.ports[i].link == o.ports[j].link)
        return fail(error, "two ports linked at " + o.ports[i].link);
    }
  *options = o;
  return true;
}

} // namespace tlxsim
