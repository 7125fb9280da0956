// Structural checks of what a whole run printed: clean UTF-8, JSON that parses, well-formed
// XML, the E line exactly when the status is 0; each document gives back its marks for
// comparing. Exact bytes are for tests/. A failed check aborts: libFuzzer keeps the input.
#ifndef CUTSPOT_FUZZ_CHECKS_H_
#define CUTSPOT_FUZZ_CHECKS_H_

#include <algorithm>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/run.h"
#include "in_memory_run.h"
#include "report/output_buffer.h"

namespace cutspot::fuzzing {

inline constexpr std::string_view USAGE_LINE =
    "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";

// The C0 control characters but the line feed, and DEL.
inline constexpr std::string_view CONTROL_BYTES(
    "\x01\x02\x03\x04\x05\x06\x07\x08\t\x0b\x0c\r\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17"
    "\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f\x00",
    32);

// Standard output on a full disk: every write refused.
class refusing_sink final : public byte_sink {
 public:
  bool write(const char*, std::size_t) override { return false; }
  std::string error() const override { return "No space left on device"; }
};

inline void check(bool ok, const char* what, std::string_view text = {}) {
  if (ok) return;  // Long documents are cut: the input reproduces them anyway.
  std::fprintf(stderr, "check failed: %s\n%.*s\n", what,
               static_cast<int>(std::min<std::size_t>(text.size(), 4000)), text.data());
  std::abort();
}

// Splits off the first line, newline included; a last line without one is all the rest.
inline std::string_view take_line(std::string_view* text) {
  std::size_t end = text->find('\n');
  end = end == std::string_view::npos ? text->size() : end + 1;
  const std::string_view line = text->substr(0, end);
  text->remove_prefix(end);
  return line;
}

// Well-formed UTF-8 (no overlong form, surrogate or code point past U+10FFFF) without a
// control character (C0, DEL, and C1 unless allowed) but line feeds, and tabs where
// allowed. JSON strings may hold C1 as it is; a terminal or XML may not.
inline bool is_clean_text(std::string_view text, bool tabs = false, bool c1 = false) {
  constexpr std::uint32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if ((lead < 0x20 && lead != '\n' && !(tabs && lead == '\t')) || lead == 0x7F) return false;
      ++i;
      continue;
    }
    const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC0 || lead > 0xF4 || text.size() - i < n) return false;
    std::uint32_t code = lead & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if (code < SMALLEST[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        (code <= 0x9F && !c1)) {
      return false;
    }
    i += n;
  }
  return true;
}

inline bool is_digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "MMM:SS.mmm" of a time: whole milliseconds toward zero, at least three minute digits,
// '-' before a time at least a millisecond under 0.
inline std::string time_text(std::int64_t ns) {
  const std::int64_t ms = ns / 1000000, m = ms < 0 ? -ms : ms;
  char text[40];
  std::snprintf(text, sizeof text, "%s%03" PRId64 ":%02" PRId64 ".%03" PRId64, ms < 0 ? "-" : "",
                m / 60000, m / 1000 % 60, m % 1000);
  return text;
}

// A mark as a document tells it; what it does not tell stays empty.
struct seen_mark {
  char kind = 0;
  std::string time;
  std::int64_t ns = 0;
};

// Strict JSON (RFC 8259): a value from t[*i], nested at most 32 deep.
inline bool is_json_value(std::string_view t, std::size_t* i, int depth = 0) {
  auto at = [&](std::string_view any) { return *i < t.size() && any.find(t[*i]) != any.npos; };
  auto skip = [&] {
    while (at(" \t\n\r")) ++*i;
  };
  auto eat = [&](char c) { return skip(), at({&c, 1}) && ++*i; };
  auto digits = [&] {
    const std::size_t from = *i;
    while (at("0123456789")) ++*i;
    return *i - from;
  };
  auto string = [&] {
    if (!eat('"')) return false;
    while (*i < t.size()) {
      const char c = t[(*i)++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20 || (c == '\\' && !at("\"\\/bfnrtu"))) return false;
      if (c == '\\' && t[(*i)++] == 'u') {
        const std::string_view hex = t.substr(*i, 4);
        if (hex.size() < 4 || hex.find_first_not_of("0123456789abcdefABCDEF") != hex.npos)
          return false;
        *i += 4;
      }
    }
    return false;
  };
  // A comma-separated list up to `close`, the opening bracket eaten.
  auto list = [&](char close, auto item) {
    if (eat(close)) return true;
    do {
      if (!item()) return false;
    } while (eat(','));
    return eat(close);
  };
  skip();
  if (depth > 32) return false;
  if (eat('{')) {
    return list('}', [&] { return string() && eat(':') && is_json_value(t, i, depth + 1); });
  }
  if (eat('[')) return list(']', [&] { return is_json_value(t, i, depth + 1); });
  if (at("\"")) return string();
  for (std::string_view word : {"true", "false", "null"}) {
    if (t.substr(*i).starts_with(word)) return *i += word.size(), true;
  }
  if (at("-")) ++*i;
  const bool zero = at("0");
  const std::size_t whole = digits();
  if (whole == 0 || (zero && whole > 1) || (at(".") && (++*i, digits() == 0))) return false;
  if (at("eE")) {
    ++*i;
    if (at("+-")) ++*i;
    if (digits() == 0) return false;
  }
  return true;
}

