// From a window's mean square to the raw audio value of an event file.
//
// The scale is logarithmic between a floor and a ceiling: AUDIO_FLOOR_DB and below give
// 0, AUDIO_CEILING_DB and above give AUDIO_VALUE_MAX, and every dB between takes 100.
// At most AUDIO_VALUE_MAX keeps cutspot in level mode (it switches to gap mode above
// 5000, which merges every break of a continuous recording into one mark).
//
// cutspot puts its silence threshold a tenth of the way from the quietest value of the
// recording to the loudest, so the scale decides where silence ends:
//   - A digital recording's breaks are digital silence, 0: the threshold lies 5 dB above
//     the floor, at -75 dBFS, below any room tone or music bed.
//   - An analog recording never gets below its hiss, which is then the quietest value:
//     the threshold lies a tenth of the way from the hiss to the ceiling, 2.5 dB above
//     hiss at -55 dBFS. Pauses in speech carry room tone on top of the hiss.
//   - Speech, music and spots all reach the ceiling, so the loudest value is the same for
//     every recording, and a burst of full-scale noise from a damaged packet cannot move
//     the threshold at all.
// Measured with bench/probe-run on the trap recordings (bench/trap-recordings.sh).
#ifndef CUTSPOT_PROBE_AUDIO_SCALE_H_
#define CUTSPOT_PROBE_AUDIO_SCALE_H_

#include <cstdint>

namespace cutspot::probe {

inline constexpr std::uint32_t AUDIO_VALUE_MAX = 5000;
inline constexpr double AUDIO_FLOOR_DB = -80.0;
inline constexpr double AUDIO_CEILING_DB = -30.0;

// mean_square of samples in -1..1; NaN and values of 0 and below count as silence.
std::uint32_t audio_value(double mean_square);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_AUDIO_SCALE_H_
