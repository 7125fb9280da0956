// UTF-8 as the checks need it, written independently of the program's own escaping so
// that a fault there cannot hide itself: the length of one well-formed character, and
// the code point it encodes.
#ifndef CUTSPOT_FUZZ_UTF8_CHECK_H_
#define CUTSPOT_FUZZ_UTF8_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cutspot::fuzzing {

// Decodes the character at the front of text into *code and returns its length, or 0
// when the bytes there are not well-formed UTF-8 (overlong, surrogate, past U+10FFFF,
// truncated).
inline std::size_t utf8_decode(std::string_view text, std::uint32_t* code) {
  if (text.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(text[0]);
  std::size_t n = 0;
  std::uint32_t c = 0;
  std::uint32_t min = 0;
  if (b0 < 0x80) {
    *code = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    n = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return n;
}

inline std::size_t utf8_length(std::string_view text) {
  std::uint32_t code = 0;
  return utf8_decode(text, &code);
}

inline bool is_utf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = utf8_length(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

// C0 (but the line feed, which ends every line), DEL and C1.
inline bool is_control_code(std::uint32_t code) {
  return (code < 0x20 && code != '\n') || (code >= 0x7F && code <= 0x9F);
}

// Well-formed UTF-8 without a control character but line feeds.
inline bool is_clean_text(std::string_view text) {
  while (!text.empty()) {
    std::uint32_t code = 0;
    const std::size_t n = utf8_decode(text, &code);
    if (n == 0 || is_control_code(code)) return false;
    text.remove_prefix(n);
  }
  return true;
}

inline void append_utf8(std::string* out, std::uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_UTF8_CHECK_H_