inline bool is_json(std::string_view text) {
  std::size_t i = 0;
  return is_json_value(text, &i) && text.find_first_not_of(" \t\n\r", i) == text.npos;
}

// The text after `prefix` at or after `*at`, up to any of `stop`; *at moves past the prefix.
// In valid JSON and XML a prefix that begins with a quote cannot lie inside a string.
inline std::string_view after(std::string_view text, std::string_view prefix, std::size_t* at,
                              std::string_view stop) {
  *at = text.find(prefix, *at);
  if (*at == std::string_view::npos) return {};
  *at += prefix.size();
  return text.substr(*at, text.find_first_of(stop, *at) - *at);
}

// Character data of XML: '<' nowhere, '&' only in a predefined entity or a reference.
inline bool is_xml_chars(std::string_view text) {
  if (text.find('<') != std::string_view::npos) return false;
  for (std::size_t at = text.find('&'); at != text.npos; at = text.find('&', at + 1)) {
    const std::size_t end = text.find(';', at);
    const std::string_view ref = text.substr(at + 1, end - at - 1);
    const std::string_view digits = ref.starts_with("#x") ? "0123456789abcdefABCDEF" : "0123456789";
    const std::size_t from = ref.starts_with("#x") ? 2 : 1;
    const bool numeric =
        ref.size() > from && ref[0] == '#' && ref.find_first_not_of(digits, from) == ref.npos;
    if (end == text.npos || (!numeric && ref != "amp" && ref != "lt" && ref != "gt" &&
                             ref != "quot" && ref != "apos")) {
      return false;
    }
  }
  return true;
}

// Well-formed XML as the picture is written: an optional declaration, then one root
// element; elements closed in order, attributes named and quoted.
inline bool is_well_formed_xml(std::string_view doc) {
  constexpr std::string_view NAME_CHARS =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_:.-";
  std::size_t i = doc.starts_with("<?xml ") ? doc.find("?>") : std::string_view::npos;
  i = i == std::string_view::npos ? 0 : i + 2;
  auto name = [&] {
    const std::size_t end = std::min(doc.find_first_not_of(NAME_CHARS, i), doc.size());
    const std::string_view n = doc.substr(i, end - i);
    i = end;
    return n.empty() || std::string_view("0123456789.-").find(n[0]) != n.npos ? std::string_view()
                                                                              : n;
  };
  auto space = [&] {
    const std::size_t from = i;
    i = std::min(doc.find_first_not_of(" \t\n\r", i), doc.size());
    return i > from;
  };
  std::vector<std::string_view> open;
  bool rooted = false;
  while (i < doc.size()) {
    if (doc[i] != '<') {
      const std::size_t end = std::min(doc.find('<', i), doc.size());
      const std::string_view text = doc.substr(i, end - i);
      if (!is_xml_chars(text) || (open.empty() && text.find_first_not_of(" \t\n\r") != text.npos))
        return false;
      i = end;
      continue;
    }
    const bool closing = doc.substr(i, 2) == "</";
    if (open.empty() && (rooted || closing)) return false;
    i += closing ? 2 : 1;
    const std::string_view element = name();
    if (element.empty()) return false;
    if (closing) {
      space();
      if (open.back() != element || doc.substr(i, 1) != ">") return false;
      open.pop_back();
      ++i;
      continue;
    }
    rooted = true;
    for (bool spaced = space(); doc.substr(i, 1) != ">" && doc.substr(i, 2) != "/>";
         spaced = space()) {
      if (!spaced || name().empty() || (space(), doc.substr(i, 1) != "=")) return false;
      ++i;
      space();
      const std::size_t end = i < doc.size() && (doc[i] == '"' || doc[i] == '\'')
                                  ? doc.find(doc[i], i + 1)
                                  : std::string_view::npos;
      if (end == std::string_view::npos || !is_xml_chars(doc.substr(i + 1, end - i - 1)))
        return false;
      i = end + 1;
    }
    if (doc[i] == '>') open.push_back(element);
    i += doc[i] == '>' ? 1 : 2;
  }
  return rooted && open.empty();
}

