// The self-updating progress line on a terminal: how far, how fast, how long to go.
#ifndef CUTSPOT_PROBE_PROGRESS_H_
#define CUTSPOT_PROBE_PROGRESS_H_

#include <string>

namespace cutspot::probe {

inline constexpr double PROGRESS_INTERVAL_S = 0.25;

// "\r 42% 97.3x real time, 0:12 left" padded to erase a longer line before it.
// total_s <= 0 (unknown length) gives the time done instead of percent and time left.
std::string progress_line(double done_s, double total_s, double wall_s);

// Erases the line again.
std::string progress_clear();

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_PROGRESS_H_
