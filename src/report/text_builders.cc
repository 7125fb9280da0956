#include "report/text_builders.h"

#include <algorithm>

namespace cutspot {
namespace {

// Each bar is a window of the table's width, sliding from all spaces to all marks.
constexpr char VIDEO_BARS[] = "#########         ";
constexpr char AUDIO_BARS[] =
    "================================================="
    "                                                 ";
static_assert(sizeof VIDEO_BARS == 2 * VIDEO_BAR_WIDTH + 1);
static_assert(sizeof AUDIO_BARS == 2 * AUDIO_BAR_WIDTH + 1);

std::string_view bar(const char* table, std::size_t width, std::uint64_t columns) {
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(columns, width));
  return {table + width - n, width};
}

}  // namespace

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
  std::int64_t ms = ns / 1000000;
  std::size_t len = 0;
  if (ms < 0) out[len++] = '-';
  // |ms| is at most 2^63 / 10^6, so negating it cannot overflow.
  std::uint64_t abs_ms = static_cast<std::uint64_t>(ms < 0 ? -ms : ms);
  len += write_decimal(out + len, abs_ms / 60000, 3);
  out[len++] = ':';
  len += write_decimal(out + len, abs_ms / 1000 % 60, 2);
  out[len++] = '.';
  len += write_decimal(out + len, abs_ms % 1000, 3);
  return len;
}

std::string_view video_bar(std::uint32_t level) {
  return bar(VIDEO_BARS, VIDEO_BAR_WIDTH, (std::uint64_t{level} + 7) / 8);
}

// Rounded up in 64 bits: the very loudest levels must not wrap round to an empty bar.
std::string_view audio_bar(std::uint32_t level) {
  return bar(AUDIO_BARS, AUDIO_BAR_WIDTH, (std::uint64_t{level} + 199) / 200);
}

}  // namespace cutspot
