#include "app/command_line.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace cutspot {
namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view format_option(output_format format) {
  switch (format) {
    case output_format::svg:
      return "-svg";
    case output_format::json:
      return "-json";
    case output_format::edl:
      return "-edl";
    case output_format::chapters:
      return "-chapters";
    case output_format::cut_list:
      break;
  }
  return {};
}

// Sets *format if arg names one of the documents that replace the cut list.
bool parse_format_option(std::string_view arg, output_format* format) {
  for (output_format f :
       {output_format::svg, output_format::json, output_format::edl, output_format::chapters}) {
    if (arg == format_option(f)) {
      *format = f;
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint32_t parse_option_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate the magnitude, saturating just past the 32-bit range: enough to clamp.
  constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), LIMIT);
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

command_line parse_command_line(int argc, const char* const* argv) {
  command_line cl;
  if (argc >= 2) {
    std::string_view first = argv[1];
    if (first == "--help" || first == "-h") {
      cl.action = command::help;
      return cl;
    }
    if (first == "--version") {
      cl.action = command::version;
      return cl;
    }
  }

  run_settings& s = cl.settings;
  int i = 1;
  // The last argument is never taken for an option.
  for (; argc - i >= 2; ++i) {
    std::string_view arg = argv[i];
    if (arg.starts_with("-p")) {
      s.marks.period_seconds = parse_option_number(arg.substr(2));
      if (s.marks.period_seconds == 0) s.marks.period_seconds = BARE_PERIOD_SECONDS;
    } else if (arg.starts_with("-i")) {
      s.marks.ignore_seconds = parse_option_number(arg.substr(2));
    } else if (arg == "-graph") {
      s.show_graph = true;
    } else if (!parse_format_option(arg, &s.format)) {
      break;
    }
  }
  if (s.marks.period_seconds < s.marks.ignore_seconds) s.marks.ignore_seconds = 0;

  if (i >= argc) return cl;  // No file name.
  std::string_view name = argv[i];
  if (name.find(".evt") == std::string_view::npos) return cl;
  // The recording's name starts the cut list and its messages: a line break in it would
  // let the name pose as marks.
  if (name.find('\n') != std::string_view::npos) {
    cl.refusal = "a file name with a line break would corrupt the cut list";
    return cl;
  }
  if (i + 1 < argc && std::string_view(argv[i + 1]) == "-graph") s.show_graph = true;
  if (s.show_graph && s.format != output_format::cut_list) {
    cl.refusal = "-graph cannot be combined with " + std::string(format_option(s.format));
    return cl;
  }
  cl.action = command::run;
  cl.file_name = name;
  return cl;
}

}  // namespace cutspot
