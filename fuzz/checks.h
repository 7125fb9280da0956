// Structural checks shared by the fuzz targets: clean UTF-8, JSON that parses (its
// members given back for comparing), and the times the documents print.
// Exact bytes are for tests/. A failed check aborts: libFuzzer keeps the input.
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

namespace fuzzing {

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
  for (std::size_t i = 0, n = 1; i < text.size(); i += n) {
    const auto lead = static_cast<unsigned char>(text[i]);
    n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::uint32_t code = n == 1 ? lead : lead & (0x7Fu >> n);
    if ((n > 1 && (lead < 0xC0 || lead > 0xF4)) || text.size() - i < n) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if (code < SMALLEST[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        (code < 0x20 && code != '\n' && !(tabs && code == '\t')) || code == 0x7F ||
        (code >= 0x80 && code <= 0x9F && !c1)) {
      return false;
    }
  }
  return true;
}

// A decimal integer, optionally negative.
inline bool is_integer(std::string_view text) {
  text.remove_prefix(text.starts_with('-'));
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

// The same in seconds with three decimals, "-1.250", as the edit decision list has it.
inline std::string seconds_text(std::int64_t ns) {
  const std::int64_t ms = ns / 1000000, m = ms < 0 ? -ms : ms;
  char text[40];
  std::snprintf(text, sizeof text, "%s%" PRId64 ".%03" PRId64, ms < 0 ? "-" : "", m / 1000,
                m % 1000);
  return text;
}

// The members of a JSON document whose values are no object or array, in document order:
// the name, and the value as written (a string without its quotes); an array's elements
// under the array's name.
using json_members = std::vector<std::pair<std::string_view, std::string_view>>;

// Strict JSON (RFC 8259): a value from t[*i], nested at most 32 deep.
inline bool is_json_value(std::string_view t, std::size_t* i, json_members* out,
                          std::string_view name = {}, int depth = 0) {
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
  auto string = [&](std::string_view* text) {
    if (!eat('"')) return false;
    for (const std::size_t from = *i; *i < t.size();) {
      const char c = t[(*i)++];
      if (c == '"') return *text = t.substr(from, *i - from - 1), true;
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
    return list('}', [&] {
      std::string_view member;
      return string(&member) && eat(':') && is_json_value(t, i, out, member, depth + 1);
    });
  }
  if (eat('[')) return list(']', [&] { return is_json_value(t, i, out, name, depth + 1); });
  std::string_view value;
  const std::size_t from = *i;
  const std::string_view rest = t.substr(from);
  if (at("\"")) {
    if (!string(&value)) return false;
  } else if (rest.starts_with("true") || rest.starts_with("false") || rest.starts_with("null")) {
    *i += rest[0] == 'f' ? 5 : 4;
    value = t.substr(from, *i - from);
  } else {
    if (at("-")) ++*i;
    const bool zero = at("0");
    const std::size_t whole = digits();
    if (whole == 0 || (zero && whole > 1) || (at(".") && (++*i, digits() == 0))) return false;
    if (at("eE")) {
      ++*i;
      if (at("+-")) ++*i;
      if (digits() == 0) return false;
    }
    value = t.substr(from, *i - from);
  }
  if (!name.empty()) out->emplace_back(name, value);
  return true;
}

inline bool is_json(std::string_view text, json_members* members) {
  std::size_t i = 0;
  return is_json_value(text, &i, members) && text.find_first_not_of(" \t\n\r", i) == text.npos;
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

}  // namespace fuzzing

#endif  // CUTSPOT_FUZZ_CHECKS_H_
