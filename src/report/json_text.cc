#include "report/json_text.h"

namespace cutspot {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

}  // namespace

std::ptrdiff_t utf8_step(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  // The lead byte fixes the length and the range of the second byte; the range excludes
  // overlong forms (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;  // A continuation byte, C0, C1 or F5 to FF can begin nothing.
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= bytes.size() || byte(i) < low || byte(i) > high) {
      return -static_cast<std::ptrdiff_t>(i);
    }
    low = 0x80;
    high = 0xBF;
  }
  return static_cast<std::ptrdiff_t>(length);
}

void append_json_string(std::string_view bytes, output_buffer* out) {
  out->append('"');
  while (!bytes.empty()) {
    // The longest piece one step writes is an escape of six bytes.
    char* p = out->reserve(6);
    std::size_t n = 0;
    const std::ptrdiff_t step = utf8_step(bytes);
    const unsigned char c = static_cast<unsigned char>(bytes[0]);
    if (step < 0) {
      for (char e : std::string_view("\\ufffd")) p[n++] = e;
    } else if (c == '"' || c == '\\') {
      p[n++] = '\\';
      p[n++] = static_cast<char>(c);
    } else if (c < 0x20) {
      p[n++] = '\\';
      // The five with a letter of their own; the rest as \u00XX.
      constexpr std::string_view SHORT = "\b\f\n\r\t";
      constexpr std::string_view LETTERS = "bfnrt";
      if (std::size_t k = SHORT.find(static_cast<char>(c)); k != std::string_view::npos) {
        p[n++] = LETTERS[k];
      } else {
        for (char e : std::string_view("u00")) p[n++] = e;
        p[n++] = HEX_DIGITS[c >> 4];
        p[n++] = HEX_DIGITS[c & 0xF];
      }
    } else {
      for (std::ptrdiff_t i = 0; i < step; ++i) p[n++] = bytes[static_cast<std::size_t>(i)];
    }
    out->commit(n);
    bytes.remove_prefix(static_cast<std::size_t>(step < 0 ? -step : step));
  }
  out->append('"');
}

}  // namespace cutspot
