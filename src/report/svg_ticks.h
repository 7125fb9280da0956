// The time axis of the "-svg" picture: 2 to 13 labelled ticks at a round step of
// seconds, minutes, hours or days.
#ifndef CUTSPOT_REPORT_SVG_TICKS_H_
#define CUTSPOT_REPORT_SVG_TICKS_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "report/svg_envelope.h"

namespace cutspot {

inline constexpr std::uint64_t MAX_TICK_STEPS = 12;

// The time between labelled ticks for an axis span_ns long: the shortest round step
// that needs no more than 12 steps to cross it, at least a second.
std::uint64_t svg_tick_step(std::uint64_t span_ns);

struct axis_ticks {
  std::array<std::int64_t, MAX_TICK_STEPS + 1> ns{};
  std::size_t count = 0;
};

// The multiples of the tick step within the envelope's span. The span always holds time
// 0, so there is at least one.
axis_ticks svg_ticks(const level_envelope& levels);

}  // namespace cutspot

#endif  // CUTSPOT_REPORT_SVG_TICKS_H_
