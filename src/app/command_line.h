// The command line: options before the event file name, the file name, and an optional
// "-graph" right after it.
//
//   cutspot [-p<sec>] [-i<sec>] [-graph] [-svg|-json|-edl|-chapters] <evt-file> [-graph]
//
// Options are read only while at least one more argument follows, so the last argument
// is always the file name; the first argument that is not an option is the file name too,
// and anything after it but a first "-graph" is ignored. Repeated options overwrite.
#ifndef CUTSPOT_APP_COMMAND_LINE_H_
#define CUTSPOT_APP_COMMAND_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/marks.h"

namespace cutspot {

inline constexpr std::string_view USAGE =
    "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";

// What the run prints instead of the text graph and cut list, if anything.
enum class output_format { cut_list, svg, json, edl, chapters };

struct run_settings {
  mark_settings marks;  // period_seconds and ignore_seconds.
  bool show_graph = false;
  output_format format = output_format::cut_list;
};

enum class command { run, usage, help, version };

struct command_line {
  command action = command::usage;
  run_settings settings;
  std::string file_name;
  // With command::usage: why the command line was refused, when the usage message
  // alone does not say it; empty otherwise.
  std::string refusal;
};

command_line parse_command_line(int argc, const char* const* argv);

// The number after "-p" or "-i": optional white space and sign, then decimal digits up
// to the first non-digit; no digits give 0. Clamped to the signed 32-bit range, then
// held unsigned, so "-5" gives 4294967291.
std::uint32_t parse_option_number(std::string_view text);

}  // namespace cutspot

#endif  // CUTSPOT_APP_COMMAND_LINE_H_
