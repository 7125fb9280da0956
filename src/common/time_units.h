// Units of time. Every time in an event file and in the program is a signed 64-bit count
// of nanoseconds; these are the one place where seconds and milliseconds are defined.
#ifndef CUTSPOT_COMMON_TIME_UNITS_H_
#define CUTSPOT_COMMON_TIME_UNITS_H_

#include <cstdint>

namespace cutspot {

inline constexpr std::int64_t NS_PER_MS = 1000000;
inline constexpr std::int64_t NS_PER_SECOND = 1000000000;
inline constexpr std::int64_t MS_PER_SECOND = 1000;
inline constexpr std::int64_t MS_PER_MINUTE = 60 * MS_PER_SECOND;

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_TIME_UNITS_H_
