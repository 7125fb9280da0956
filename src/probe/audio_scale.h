// From a window's mean square to the raw audio value of an event file.
//
// The scale is logarithmic: 0 dBFS gives AUDIO_VALUE_MAX and every dB below it takes
// AUDIO_VALUE_MAX / -AUDIO_FLOOR_DB off, down to 0 at AUDIO_FLOOR_DB and below. cutspot
// puts its silence threshold a tenth of the way from the quietest to the loudest value;
// on this scale that is about -55 dBFS for any programme level, so codec noise in a
// silence stays quiet and a quiet scene stays loud, and one full-scale burst from a
// damaged packet moves the threshold by less than 1 dB. On a linear scale the same
// threshold sits 20 dB below the loudest window, so a burst raises it by the burst's
// whole excess over the programme (measurements in the manual page).
// AUDIO_VALUE_MAX keeps cutspot in level mode (it switches modes above 5000).
#ifndef CUTSPOT_PROBE_AUDIO_SCALE_H_
#define CUTSPOT_PROBE_AUDIO_SCALE_H_

#include <cstdint>

namespace cutspot::probe {

inline constexpr std::uint32_t AUDIO_VALUE_MAX = 5000;
inline constexpr double AUDIO_FLOOR_DB = -60.0;

// mean_square of samples in -1..1; values above 1 count as 1, NaN and below 0 as silence.
std::uint32_t audio_value(double mean_square);

// The linear alternative (RMS times AUDIO_VALUE_MAX), kept for the comparison in bench/.
std::uint32_t linear_audio_value(double mean_square);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_AUDIO_SCALE_H_
