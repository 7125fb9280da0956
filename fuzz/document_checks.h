// Checks of each document against the marks of the cut list of the same detection: the
// JSON parsed strictly, the SVG checked for well-formedness and read back group by group,
// the chapters line by line.
#ifndef CUTSPOT_FUZZ_DOCUMENT_CHECKS_H_
#define CUTSPOT_FUZZ_DOCUMENT_CHECKS_H_

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/marks.h"
#include "json_check.h"
#include "output_checks.h"
#include "xml_check.h"

namespace cutspot::fuzzing {

// What the documents of one run describe.
struct run_facts {
  std::string_view event_file_name;
  std::string_view mpeg_name;
  mark_settings settings;
  const recording_scan* scan;
  const std::vector<cut_mark>* marks;
};

// True when a name reaches the XML text unchanged: well-formed UTF-8 of XML characters
// without controls, U+FFFE, U+FFFF or any of the five that are escaped.
inline bool is_plain_xml_text(std::string_view name) {
  while (!name.empty()) {
    std::uint32_t code = 0;
    const std::size_t n = utf8_decode(name, &code);
    if (n == 0 || is_control_code(code) || code == '\n' || code == 0xFFFE || code == 0xFFFF) {
      return false;
    }
    name.remove_prefix(n);
  }
  return true;
}

inline std::int64_t to_int64(std::string_view text, const char* what) {
  check(!text.empty() && text.size() <= 20, what, text);
  std::size_t i = text[0] == '-' ? 1 : 0;
  check(i < text.size(), what, text);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    check(is_digit(text[i]), what, text);
    const std::uint64_t next = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
    check(next / 10 == magnitude, what, text);
    magnitude = next;
  }
  if (text[0] == '-') {
    check(magnitude <= (std::uint64_t{1} << 63), what, text);
    return static_cast<std::int64_t>(0 - magnitude);
  }
  check(magnitude < (std::uint64_t{1} << 63), what, text);
  return static_cast<std::int64_t>(magnitude);
}

inline void check_json_document(std::string_view doc, const run_facts& facts) {
  check(doc.ends_with("}\n") && count(doc, "\n") == 1, "JSON on one line", doc);
  const std::optional<json_value> parsed = json_reader(doc).read();
  check(parsed.has_value(), "JSON does not parse", doc);
  const json_value& top = *parsed;
  check(top.kind == json_value::type::object, "JSON top is no object", doc);
  static constexpr std::string_view KEYS[] = {
      "file",           "event_file",     "mode",    "audio_scale", "silence_threshold",
      "period_seconds", "ignore_seconds", "records", "marks"};
  check(top.members.size() == std::size(KEYS), "JSON members", doc);
  for (std::size_t i = 0; i < std::size(KEYS); ++i) {
    check(top.members[i].first == KEYS[i], "JSON member order", doc);
  }
  auto number = [&](std::string_view key) -> std::int64_t {
    const json_value* v = top.member(key);
    check(v->kind == json_value::type::number, "JSON number", doc);
    return to_int64(v->text, "JSON integer");
  };
  auto string = [&](std::string_view key) -> const std::string& {
    const json_value* v = top.member(key);
    check(v->kind == json_value::type::string, "JSON string", doc);
    return v->text;
  };
  if (is_utf8(facts.event_file_name)) {
    check(string("event_file") == facts.event_file_name, "JSON event_file", doc);
    check(string("file") == facts.mpeg_name, "JSON file", doc);
  } else {
    string("event_file");
    string("file");
  }
  const audio_range& range = facts.scan->range;
  check(string("mode") == (range.audio_scale == 1 ? "gap" : "level"), "JSON mode", doc);
  check(number("audio_scale") == range.audio_scale, "JSON audio_scale", doc);
  if (range.audio_min > range.audio_max) {
    check(top.member("silence_threshold")->kind == json_value::type::null, "JSON null threshold",
          doc);
  } else {
    check(number("silence_threshold") == range.silence_threshold, "JSON threshold", doc);
  }
  check(number("period_seconds") == facts.settings.period_seconds, "JSON period", doc);
  check(number("ignore_seconds") == facts.settings.ignore_seconds, "JSON ignore", doc);
  check(number("records") == static_cast<std::int64_t>(facts.scan->records), "JSON records", doc);

  const json_value* marks = top.member("marks");
  check(marks->kind == json_value::type::array, "JSON marks array", doc);
  check(marks->items.size() == facts.marks->size(), "JSON mark count", doc);
  for (std::size_t i = 0; i < marks->items.size(); ++i) {
    const json_value& m = marks->items[i];
    const cut_mark& want = (*facts.marks)[i];
    check(m.kind == json_value::type::object && m.members.size() == 5, "JSON mark object", doc);
    const json_value* kind = m.member("kind");
    const json_value* ns = m.member("ns");
    const json_value* time = m.member("time");
    const json_value* start = m.member("start_ns");
    const json_value* end = m.member("end_ns");
    check(kind && ns && time && start && end, "JSON mark members", doc);
    check(kind->kind == json_value::type::string && kind->text == std::string(1, want.kind),
          "JSON mark kind", doc);
    check(ns->kind == json_value::type::number && to_int64(ns->text, "ns") == want.ns,
          "JSON mark ns", doc);
    check(time->kind == json_value::type::string && time->text == time_text(want.ns),
          "JSON mark time", doc);
    check(start->kind == json_value::type::number &&
              to_int64(start->text, "start_ns") == want.start_ns,
          "JSON mark start", doc);
    check(end->kind == json_value::type::number && to_int64(end->text, "end_ns") == want.end_ns,
          "JSON mark end", doc);
  }
}

