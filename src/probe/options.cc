#include "probe/options.h"

#include <charconv>

namespace cutspot::probe {
namespace {

// Arguments quoted in the reason may hold anything; no control byte may reach the terminal.
probe_options refuse(std::string_view reason) {
  probe_options o;
  o.action = probe_action::usage;
  o.refusal = printable(reason);
  return o;
}

// Decimal digits only, from low to high.
bool parse_number(std::string_view text, int low, int high, int* out) {
  int n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || text[0] == '-' || ec != std::errc() || end != text.data() + text.size() ||
      n < low || n > high) {
    return false;
  }
  *out = n;
  return true;
}

// The value of an option that takes one: "-x VALUE", "-xVALUE", "--long VALUE" or
// "--long=VALUE". Returns false if arg is not this option at all.
bool option_value(std::string_view arg, std::string_view short_name, std::string_view long_name,
                  int argc, const char* const* argv, int* i, std::string_view* value,
                  bool* missing) {
  *missing = false;
  if (arg == short_name || arg == long_name) {
    if (*i + 1 >= argc) {
      *missing = true;
    } else {
      *value = argv[++*i];
    }
    return true;
  }
  if (arg.size() > long_name.size() && arg.starts_with(long_name) && arg[long_name.size()] == '=') {
    *value = arg.substr(long_name.size() + 1);
    return true;
  }
  if (arg.size() > short_name.size() && arg.starts_with(short_name) && arg[1] != '-') {
    *value = arg.substr(short_name.size());
    return true;
  }
  return false;
}

}  // namespace

probe_options parse_probe_options(int argc, const char* const* argv) {
  probe_options o;
  bool have_input = false;
  bool options_done = false;
  bool missing = false;
  std::string_view v;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
      if (have_input) return refuse("more than one recording given");
      o.input = std::string(arg);
      have_input = true;
      continue;
    }
    if (arg == "--") {
      options_done = true;
    } else if (arg == "--help" || arg == "-h") {
      o.action = probe_action::help;
      return o;
    } else if (arg == "--version") {
      o.action = probe_action::version;
      return o;
    } else if (arg == "-f" || arg == "--force") {
      o.force = true;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "--no-audio-ok") {
      o.no_audio_ok = true;
    } else if (arg == "--full-decode") {
      o.full_decode = true;
    } else if (option_value(arg, "-o", "--output", argc, argv, &i, &v, &missing)) {
      if (missing) return refuse("option '" + std::string(arg) + "' needs a file name");
      if (v.empty()) return refuse("empty output file name");
      o.output = std::string(v);
    } else if (option_value(arg, "-a", "--audio", argc, argv, &i, &v, &missing)) {
      if (missing) return refuse("option '" + std::string(arg) + "' needs a number");
      if (!parse_number(v, 1, 99, &o.audio_stream)) {
        return refuse("the audio track number must be 1 to 99, not '" + std::string(v) + "'");
      }
    } else if (option_value(arg, "-j", "--threads", argc, argv, &i, &v, &missing)) {
      if (missing) return refuse("option '" + std::string(arg) + "' needs a number");
      if (!parse_number(v, 0, 64, &o.threads)) {
        return refuse("the number of threads must be 0 to 64, not '" + std::string(v) + "'");
      }
    } else {
      return refuse("unknown option '" + std::string(arg) + "'");
    }
  }
  if (!have_input) return refuse("no recording given");
  if (o.input.empty()) return refuse("empty recording name");
  if (o.input == "-" && o.output.empty()) {
    return refuse("reading standard input needs -o FILE");
  }
  o.action = probe_action::run;
  return o;
}

}  // namespace cutspot::probe
