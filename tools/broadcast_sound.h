// The sound of a synthetic broadcast (broadcast_layout.h), frame by frame: 48 kHz
// stereo. The programme speaks in bursts with pauses over room tone (or plays a quiet
// music bed), at a level that drifts; spots are louder and steady; separators and
// boundaries are digital silence, except loud separators and an analog recorder's hiss.
#ifndef CUTSPOT_TOOLS_BROADCAST_SOUND_H_
#define CUTSPOT_TOOLS_BROADCAST_SOUND_H_

#include <cstdint>

#include "broadcast_layout.h"

namespace broadcast {

inline constexpr int SAMPLE_RATE = 48000;
inline constexpr int SAMPLES_PER_FRAME = SAMPLE_RATE / FPS;

struct sound_options {
  std::uint64_t seed = 1;
  double hiss_db = 0;  // Below 0: hiss at that level everywhere, as an analog recorder adds.
};

class sound_maker {
 public:
  sound_maker(const layout& l, const sound_options& options);
  // Writes SAMPLES_PER_FRAME stereo pairs, left first. Frames in increasing order.
  void render(std::int64_t frame, std::int16_t* out);

 private:
  struct tone {
    double phase = 0, step = 0;
    float next() {
      phase += step;
      if (phase >= 1) phase -= 1;
      return static_cast<float>(phase);
    }
  };
  float white();     // -1..1, root mean square 1/sqrt(3).
  float coloured();  // Low-passed white, root mean square about 0.13.
  void start_piece(const piece& p, std::int64_t frame);
  void start_audio_scene(std::int64_t sample);
  float programme_sample(std::int64_t sample, double room);
  float speech_sample();
  float spot_sample(std::int64_t sample);
  float bumper_sample(std::int64_t sample);

  const layout& l_;
  sound_options o_;
  layout_cursor cursor_;
  rng r_;
  std::uint64_t white_bits_ = 0;
  int white_left_ = 0;
  float lowpass_ = 0;
  std::size_t piece_ = static_cast<std::size_t>(-1);
  std::int64_t piece_start_ = 0;  // In samples.

  // The programme.
  double room_ = 0;  // Amplitude of the room tone.
  double drift_period_ = 60, drift_phase_ = 0;
  bool music_ = false;
  std::int64_t scene_end_ = 0;
  std::int64_t chord_end_ = 0;
  bool talking_ = false;
  std::int64_t burst_left_ = 0;
  std::int64_t syllable_left_ = 0, syllable_ = 1;
  double voice_amp_ = 0;
  tone voice_[6];
  tone chord_[4];
  double chord_amp_ = 0;
  double noise_amp_ = 0;
  double tempo_ = 2;
};

}  // namespace broadcast

#endif  // CUTSPOT_TOOLS_BROADCAST_SOUND_H_