// Reads the picture back while it is checked.
class svg_reader {
 public:
  explicit svg_reader(const run_facts& facts) : facts_(facts) {}

  void start(std::string_view name, const xml_attributes& attributes, std::size_t depth) {
    if (depth == 0) {
      check(name == "svg", "SVG root", name);
      check(value(attributes, "width") == "1600" && value(attributes, "height") == "500",
            "SVG size");
    }
    pending_text_ = none;
    if (depth == 1 && name == "title") pending_text_ = document_title;
    if (name == "text" && value(attributes, "class") == "title") pending_text_ = heading;
    if (in_group_ && name == "title") pending_text_ = group_title;
    if (in_group_ && name == "line") line_x(value(attributes, "x1"));
    if (name != "g") return;
    const std::optional<std::string_view> css = value(attributes, "class");
    if (!css || !css->starts_with("mark")) return;
    open_group(*css, attributes, depth);
  }

  void text(std::string_view raw, std::size_t) {
    const text_kind kind = pending_text_;
    pending_text_ = none;
    if (kind == none) return;
    const std::string decoded = decode_xml(raw);
    const bool plain = is_plain_xml_text(facts_.event_file_name);
    if (kind == document_title) {
      check(decoded.starts_with("cutspot: "), "SVG title", decoded);
      if (plain) {
        check(decoded.substr(9) == facts_.event_file_name, "SVG title name", decoded);
      }
      ++titles_;
    } else if (kind == heading) {
      if (plain) check(decoded == facts_.event_file_name, "SVG heading name", decoded);
      ++titles_;
    } else {
      check(decoded == expected_title_, "SVG mark title", decoded);
      group_titled_ = true;
    }
  }

  void end(std::string_view name) {
    if (name == "title" || name == "text") {
      // An empty title or heading has no text at all.
      if (pending_text_ == heading && facts_.event_file_name.empty()) ++titles_;
      pending_text_ = none;
    }
    if (name == "g" && in_group_ && --group_depth_ == 0) {
      check(group_titled_ && group_line_, "SVG mark group without title or line");
      in_group_ = false;
    }
    if (name == "g" && in_group_) return;
  }

  void finish() const {
    check(next_mark_ == facts_.marks->size(), "SVG mark groups do not hold every mark");
    check(titles_ == 2, "SVG title and heading");
  }

 private:
  enum text_kind { none, document_title, heading, group_title };

  static std::optional<std::string_view> value(const xml_attributes& attributes,
                                               std::string_view name) {
    for (const auto& [key, v] : attributes) {
      if (key == name) return v;
    }
    return std::nullopt;
  }

