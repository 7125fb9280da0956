#include "common/quote_name.h"

#include "common/utf8.h"

namespace cutspot {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

void append_escaped(std::string& out, std::string_view bytes, bool quoted) {
  while (!bytes.empty()) {
    const std::ptrdiff_t step = utf8_step(bytes);
    const std::size_t length = utf8_step_length(step);
    if (step < 0 || is_control_character(bytes, length)) {
      for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out += "\\x";
        out += HEX_DIGITS[c >> 4];
        out += HEX_DIGITS[c & 0xF];
      }
    } else {
      if (quoted && (bytes[0] == '\\' || bytes[0] == '\'')) out += '\\';
      out.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
}

}  // namespace

std::string quote_name(std::string_view bytes) {
  std::string quoted = "'";
  append_escaped(quoted, bytes, true);
  quoted += '\'';
  return quoted;
}

std::string printable(std::string_view bytes) {
  std::string out;
  append_escaped(out, bytes, false);
  return out;
}

}  // namespace cutspot
