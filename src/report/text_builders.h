// The small texts both printing passes share: the time stamp "MMM:SS.mmm" and the two
// bars that draw the video level (9 columns of '#') and the audio level (49 columns
// of '=') in the graph.
#ifndef CUTSPOT_REPORT_TEXT_BUILDERS_H_
#define CUTSPOT_REPORT_TEXT_BUILDERS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "common/time_units.h"

namespace cutspot {

// Room for the longest time stamp: "-153722867:16.854" is 17 characters.
inline constexpr std::size_t TIME_TEXT_MAX = 24;
inline constexpr std::size_t VIDEO_BAR_WIDTH = 9;
inline constexpr std::size_t AUDIO_BAR_WIDTH = 49;

// Room for any 64-bit number in decimal, sign included.
inline constexpr std::size_t DECIMAL_MAX = 20;

// Writes value in decimal, zero-padded to at least min_digits (at most DECIMAL_MAX), and
// returns the length.
std::size_t write_decimal(char* out, std::uint64_t value, std::size_t min_digits = 1);

// Writes the time stamp of ns into out, which has room for TIME_TEXT_MAX bytes, and
// returns its length. Whole milliseconds, truncated toward zero: minutes with at least
// three digits, then ":SS.mmm"; a negative time gets a leading "-".
std::size_t write_time(char* out, std::int64_t ns);

struct time_text {
  char text[TIME_TEXT_MAX];
  std::size_t length;
  std::string_view view() const { return {text, length}; }
};

inline time_text format_time(std::int64_t ns) {
  time_text t;
  t.length = write_time(t.text, ns);
  return t;
}

// "00" to "99", for writing two digits at once.
inline constexpr std::array<char, 200> DIGIT_PAIRS = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The time stamps of a run of times, as write_time writes them. Times that grow within
// the same minute, as those of a file's records do, are written by carrying the
// difference into the previous stamp's seconds and milliseconds, instead of dividing
// every time out afresh; any other time is written afresh.
class time_stamper {
 public:
  // Writes the stamp of ns into out, which has room for TIME_TEXT_MAX bytes, and returns
  // its length.
  std::size_t write(char* out, std::int64_t ns) {
    const std::int64_t ms = ns / NS_PER_MS;
    if (ms != ms_) advance(ms);
    // The stamp as last written afresh, copied whole at its fixed size; then, for a time
    // of 0 or more, the "SS.mmm" that ends it, as of now.
    std::memcpy(out, text_.text, TIME_TEXT_MAX);
    if (ms_ >= 0) {
      char* p = out + text_.length - 6;
      std::memcpy(p, &DIGIT_PAIRS[2 * seconds_], 2);
      const std::uint32_t hundreds = milliseconds_ / 100;
      p[3] = static_cast<char>('0' + hundreds);
      std::memcpy(p + 4, &DIGIT_PAIRS[2 * (milliseconds_ - 100 * hundreds)], 2);
    }
    return text_.length;
  }

 private:
  void advance(std::int64_t ms) {
    if (ms_ < 0 || ms < ms_ || ms - ms_ >= MS_PER_MINUTE) return restart(ms);
    milliseconds_ += static_cast<std::uint32_t>(ms - ms_);
    ms_ = ms;
    if (milliseconds_ >= MS_PER_SECOND) {  // Once a second, at the usual pace of records.
      seconds_ += milliseconds_ / MS_PER_SECOND;
      milliseconds_ %= MS_PER_SECOND;
      if (seconds_ >= 60) restart(ms);  // A new minute.
    }
  }
  void restart(std::int64_t ms) {
    ms_ = ms;
    text_ = format_time(ms * NS_PER_MS);
    if (ms >= 0) {
      seconds_ = static_cast<std::uint32_t>(ms / MS_PER_SECOND % 60);
      milliseconds_ = static_cast<std::uint32_t>(ms % MS_PER_SECOND);
    }
  }

  // The time of the stamp in whole milliseconds; before the first, one no time has.
  std::int64_t ms_ = std::numeric_limits<std::int64_t>::min();
  std::uint32_t seconds_ = 0;  // Its seconds and milliseconds, when ms_ is 0 or more.
  std::uint32_t milliseconds_ = 0;
  time_text text_ = {};  // Written afresh at the last restart.
};

namespace detail {

// Each bar is a window of the table's width, sliding from all spaces to all marks.
inline constexpr char VIDEO_BARS[] = "#########         ";
inline constexpr char AUDIO_BARS[] =
    "================================================="
    "                                                 ";
static_assert(sizeof VIDEO_BARS == 2 * VIDEO_BAR_WIDTH + 1);
static_assert(sizeof AUDIO_BARS == 2 * AUDIO_BAR_WIDTH + 1);

inline std::string_view bar(const char* table, std::size_t width, std::uint64_t columns) {
  const std::size_t n = static_cast<std::size_t>(columns < width ? columns : width);
  return {table + width - n, width};
}

}  // namespace detail

// One '#' per 8 levels, rounded up, clipped at the width: 65 and above show full.
// Inline, as both bars: the graph draws two per line.
inline std::string_view video_bar(std::uint32_t level) {
  return detail::bar(detail::VIDEO_BARS, VIDEO_BAR_WIDTH, (std::uint64_t{level} + 7) / 8);
}

// One '=' per 200 levels, rounded up, clipped at the width: 9601 and above show full.
// Rounded up in 64 bits: the very loudest levels must not wrap round to an empty bar.
inline std::string_view audio_bar(std::uint32_t level) {
  return detail::bar(detail::AUDIO_BARS, AUDIO_BAR_WIDTH, (std::uint64_t{level} + 199) / 200);
}

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_TEXT_BUILDERS_H_