  void open_group(std::string_view css, const xml_attributes& attributes, std::size_t) {
    check(!in_group_, "SVG mark group in a mark group");
    const std::vector<cut_mark>& marks = *facts_.marks;
    const std::optional<std::string_view> kind = value(attributes, "data-kind");
    const std::optional<std::string_view> ns = value(attributes, "data-ns");
    const std::optional<std::string_view> n = value(attributes, "data-count");
    const std::optional<std::string_view> last = value(attributes, "data-last-ns");
    check(kind && ns && (kind == "A" || kind == "D"), "SVG mark group attributes", css);
    check(css == "mark " + std::string(*kind), "SVG mark class", css);
    check(n.has_value() == last.has_value(), "SVG data-count without data-last-ns");
    const std::int64_t count = n ? to_int64(*n, "SVG data-count") : 1;
    check(count >= (n ? 2 : 1), "SVG data-count", *n);
    check(next_mark_ + static_cast<std::uint64_t>(count) <= marks.size(),
          "SVG mark groups hold more marks than the cut list");
    const cut_mark& first = marks[next_mark_];
    const cut_mark& final = marks[next_mark_ + static_cast<std::size_t>(count) - 1];
    const std::int64_t first_ns = to_int64(*ns, "SVG data-ns");
    check(first_ns == first.ns, "SVG data-ns is not the group's first mark", *ns);
    check(!have_previous_ || first_ns > previous_ns_, "SVG mark groups out of order", *ns);
    if (last) check(to_int64(*last, "SVG data-last-ns") == final.ns, "SVG data-last-ns", *last);
    bool any_d = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      any_d = any_d || marks[next_mark_ + i].kind == 'D';
    }
    check(*kind == (any_d ? "D" : "A"), "SVG group kind", *kind);
    if (count == 1) {
      expected_title_ = std::string(1, first.kind) + ' ' + time_text(first.ns);
    } else {
      expected_title_ = std::to_string(count) + " marks from " + first.kind + ' ' +
                        time_text(first.ns) + " to " + final.kind + ' ' + time_text(final.ns);
    }
    next_mark_ += static_cast<std::size_t>(count);
    previous_ns_ = first_ns;
    have_previous_ = true;
    in_group_ = true;
    group_depth_ = 1;
    group_titled_ = false;
    group_line_ = false;
    ++groups_;
  }

  // Marks of one pixel column share a group, so neighbouring groups lie in different
  // columns, unless the number of groups reached its bound and the last took the rest.
  void line_x(std::optional<std::string_view> x) {
    check(x.has_value() && !group_line_, "SVG mark line");
    group_line_ = true;
    const std::string text(*x);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    check(end != text.c_str() && *end == '\0', "SVG mark x", text);
    const auto column = static_cast<long long>(value);
    check(groups_ == 1 || column != previous_column_ || groups_ > MAX_GROUPS,
          "SVG neighbouring mark groups in one column", text);
    previous_column_ = column;
  }

  static constexpr std::size_t MAX_GROUPS = 3000;

  const run_facts& facts_;
  std::size_t next_mark_ = 0;
  std::size_t groups_ = 0;
  std::int64_t previous_ns_ = 0;
  bool have_previous_ = false;
  long long previous_column_ = 0;
  bool in_group_ = false;
  int group_depth_ = 0;
  bool group_titled_ = false;
  bool group_line_ = false;
  text_kind pending_text_ = none;
  std::string expected_title_;
  int titles_ = 0;
};

inline void check_svg_document(std::string_view doc, const run_facts& facts) {
  svg_reader reader(facts);
  if (const std::optional<std::string> problem = check_xml(doc, reader)) {
    fail(("SVG is not well-formed: " + *problem).c_str(), doc);
  }
  reader.finish();
}

// One [CHAPTER] block.
struct chapter {
  std::int64_t start_ms;
  std::int64_t end_ms;
  std::string_view title;
};

inline std::int64_t chapter_number(std::string_view line, std::string_view key,
                                   std::string_view doc) {
  check(line.starts_with(key) && line.ends_with("\n"), "chapter line", doc);
  return to_int64(line.substr(key.size(), line.size() - key.size() - 1), "chapter number");
}

inline void check_chapters_document(std::string_view doc, const run_facts& facts) {
  std::string_view rest = doc;
  check(take_line(&rest) == ";FFMETADATA1\n", "chapters header", doc);
  std::vector<chapter> chapters;
  while (!rest.empty()) {
    check(take_line(&rest) == "[CHAPTER]\n", "chapter block", doc);
    check(take_line(&rest) == "TIMEBASE=1/1000\n", "chapter time base", doc);
    chapter c;
    c.start_ms = chapter_number(take_line(&rest), "START=", doc);
    c.end_ms = chapter_number(take_line(&rest), "END=", doc);
    std::string_view title = take_line(&rest);
    check(title.starts_with("title=") && title.ends_with("\n"), "chapter title", doc);
    c.title = title.substr(6, title.size() - 7);
    chapters.push_back(c);
  }
  const std::vector<cut_mark>& marks = *facts.marks;
  if (marks.empty()) {
    check(chapters.empty(), "chapters without marks", doc);
    return;
  }
  check(!chapters.empty() && chapters[0].start_ms == 0, "first chapter at 0", doc);
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    const chapter& c = chapters[i];
    if (i + 1 < chapters.size()) {
      check(c.start_ms < c.end_ms, "chapter START < END", doc);
      check(c.end_ms == chapters[i + 1].start_ms, "chapter ends where the next begins", doc);
    } else {
      check(c.start_ms <= c.end_ms, "last chapter END before START", doc);
      check(c.end_ms == std::max(ms_of(facts.scan->last_ns), c.start_ms), "last chapter END", doc);
    }
  }
  // Each mark opens the chapter of its millisecond, unless the mark before it was in the
  // same one; the opening chapter is "Start" unless a mark lies in millisecond 0.
  std::size_t next = ms_of(marks[0].ns) == 0 ? 0 : 1;
  if (next == 1) check(chapters[0].title == "Start", "opening chapter title", doc);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const std::int64_t ms = ms_of(marks[i].ns);
    if (i > 0 && ms == ms_of(marks[i - 1].ns)) continue;
    check(next < chapters.size(), "a mark without its chapter", doc);
    const std::string title = std::string(1, marks[i].kind) + ' ' + time_text(marks[i].ns);
    check(chapters[next].start_ms == ms && chapters[next].title == title, "chapter of a mark", doc);
    ++next;
  }
  check(next == chapters.size(), "a chapter without its mark", doc);
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_DOCUMENT_CHECKS_H_
