// From a window's mean square to the raw audio value of an event file.
//
// The scale is logarithmic: 0 dBFS gives AUDIO_VALUE_MAX and every dB below it takes
// AUDIO_VALUE_MAX / -AUDIO_FLOOR_DB off, down to 0 at AUDIO_FLOOR_DB and below. At most
// AUDIO_VALUE_MAX keeps cutspot in level mode (it switches to gap mode above 5000, which
// merges every break of a continuous recording into one mark).
//
// cutspot puts its silence threshold a tenth of the way from the quietest to the
// loudest value. On this scale that is about -54 dBFS for any programme level, and one
// full-scale burst from a damaged packet moves it by less than 1 dB. On a linear scale
// it sits 20 dB below the loudest window, so the burst lifts it above ordinary sound.
// Measured with bench/probe-run on a 10.5-minute recording with 11 breaks, a dark scene
// with faint sound (-49 dBFS) and one 120 ms full-scale burst: logarithmic, 11 marks
// on the 11 breaks and no other; linear, no break found and 2 false marks; linear
// without the burst, all 11 and a false mark on the dark scene.
#ifndef CUTSPOT_PROBE_AUDIO_SCALE_H_
#define CUTSPOT_PROBE_AUDIO_SCALE_H_

#include <cstdint>

namespace cutspot::probe {

inline constexpr std::uint32_t AUDIO_VALUE_MAX = 5000;
inline constexpr double AUDIO_FLOOR_DB = -60.0;

// mean_square of samples in -1..1; values above 1 count as 1, NaN and below 0 as silence.
std::uint32_t audio_value(double mean_square);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_AUDIO_SCALE_H_
