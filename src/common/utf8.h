// Telling well-formed UTF-8 from other bytes, for everything that prints names.
#ifndef CUTSPOT_COMMON_UTF8_H_
#define CUTSPOT_COMMON_UTF8_H_

#include <cstddef>
#include <string_view>

namespace cutspot {

// The length of the well-formed UTF-8 character at the front of the non-empty bytes, or,
// when there is none, minus the length of the ill-formed part to replace by one U+FFFD:
// the longest prefix that could still have begun a character (at least one byte), as
// Unicode recommends. Overlong forms, surrogates and code points above U+10FFFF are
// ill-formed.
std::ptrdiff_t utf8_step(std::string_view bytes);

// The bytes utf8_step's result stands for, whether well-formed or not.
inline std::size_t utf8_step_length(std::ptrdiff_t step) {
  return static_cast<std::size_t>(step < 0 ? -step : step);
}

// True for a control character of Unicode's C0 or C1 set, or DEL, at the front of a
// well-formed character of `length` bytes.
bool is_control_character(std::string_view bytes, std::size_t length);

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_UTF8_H_
