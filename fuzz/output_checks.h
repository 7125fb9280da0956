// Checks on what a run printed that hold for every input, shared by the fuzz targets.
// A violated check aborts, so libFuzzer keeps the input as a crash.
#ifndef CUTSPOT_FUZZ_OUTPUT_CHECKS_H_
#define CUTSPOT_FUZZ_OUTPUT_CHECKS_H_

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace cutspot::fuzzing {

[[noreturn]] inline void fail(const char* what, std::string_view text = {}) {
  std::fprintf(stderr, "check failed: %s\n%.*s\n", what, static_cast<int>(text.size()),
               text.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view text = {}) {
  if (!ok) fail(what, text);
}

inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// "MMM:SS.mmm" with at least three minute digits and an optional leading '-'; returns
// the length matched at the start of text, or 0.
inline std::size_t match_time(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (digits < 3 || text.size() - i < 7) return 0;
  if (text[i] != ':' || !is_digit(text[i + 1]) || text[i + 1] > '5' || !is_digit(text[i + 2]) ||
      text[i + 3] != '.' || !is_digit(text[i + 4]) || !is_digit(text[i + 5]) ||
      !is_digit(text[i + 6])) {
    return 0;
  }
  // Guard against "-000:00.000": a negative time is at least a millisecond away from 0.
  if (text[0] == '-' &&
      text.substr(1, i + 7 - 1).find_first_not_of("0:.") == std::string_view::npos) {
    return 0;
  }
  return i + 7;
}

// Splits off the first line, newline included; a last line without one is all the rest.
inline std::string_view take_line(std::string_view* text) {
  std::size_t end = text->find('\n');
  end = end == std::string_view::npos ? text->size() : end + 1;
  std::string_view line = text->substr(0, end);
  text->remove_prefix(end);
  return line;
}

// A complete cut list: "F<mpeg_name>\n", mark lines, "E\n", nothing after.
inline void check_cut_list(std::string_view text, std::string_view mpeg_name) {
  std::string_view all = text;
  std::string_view line = take_line(&text);
  check(line.size() == mpeg_name.size() + 2 && line[0] == 'F' &&
            line.substr(1, mpeg_name.size()) == mpeg_name && line.back() == '\n',
        "cut list file line", all);
  for (;;) {
    line = take_line(&text);
    if (line == "E\n") break;
    check(line.size() > 1 && (line[0] == 'A' || line[0] == 'D') &&
              match_time(line.substr(1)) == line.size() - 2 && line.back() == '\n',
          "cut list mark line", line);
  }
  check(text.empty(), "text after the end line", all);
}

// The mark lines of a complete cut list, without their newlines.
inline std::vector<std::string> mark_lines(std::string_view list) {
  std::vector<std::string> marks;
  take_line(&list);
  for (std::string_view line = take_line(&list); line != "E\n"; line = take_line(&list)) {
    marks.emplace_back(line.substr(0, line.size() - 1));
  }
  return marks;
}

inline std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

// A non-negative "MMM:SS.mmm" as whole seconds with three decimals: "001:41.250" is
// "101.250".
inline std::string seconds_text(std::string_view time) {
  check(!time.starts_with('-'), "negative mark", time);
  const std::size_t colon = time.find(':');
  const unsigned long long minutes = std::stoull(std::string(time.substr(0, colon)));
  const unsigned long long seconds =
      minutes * 60 + std::stoull(std::string(time.substr(colon + 1, 2)));
  return std::to_string(seconds) + std::string(time.substr(colon + 3));
}

// A bar: marks from the left, then spaces, width columns in all.
inline bool is_bar(std::string_view bar, char mark, std::size_t width) {
  if (bar.size() != width) return false;
  std::size_t marks = bar.find_first_not_of(mark);
  if (marks == std::string_view::npos) return true;
  return bar.find_first_not_of(' ', marks) == std::string_view::npos;
}

// The text graph: the header, one line per record (records of them) and separators, then
// an empty line. Returns what follows it.
inline std::string_view check_graph(std::string_view text, std::size_t records) {
  std::string_view all = text;
  check(take_line(&text) == "Timestamp : T Video Lvl | Audio Lvl\n", "graph header", all);
  std::size_t record_lines = 0;
  for (;;) {
    std::string_view line = take_line(&text);
    if (line == "\n") break;
    if (line == "----------:\n") continue;
    std::size_t t = match_time(line);
    check(t > 0 && line.size() == t + 4 + 9 + 3 + 49 + 1, "graph line length", line);
    std::string_view rest = line.substr(t);
    check(rest.starts_with(": ") && (rest[2] == 'A' || rest[2] == 'V') && rest[3] == ' ' &&
              is_bar(rest.substr(4, 9), '#', 9) && rest.substr(13, 3) == " | " &&
              is_bar(rest.substr(16, 49), '=', 49) && rest.back() == '\n',
          "graph line", line);
    ++record_lines;
  }
  check(record_lines == records, "one graph line per record", all);
  return text;
}

// Every line of standard error is a diagnostic of ours.
inline void check_diagnostics(std::string_view err) {
  while (!err.empty()) {
    std::string_view line = take_line(&err);
    check(line.starts_with("cutspot: ") && line.back() == '\n', "stderr line", line);
  }
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_OUTPUT_CHECKS_H_