// Standard error: whole lines, each "cutspot: ..." but the hint that follows a refusal.
inline void check_diagnostics(std::string_view err) {
  check(is_clean_text(err), "control character or ill-formed UTF-8 on stderr", err);
  check(err.empty() || err.ends_with('\n'), "stderr without a final newline", err);
  bool after_refusal = false;
  for (std::string_view rest = err; !rest.empty();) {
    const std::string_view line = take_line(&rest);
    if (line == "Try 'cutspot --help'.\n") {
      check(after_refusal, "the hint without a refusal", err);
      after_refusal = false;
      continue;
    }
    check(line.starts_with("cutspot: ") && line.size() > 10, "a line of stderr", line);
    after_refusal = !line.starts_with("cutspot: warning: ");
  }
}

// One whole run in memory, `cutspot args...`, standard output kept unless it goes `to` a
// sink: whatever happened is said in lines of ours, and the status says how it ended.
inline testing::run_result run_checked(const std::vector<std::string>& args,
                                       const source_opener& open, byte_sink* to,
                                       const run_options& options) {
  std::vector<const char*> argv = {"cutspot"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  string_sink out, err;
  const int status =
      run_cutspot(static_cast<int>(argv.size()), argv.data(), open, to ? *to : out, err, options);
  check(out.error().empty() && err.error().empty(), "a string sink failed");
  check_diagnostics(err.text);
  check(status >= 0 && status <= 2 && (status == 0 || !err.text.empty()), "the status", err.text);
  return {status, std::move(out.text), std::move(err.text)};
}

// The cut list, after the graph when it has one: its marks, and its E line exactly when
// the run succeeded.
inline std::vector<seen_mark> check_cut_list(std::string_view out, int status) {
  const std::size_t ends = out.rfind("\nE\n");
  check((ends != std::string_view::npos && ends + 3 == out.size()) == (status == 0),
        "the E line and the status disagree", out);
  std::vector<seen_mark> marks;
  if (status != 0) return marks;
  const std::size_t list = out.starts_with('F') ? 0 : out.rfind("\n\nF");
  check(list != std::string_view::npos, "no F line", out);
  std::string_view text = out.substr(list == 0 ? 0 : list + 2);
  take_line(&text);
  for (std::string_view line = take_line(&text); line != "E\n"; line = take_line(&text)) {
    check(line.size() > 2 && (line[0] == 'A' || line[0] == 'D'), "a line of the cut list", line);
    marks.push_back({line[0], std::string(line.substr(1, line.size() - 2))});
  }
  return marks;
}

// The JSON document: its marks, each time agreeing with its ns, and its record count.
inline std::vector<seen_mark> check_json(std::string_view doc, std::uint64_t* records) {
  check(doc.ends_with("}\n") && doc.find('\n') == doc.size() - 1 &&
            is_clean_text(doc, false, true) && is_json(doc),
        "JSON does not parse", doc);
  std::size_t at = 0;
  const std::string_view count = after(doc, "\"records\": ", &at, ",");
  check(is_digits(count) && doc.substr(at + count.size(), 12) == ", \"marks\": [",
        "the JSON record count and marks", doc);
  *records = std::stoull(std::string(count));
  std::vector<seen_mark> marks;
  for (std::string_view kind = after(doc, "{\"kind\": \"", &at, "\""); !kind.empty();
       kind = after(doc, "{\"kind\": \"", &at, "\"")) {
    const std::string_view ns = after(doc, "\"ns\": ", &at, ",}");
    const std::string_view time = after(doc, "\"time\": \"", &at, "\"");
    check((kind == "A" || kind == "D") && is_digits(ns.substr(ns.starts_with('-'))), "a JSON mark",
          doc);
    marks.push_back({kind[0], std::string(time), std::stoll(std::string(ns))});
    check(time == time_text(marks.back().ns), "a JSON mark's time is not its ns", time);
  }
  return marks;
}

// The edit decision list: a scene marker a line, "S.mmm<TAB>S.mmm<TAB>2"; its seconds.
inline std::vector<std::string> check_edl(std::string_view doc) {
  check(is_clean_text(doc, true), "the EDL is no clean text", doc);
  std::vector<std::string> seconds;
  for (std::string_view line = take_line(&doc); !line.empty(); line = take_line(&doc)) {
    seconds.emplace_back(line.substr(0, line.find('\t')));
    check(line == seconds.back() + "\t" + seconds.back() + "\t2\n", "an EDL line", line);
  }
  return seconds;
}

// Whole milliseconds toward zero of a time in seconds with three decimals: "-1.250".
inline std::string seconds_text(std::int64_t ns) {
  const std::int64_t ms = ns / 1000000;
  const std::string digits = std::to_string(ms < 0 ? -ms : ms);
  const std::string padded = std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
  return (ms < 0 ? "-" : "") + padded.substr(0, padded.size() - 3) + "." +
         padded.substr(padded.size() - 3);
}

// One chapter of the metadata file; marks' chapters take the mark's kind and time.
struct chapter {
  std::int64_t start_ms;
  std::int64_t end_ms;
  std::string title;
};

// The chapters: contiguous from 0, none ending before it starts.
inline std::vector<chapter> check_chapters(std::string_view doc) {
  check(doc.starts_with(";FFMETADATA1\n"), "the chapters' header", doc);
  std::vector<chapter> chapters;
  for (std::size_t at = 13, from = 13; at < doc.size(); from = at) {
    const std::string start(after(doc, "START=", &at, "\n")), end(after(doc, "END=", &at, "\n"));
    const std::string title(after(doc, "title=", &at, "\n"));
    const std::string block =
        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + start + "\nEND=" + end + "\ntitle=" + title + "\n";
    check(at != doc.npos && doc.substr(from, block.size()) == block &&
              is_digits(start.substr(start.starts_with('-'))) &&
              is_digits(end.substr(end.starts_with('-'))),
          "a chapter", doc.substr(from));
    chapters.push_back({std::stoll(start), std::stoll(end), title});
    at = from + block.size();
    check(chapters.back().end_ms >= chapters.back().start_ms, "a chapter ends before it starts",
          block);
    check(chapters.size() == 1 ? chapters.back().start_ms == 0
                               : chapters.back().start_ms == chapters[chapters.size() - 2].end_ms &&
                                     title != "Start",
          "chapters not contiguous", block);
  }
  return chapters;
}

// The picture's mark groups: the first mark's kind and ns, how many, the last one's ns.
struct mark_group {
  char kind;
  std::int64_t ns;
  std::uint64_t count;
  std::int64_t last_ns;
};

inline std::vector<mark_group> check_svg(std::string_view doc) {
  check(is_clean_text(doc) && is_well_formed_xml(doc), "the picture is not well-formed", doc);
  std::vector<mark_group> groups;
  for (std::size_t at = doc.find("<g class=\"mark "); at != doc.npos;
       at = doc.find("<g class=\"mark ", at)) {
    const std::string_view tag = doc.substr(at, doc.find('>', at) - at);
    auto attribute = [&](std::string_view name) {
      std::size_t from = 0;
      return std::string(after(tag, " " + std::string(name) + "=\"", &from, "\""));
    };
    const std::string kind = attribute("data-kind"), ns = attribute("data-ns");
    const std::string count = attribute("data-count");
    check((kind == "A" || kind == "D") && tag.substr(15, 1) == kind && is_digits(ns),
          "a mark group", tag);
    groups.push_back({kind[0], std::stoll(ns), 1, std::stoll(ns)});
    if (!count.empty()) {
      groups.back() = {kind[0], std::stoll(ns), std::stoull(count),
                       std::stoll(attribute("data-last-ns"))};
      check(groups.back().count > 1, "a group of one with a count", tag);
    }
    at += tag.size();
  }
  return groups;
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_CHECKS_H_
