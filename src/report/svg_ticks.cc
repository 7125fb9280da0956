#include "report/svg_ticks.h"

#include <iterator>

#include "common/time_units.h"

namespace cutspot {

std::uint64_t svg_tick_step(std::uint64_t span_ns) {
  constexpr std::uint64_t S = NS_PER_SECOND;
  constexpr std::uint64_t DAY = 86400 * S;
  // Round steps of clock time; past a day, 1-2-5 multiples of days, up to more than
  // any span of 64-bit time stamps needs.
  constexpr std::uint64_t STEPS[] = {
      S,          2 * S,       5 * S,       10 * S,      15 * S,      30 * S,     60 * S,
      120 * S,    300 * S,     600 * S,     900 * S,     1800 * S,    3600 * S,   7200 * S,
      10800 * S,  21600 * S,   43200 * S,   DAY,         2 * DAY,     5 * DAY,    10 * DAY,
      20 * DAY,   50 * DAY,    100 * DAY,   200 * DAY,   500 * DAY,   1000 * DAY, 2000 * DAY,
      5000 * DAY, 10000 * DAY, 20000 * DAY, 50000 * DAY, 100000 * DAY};
  const std::uint64_t needed = span_ns / MAX_TICK_STEPS + (span_ns % MAX_TICK_STEPS != 0 ? 1 : 0);
  for (std::uint64_t step : STEPS) {
    if (step >= needed) return step;
  }
  return STEPS[std::size(STEPS) - 1];
}

axis_ticks svg_ticks(const level_envelope& levels) {
  const std::uint64_t span = levels.last_key() - levels.first_key();
  const std::uint64_t step = svg_tick_step(span);
  // Multiples of the step, found in keys, which step as times do; at most 13, as the
  // span is at most 12 steps.
  const std::int64_t start = key_time(levels.first_key());
  const std::uint64_t start_to_tick = start >= 0
                                          ? (step - static_cast<std::uint64_t>(start) % step) % step
                                          : (0 - static_cast<std::uint64_t>(start)) % step;
  axis_ticks ticks;
  for (std::uint64_t from_start = start_to_tick;
       from_start <= span && ticks.count < ticks.ns.size(); from_start += step) {
    ticks.ns[ticks.count++] = key_time(levels.first_key() + from_start);
    if (span - from_start < step) break;
  }
  return ticks;
}

}  // namespace cutspot
