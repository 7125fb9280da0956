// Text written straight into the output buffer with <<: strings, characters and integers
// in decimal, without a detour through std::string. Every document is written with it.
#ifndef CUTSPOT_REPORT_TEXT_WRITER_H_
#define CUTSPOT_REPORT_TEXT_WRITER_H_

#include <concepts>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "common/time_units.h"
#include "report/output_buffer.h"
#include "report/text_builders.h"

namespace cutspot {

class text_writer {
 public:
  explicit text_writer(output_buffer* out) : out_(out) {}

  text_writer& operator<<(std::string_view text) {
    out_->append(text);
    return *this;
  }
  text_writer& operator<<(char c) {
    out_->append(c);
    return *this;
  }
  template <std::integral T>
  requires(!std::same_as<T, char> && !std::same_as<T, bool>) text_writer& operator<<(T value) {
    char* p = out_->reserve(DECIMAL_MAX);
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    std::size_t n = 0;
    if constexpr (std::is_signed_v<T>) {
      // Negated in unsigned arithmetic, where even the most negative value has its magnitude.
      if (value < 0) {
        p[n++] = '-';
        magnitude = 0 - magnitude;
      }
    }
    out_->commit(n + write_decimal(p + n, magnitude));
    return *this;
  }

  output_buffer* buffer() const { return out_; }

 private:
  output_buffer* out_;
};

// ns as seconds with exactly three decimals, truncated toward zero like the cut list's
// times: 101000000000 gives "101.000".
inline void write_seconds(text_writer& w, std::int64_t ns) {
  const std::int64_t ms = ns / NS_PER_MS;
  if (ms < 0) w << '-';
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  w << magnitude / MS_PER_SECOND << '.';
  char* p = w.buffer()->reserve(3);
  w.buffer()->commit(write_decimal(p, magnitude % MS_PER_SECOND, 3));
}

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_TEXT_WRITER_H_
