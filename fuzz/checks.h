// Checks shared by the fuzz targets: clean UTF-8, and the times the documents print.
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

#include "common/time_units.h"

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
  const std::int64_t ms = ns / cutspot::NS_PER_MS, m = ms < 0 ? -ms : ms;
  char text[40];
  std::snprintf(text, sizeof text, "%s%03" PRId64 ":%02" PRId64 ".%03" PRId64, ms < 0 ? "-" : "",
                m / 60000, m / 1000 % 60, m % 1000);
  return text;
}

// The same in seconds with three decimals, "-1.250", as the edit decision list has it.
inline std::string seconds_text(std::int64_t ns) {
  const std::int64_t ms = ns / cutspot::NS_PER_MS, m = ms < 0 ? -ms : ms;
  char text[40];
  std::snprintf(text, sizeof text, "%s%" PRId64 ".%03" PRId64, ms < 0 ? "-" : "", m / 1000,
                m % 1000);
  return text;
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
