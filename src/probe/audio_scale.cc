#include "probe/audio_scale.h"

#include <cmath>

namespace cutspot::probe {

std::uint32_t audio_value(double mean_square) {
  if (!(mean_square > 0)) return 0;
  double db = 10.0 * std::log10(mean_square);
  double v =
      std::round((db - AUDIO_FLOOR_DB) * AUDIO_VALUE_MAX / (AUDIO_CEILING_DB - AUDIO_FLOOR_DB));
  if (v <= 0) return 0;
  return v >= AUDIO_VALUE_MAX ? AUDIO_VALUE_MAX : static_cast<std::uint32_t>(v);
}

}  // namespace cutspot::probe
