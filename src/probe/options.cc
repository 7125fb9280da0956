#include "probe/options.h"

#include <charconv>

namespace cutspot::probe {
namespace {

// Arguments quoted in the reason may hold anything; no control byte may reach the terminal.
probe_options refuse(std::string reason) {
  for (char& c : reason) {
    if (has_control_byte(std::string_view(&c, 1))) c = '?';
  }
  probe_options o;
  o.action = probe_action::usage;
  o.refusal = std::move(reason);
  return o;
}

// A stream number: decimal digits only, 1 to 99.
bool parse_stream_number(std::string_view text, int* out) {
  int n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > 99) return false;
  *out = n;
  return true;
}

}  // namespace

bool has_control_byte(std::string_view name) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

probe_options parse_probe_options(int argc, const char* const* argv) {
  probe_options o;
  bool have_input = false;
  bool options_done = false;
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
    } else if (arg == "--help") {
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
    } else if (arg.starts_with("-o") || arg.starts_with("--output")) {
      std::string_view value;
      if (arg == "-o" || arg == "--output") {
        if (i + 1 >= argc) return refuse("option '" + std::string(arg) + "' needs a file name");
        value = argv[++i];
      } else if (arg.starts_with("--output=")) {
        value = arg.substr(9);
      } else if (arg.starts_with("-o")) {
        value = arg.substr(2);
      } else {
        return refuse("unknown option '" + std::string(arg) + "'");
      }
      if (value.empty()) return refuse("empty output file name");
      o.output = std::string(value);
    } else if (arg.starts_with("-a") || arg.starts_with("--audio")) {
      std::string_view value;
      if (arg == "-a" || arg == "--audio") {
        if (i + 1 >= argc) return refuse("option '" + std::string(arg) + "' needs a number");
        value = argv[++i];
      } else if (arg.starts_with("--audio=")) {
        value = arg.substr(8);
      } else if (arg.starts_with("-a")) {
        value = arg.substr(2);
      } else {
        return refuse("unknown option '" + std::string(arg) + "'");
      }
      if (!parse_stream_number(value, &o.audio_stream)) {
        return refuse("the audio stream number must be 1 to 99");
      }
    } else {
      return refuse("unknown option '" + std::string(arg) + "'");
    }
  }
  if (!have_input) return refuse("no recording given");
  if (has_control_byte(o.input)) return refuse("the recording's name holds a control character");
  if (has_control_byte(o.output)) return refuse("the output name holds a control character");
  if (o.input == "-" && o.output.empty()) {
    return refuse("reading standard input needs -o FILE");
  }
  o.action = probe_action::run;
  return o;
}

}  // namespace cutspot::probe
