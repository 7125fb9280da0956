// The command line: options before the event file name, the file name, and an optional
// "-graph" right after it.
//
//   cutspot [-p<sec>] [-i<sec>] [-graph] [-svg|-json|-edl|-chapters] <evt-file> [-graph]
//   cutspot -breaks [-m<sec>] [-u<sec>] [-graph] [-svg|-json|-edl|-chapters|-ffconcat] <evt-file>
//
// Options are read only while at least one more argument follows, so the last argument
// is always the file name; the first argument that is not an option is the file name too,
// and so is the argument after "--". Anything after the name but a first "-graph" is
// ignored, with a warning. "-h", "--help" and "--version" act wherever an option may
// stand, the last argument included. Repeated options overwrite. Every refusal says why.
#ifndef CUTSPOT_APP_COMMAND_LINE_H_
#define CUTSPOT_APP_COMMAND_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/breaks.h"
#include "analysis/marks.h"
#include "app/formats.h"

namespace cutspot {

// The usage message on standard output whenever the command line or the file is unusable.
inline constexpr std::string_view USAGE =
    "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";

struct run_settings {
  mark_settings marks;  // period_seconds and ignore_seconds.
  break_settings breaks;
  bool show_graph = false;
  const output_format* format = &MARK_FORMATS[0];
};

enum class command { run, usage, help, version };

struct command_line {
  command action = command::usage;
  run_settings settings;
  std::string file_name;
  // With command::usage: why the command line was refused, one line for the user.
  std::string refusal;
  // With command::run: one line for each argument that is ignored.
  std::vector<std::string> warnings;
};

command_line parse_command_line(int argc, const char* const* argv);

// The number after "-p", "-i", "-m" or "-u": optional white space and sign, then decimal digits up
// to the first non-digit; no digits give 0. Clamped to the signed 32-bit range, then
// held unsigned, so "-5" gives 4294967291.
std::uint32_t parse_option_number(std::string_view text);

// The part of that text the number rule does not read, for a warning: what follows the
// digits, or all of it when it holds no digit. Empty when all of it is read.
std::string_view unread_after_number(std::string_view text);

// The full help text, starting with the usage message.
std::string help_text();

}  // namespace cutspot

#endif  // CUTSPOT_APP_COMMAND_LINE_H_
