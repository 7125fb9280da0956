#include "common/utf8.h"

namespace cutspot {

bool is_control_character(std::string_view bytes, std::size_t length) {
  const auto c = static_cast<unsigned char>(bytes[0]);
  const auto second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
  return c < 0x20 || c == 0x7F || (c == 0xC2 && second < 0xA0);
}

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

}  // namespace cutspot
