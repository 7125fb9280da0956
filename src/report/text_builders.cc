#include "report/text_builders.h"
#include "common/time_units.h"

namespace cutspot {

std::size_t write_decimal(char* out, std::uint64_t value, std::size_t min_digits) {
  char digits[DECIMAL_MAX];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < min_digits) digits[n++] = '0';
  for (std::size_t i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  return n;
}

std::size_t write_time(char* out, std::int64_t ns) {
  std::int64_t ms = ns / NS_PER_MS;
  std::size_t len = 0;
  if (ms < 0) out[len++] = '-';
  // |ms| is at most 2^63 / 10^6, so negating it cannot overflow.
  std::uint64_t abs_ms = static_cast<std::uint64_t>(ms < 0 ? -ms : ms);
  len += write_decimal(out + len, abs_ms / MS_PER_MINUTE, 3);
  out[len++] = ':';
  len += write_decimal(out + len, abs_ms / MS_PER_SECOND % 60, 2);
  out[len++] = '.';
  len += write_decimal(out + len, abs_ms % MS_PER_SECOND, 3);
  return len;
}

}  // namespace cutspot
