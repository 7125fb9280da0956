// Checks on what a run printed that hold for every input, shared by the fuzz targets.
// A violated check aborts, so libFuzzer keeps the input as a crash. The expected texts
// are built here from the marks, without the program's own formatting code.
#ifndef CUTSPOT_FUZZ_OUTPUT_CHECKS_H_
#define CUTSPOT_FUZZ_OUTPUT_CHECKS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/marks.h"
#include "eventfile/event_record.h"
#include "utf8_check.h"

namespace cutspot::fuzzing {

[[noreturn]] inline void fail(const char* what, std::string_view text = {}) {
  // Long documents are cut: the input reproduces them anyway.
  const std::size_t shown = text.size() < 4000 ? text.size() : 4000;
  std::fprintf(stderr, "check failed: %s\n%.*s\n", what, static_cast<int>(shown), text.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view text = {}) {
  if (!ok) fail(what, text);
}

inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Splits off the first line, newline included; a last line without one is all the rest.
inline std::string_view take_line(std::string_view* text) {
  std::size_t end = text->find('\n');
  end = end == std::string_view::npos ? text->size() : end + 1;
  std::string_view line = text->substr(0, end);
  text->remove_prefix(end);
  return line;
}

inline std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

inline void append_padded(std::string* out, std::uint64_t value, std::size_t digits) {
  char text[24];
  const int n = std::snprintf(text, sizeof text, "%0*llu", static_cast<int>(digits),
                              static_cast<unsigned long long>(value));
  out->append(text, static_cast<std::size_t>(n));
}

// Whole milliseconds toward zero of a time.
inline std::int64_t ms_of(std::int64_t ns) {
  return ns / 1000000;
}

// "MMM:SS.mmm" into out (room for 32 bytes), returning its length: whole milliseconds
// toward zero, minutes with at least three digits, a '-' before a time at least a
// millisecond before 0. Without printf, as the graph check runs it once per record.
inline std::size_t write_time_text(char* out, std::int64_t ns) {
  const std::int64_t ms = ms_of(ns);
  std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  char reversed[32];
  std::size_t n = 0;
  for (int i = 0; i < 3; ++i, magnitude /= 10)
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
  reversed[n++] = '.';
  reversed[n++] = static_cast<char>('0' + magnitude % 10);
  reversed[n++] = static_cast<char>('0' + magnitude / 10 % 6);
  magnitude /= 60;
  reversed[n++] = ':';
  for (int digits = 0; digits < 3 || magnitude != 0; ++digits, magnitude /= 10) {
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
  }
  std::size_t length = 0;
  if (ms < 0) out[length++] = '-';
  while (n > 0) out[length++] = reversed[--n];
  return length;
}

inline std::string time_text(std::int64_t ns) {
  char text[32];
  return std::string(text, write_time_text(text, ns));
}

// Record i of an event file, decoded here rather than by the program's reader.
inline event_record record_at(std::string_view file, std::uint64_t i) {
  const auto* p = reinterpret_cast<const unsigned char*>(file.data()) + 8 + i * 24;
  auto field = [p](std::size_t at, std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < bytes; ++k) v = v << 8 | p[at + k];
    return v;
  };
  event_record r;
  r.timestamp_ns = static_cast<std::int64_t>(field(0, 8));
  r.spare = static_cast<std::uint32_t>(field(8, 4));
  r.type = static_cast<std::uint32_t>(field(12, 4));
  r.value = static_cast<std::uint32_t>(field(16, 4));
  for (std::size_t k = 0; k < 4; ++k) r.samples[k] = p[20 + k];
  return r;
}

// Seconds with three decimals, truncated toward zero: "101.250".
inline std::string seconds_text(std::int64_t ns) {
  const std::int64_t ms = ms_of(ns);
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  std::string text = ms < 0 ? "-" : "";
  text += std::to_string(magnitude / 1000);
  text += '.';
  append_padded(&text, magnitude % 1000, 3);
  return text;
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
  // "-000:00.000" is no time: a negative one is at least a millisecond away from 0.
  if (text[0] == '-' &&
      text.substr(1, i + 7 - 1).find_first_not_of("0:.") == std::string_view::npos) {
    return 0;
  }
  return i + 7;
}

// The cut list that the marks make.
inline std::string expected_cut_list(std::string_view mpeg_name,
                                     const std::vector<cut_mark>& marks) {
  std::string list = "F";
  list += mpeg_name;
  list += '\n';
  for (const cut_mark& mark : marks) {
    list += mark.kind;
    list += time_text(mark.ns);
    list += '\n';
  }
  list += "E\n";
  return list;
}

// The edit decision list that the marks make.
inline std::string expected_edl(const std::vector<cut_mark>& marks) {
  std::string edl;
  for (const cut_mark& mark : marks) {
    const std::string seconds = seconds_text(mark.ns);
    edl += seconds + "\t" + seconds + "\t2\n";
  }
  return edl;
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
inline std::string_view check_graph(std::string_view text, std::uint64_t records) {
  std::string_view all = text;
  check(take_line(&text) == "Timestamp : T Video Lvl | Audio Lvl\n", "graph header", all);
  std::uint64_t record_lines = 0;
  for (;;) {
    std::string_view line = take_line(&text);
    check(!line.empty(), "graph without its empty line", all);
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

// Standard error: whole lines, each a diagnostic of ours, but the hint after a refusal;
// well-formed UTF-8 without a control character, so no terminal can be commanded.
inline void check_diagnostics(std::string_view err) {
  check(is_clean_text(err), "control character or ill-formed UTF-8 on stderr", err);
  std::string_view all = err;
  bool after_refusal = false;
  while (!err.empty()) {
    std::string_view line = take_line(&err);
    check(line.back() == '\n', "stderr without a final newline", all);
    if (line == "Try 'cutspot --help'.\n") {
      check(after_refusal, "hint without a refusal", all);
      after_refusal = false;
      continue;
    }
    check(line.starts_with("cutspot: ") && line.size() > 10, "stderr line", line);
    after_refusal = !line.starts_with("cutspot: warning: ");
  }
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_OUTPUT_CHECKS_H_
