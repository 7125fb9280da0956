#include "report/escape.h"

namespace cutspot {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

}  // namespace

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
      w << bytes.substr(0, utf8_step_length(step));
    }
    bytes.remove_prefix(utf8_step_length(step));
  }
  w << '"';
}

void write_xml_text(text_writer& w, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const std::size_t length = utf8_step_length(step);
    const auto c = static_cast<unsigned char>(bytes[0]);
    const auto second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    const auto third = length > 2 ? static_cast<unsigned char>(bytes[2]) : 0;
    if (step < 0 || is_control_character(bytes, length) ||
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

}  // namespace cutspot
