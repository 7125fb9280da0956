// The small texts both printing passes share: the time stamp "MMM:SS.mmm" and the two
// bars that draw the video level (9 columns of '#') and the audio level (49 columns
// of '=') in the graph.
#ifndef CUTSPOT_REPORT_TEXT_BUILDERS_H_
#define CUTSPOT_REPORT_TEXT_BUILDERS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// One '#' per 8 levels, rounded up, clipped at the width: 65 and above show full.
std::string_view video_bar(std::uint32_t level);

// One '=' per 200 levels, rounded up, clipped at the width: 9601 and above show full.
std::string_view audio_bar(std::uint32_t level);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_TEXT_BUILDERS_H_
