#include "report/escape.h"

namespace cutspot {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

std::size_t step_length(std::ptrdiff_t step) {
  return static_cast<std::size_t>(step < 0 ? -step : step);
}

// True for a control character of Unicode's C0 or C1 set, or DEL, at the front of a
// well-formed character of `length` bytes.
bool is_control(std::string_view bytes, std::size_t length) {
  const auto c = static_cast<unsigned char>(bytes[0]);
  const auto second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
  return c < 0x20 || c == 0x7F || (c == 0xC2 && second < 0xA0);
}

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

void write_json_string(text_writer& w, std::string_view bytes) {
  w << '"';
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const auto c = static_cast<unsigned char>(bytes[0]);
    if (step < 0) {
      w << "\\ufffd";
    } else if (c == '"' || c == '\\') {
      w << '\\' << static_cast<char>(c);
    } else if (c < 0x20) {
      // The five with a letter of their own; the rest as \u00XX.
      constexpr std::string_view SHORT = "\b\f\n\r\t";
      constexpr std::string_view LETTERS = "bfnrt";
      if (std::size_t k = SHORT.find(static_cast<char>(c)); k != std::string_view::npos) {
        w << '\\' << LETTERS[k];
      } else {
        w << "\\u00" << HEX_DIGITS[c >> 4] << HEX_DIGITS[c & 0xF];
      }
    } else {
      w << bytes.substr(0, step_length(step));
    }
    bytes.remove_prefix(step_length(step));
  }
  w << '"';
}

void write_xml_text(text_writer& w, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const std::size_t length = step_length(step);
    const auto c = static_cast<unsigned char>(bytes[0]);
    const auto second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    const auto third = length > 2 ? static_cast<unsigned char>(bytes[2]) : 0;
    if (step < 0 || is_control(bytes, length) ||
        (c == 0xEF && second == 0xBF && third >= 0xBE)) {  // U+FFFE, U+FFFF
      w << "\xEF\xBF\xBD";
    } else if (c == '&') {
      w << "&amp;";
    } else if (c == '<') {
      w << "&lt;";
    } else if (c == '>') {
      w << "&gt;";
    } else if (c == '"') {
      w << "&quot;";
    } else if (c == '\'') {
      w << "&#39;";
    } else {
      w << bytes.substr(0, length);
    }
    bytes.remove_prefix(length);
  }
}

std::string quote_name(std::string_view bytes) {
  std::string quoted = "'";
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const std::size_t length = step_length(step);
    if (step < 0 || is_control(bytes, length)) {
      for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        quoted += "\\x";
        quoted += HEX_DIGITS[c >> 4];
        quoted += HEX_DIGITS[c & 0xF];
      }
    } else {
      if (bytes[0] == '\\' || bytes[0] == '\'') quoted += '\\';
      quoted.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  quoted += '\'';
  return quoted;
}

}  // namespace cutspot
