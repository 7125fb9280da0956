#include "app/command_line.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "report/escape.h"

namespace cutspot {
namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// C0 controls and DEL. A carriage return splits lines for many readers just as a line
// feed does, and an escape sequence can command the terminal that shows a message.
bool has_control_character(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

bool is_option_form(std::string_view arg) {
  return arg.starts_with("-p") || arg.starts_with("-i") || arg.starts_with("-m") ||
         arg.starts_with("-u") || arg == GRAPH_FORMAT.option || arg == "-breaks" ||
         is_format_option(arg);
}

// Why a name without ".evt" cannot be the event file, given the argument before it.
std::string refusal_for_name(std::string_view name, std::string_view before) {
  const std::string not_evt =
      quote_name(name) + " is not an event file name: it must contain '.evt'";
  if (before == "--") return not_evt;
  if ((before == "-p" || before == "-i" || before == "-m" || before == "-u") && !name.empty() &&
      (is_digit(name[0]) || name[0] == '-' || name[0] == '+')) {
    // The number is shown unquoted, as it is typed, but escaped like any name: it may
    // hold anything after its first digit.
    const std::string quoted = quote_name(name);
    const std::string_view number = std::string_view(quoted).substr(1, quoted.size() - 2);
    return "the number goes in the same argument as its option: " + std::string(before) +
           std::string(number) + ", not " + std::string(before) + " " + std::string(number);
  }
  if (is_option_form(name)) return "no event file named: " + quote_name(name) + " is an option";
  if (name.starts_with("-")) return "unknown option " + quote_name(name);
  return not_evt;
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
  for (; i < text.size() && is_digit(text[i]); ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), LIMIT);
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

std::string_view unread_after_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digits = i;
  while (i < text.size() && is_digit(text[i])) ++i;
  return i == digits ? text : text.substr(i);
}

namespace {

// The number of -p or -i, with a warning when part of the argument is not read.
std::uint32_t option_number(std::string_view arg, std::vector<std::string>* warnings) {
  const std::string_view text = arg.substr(2);
  const std::string_view unread = unread_after_number(text);
  if (unread.size() == text.size() && !text.empty()) {
    warnings->push_back("warning: ignoring " + quote_name(unread) + " in " + quote_name(arg) +
                        ": no digits, so the number is 0");
  } else if (!unread.empty()) {
    warnings->push_back("warning: ignoring " + quote_name(unread) + " after the number in " +
                        quote_name(arg));
  }
  return parse_option_number(text);
}

}  // namespace

command_line parse_command_line(int argc, const char* const* argv) {
  command_line cl;
  run_settings& s = cl.settings;
  std::vector<std::string> warnings;
  bool options_ended = false;
  bool breaks = false;
  std::string_view format_option;
  int i = 1;
  for (; i < argc; ++i) {
    std::string_view arg = argv[i];
    // Help and version act wherever an option may stand, the last argument included.
    if (arg == "--help" || arg == "-h") {
      cl.action = command::help;
      return cl;
    }
    if (arg == "--version") {
      cl.action = command::version;
      return cl;
    }
    if (arg == "--") {
      options_ended = true;
      ++i;
      break;
    }
    // Otherwise the last argument is never taken for an option. Words come before the
    // prefixes that they start with ("-graph" is not -g, "-breaks" not -b).
    if (argc - i < 2) break;
    if (arg == GRAPH_FORMAT.option) {
      s.show_graph = true;
    } else if (arg == "-breaks") {
      breaks = true;
    } else if (is_format_option(arg)) {
      format_option = arg;
    } else if (arg.starts_with("-p")) {
      s.marks.period_seconds = option_number(arg, &warnings);
      if (s.marks.period_seconds == 0) s.marks.period_seconds = BARE_PERIOD_SECONDS;
    } else if (arg.starts_with("-i")) {
      s.marks.ignore_seconds = option_number(arg, &warnings);
    } else if (arg.starts_with("-m")) {
      s.breaks.shortest_break_seconds = option_number(arg, &warnings);
    } else if (arg.starts_with("-u")) {
      s.breaks.spot_grid_seconds = option_number(arg, &warnings);
    } else {
      break;
    }
  }
  if (s.marks.period_seconds < s.marks.ignore_seconds) s.marks.ignore_seconds = 0;
  // A cutting script is about the programme parts, which only breaks define.
  if (format_option == "-ffconcat") breaks = true;
  s.format = find_format(format_option, breaks);

  if (i >= argc) {
    cl.refusal = "no event file named";
    return cl;
  }
  std::string_view name = argv[i];
  if (name.find(".evt") == std::string_view::npos) {
    cl.refusal = refusal_for_name(name, options_ended ? "--" : i > 1 ? argv[i - 1] : "");
    return cl;
  }
  // The recording's name starts the cut list and its messages: a line break, a carriage
  // return or any other control character in it would let the name pose as marks.
  if (has_control_character(name)) {
    cl.refusal =
        quote_name(name) + ": a file name with a control character would corrupt the cut list";
    return cl;
  }
  int ignored_from = i + 1;
  if (i + 1 < argc && argv[i + 1] == GRAPH_FORMAT.option) {
    s.show_graph = true;
    ++ignored_from;
  }
  if (s.show_graph && !s.format->option.empty()) {
    cl.refusal = "-graph cannot be combined with " + std::string(s.format->option);
    return cl;
  }
  cl.warnings = std::move(warnings);
  for (int k = ignored_from; k < argc; ++k) {
    cl.warnings.push_back("warning: ignoring " + quote_name(argv[k]) +
                          " after the event file name (options go before it)");
  }
  cl.action = command::run;
  cl.file_name = name;
  return cl;
}

namespace {

void append_formats(std::string* text, std::span<const output_format> formats) {
  for (const output_format& format : formats) {
    *text += "  ";
    *text += format.option;
    text->append(12 - std::min<std::size_t>(format.option.size(), 11), ' ');
    *text += format.summary;
    *text += '\n';
  }
}

}  // namespace

std::string help_text() {
  std::string text(USAGE);
  text +=
      "       cutspot [-p<sec>] [-i<sec>] -svg|-json|-edl|-chapters <evt-file>\n"
      "       cutspot -breaks [-m<sec>] [-u<sec>] [-graph] <evt-file>\n"
      "       cutspot -breaks [-m<sec>] [-u<sec>] -svg|-json|-edl|-chapters|-ffconcat <evt-file>\n"
      "       cutspot --help | --version\n"
      "\n"
      "Prints the cut list of a TV recording from its event file (.evt): the candidate\n"
      "cut points where the picture goes dark and the sound quiet.\n"
      "\n"
      "Options come before the file name, the number in the same argument (-p600):\n"
      "  -p<sec>     a mark at least this many seconds after the reference is a D, a\n"
      "              closer one an A (default 300; -p alone or -p0 give 210)\n"
      "  -i<sec>     drop marks closer than this to the reference (default 0); marks in\n"
      "              the first minute are never dropped\n";
  append_formats(&text, std::span(&GRAPH_FORMAT, 1));
  text +=
      "  -h, --help  print this help and exit; --version prints the version. Either acts\n"
      "              wherever an option may stand, also as the last argument\n"
      "  --          end of the options: the next argument is the file name\n"
      "\n"
      "Documents, printed instead of the cut list (not with -graph):\n";
  append_formats(&text, mark_documents());
  text +=
      "\n"
      "Advertising breaks instead of marks (the marks' -p and -i do not apply):\n"
      "  -breaks     list the breaks: runs of spots, each a whole number of grid steps\n"
      "              long, louder and steadier than the programme\n"
      "  -m<sec>     the shortest break (default 30)\n"
      "  -u<sec>     the spot grid: spots last whole multiples of it (default 5;\n"
      "              -u0 accepts spots of any length up to 90 s)\n"
      "With -breaks the documents speak of breaks (-ffconcat implies -breaks):\n";
  append_formats(&text, break_documents());
  text +=
      "\n"
      "Exit status: 0 the run is complete (the cut list ends with its E line);\n"
      "1 the run failed after the file was opened; 2 the command line or the file\n"
      "cannot be used.\n"
      "\n"
      "The manual page cutspot(1) and the README say more, with recipes for players.\n";
  return text;
}

}  // namespace cutspot
