// Small shared pieces of the broadcast generator's picture and sound: a sine by table
// (textures and tones need millions of them, exactness none) and the shape of a fade.
#ifndef CUTSPOT_TOOLS_BROADCAST_WAVE_H_
#define CUTSPOT_TOOLS_BROADCAST_WAVE_H_

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "broadcast_layout.h"

namespace broadcast {

inline constexpr int SINE_STEPS = 4096;

inline const std::array<float, SINE_STEPS>& sine_table() {
  static const std::array<float, SINE_STEPS> table = [] {
    std::array<float, SINE_STEPS> t{};
    for (int i = 0; i < SINE_STEPS; ++i)
      t[i] = static_cast<float>(std::sin(i * 2 * std::numbers::pi / SINE_STEPS));
    return t;
  }();
  return table;
}

// The sine of a phase in turns (1 = a full circle), any sign.
inline float table_sin(double turns) {
  const auto i = static_cast<std::int64_t>(std::floor(turns * SINE_STEPS));
  return sine_table()[static_cast<std::size_t>(i & (SINE_STEPS - 1))];
}
inline float table_cos(double turns) {
  return table_sin(turns + 0.25);
}

// How much of the picture (or sound) a fade lets through at a time in frames: falling
// to 0 over fade_out frames, 0 in the black, rising over fade_in frames.
inline double fade_gain(const trap& t, double frame) {
  const double i = frame - static_cast<double>(t.start);
  const double length = static_cast<double>(t.end - t.start);
  if (i < t.fade_out) return std::max(0.0, 1.0 - i / t.fade_out);
  if (i > length - t.fade_in) return std::min(1.0, (i - (length - t.fade_in)) / t.fade_in);
  return 0.0;
}

}  // namespace broadcast

#endif  // CUTSPOT_TOOLS_BROADCAST_WAVE_H_
