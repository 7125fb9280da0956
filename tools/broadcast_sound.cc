#include "broadcast_sound.h"

#include <algorithm>
#include <cmath>

#include "broadcast_wave.h"

namespace broadcast {

namespace {

constexpr double COLOURED_RMS = 0.132;  // Of sound_maker::coloured().
constexpr double SINE_RMS = 0.7071;

double amplitude(double db) {
  return std::pow(10.0, db / 20.0);
}

std::int64_t samples(double seconds) {
  return static_cast<std::int64_t>(seconds * SAMPLE_RATE);
}

}  // namespace

sound_maker::sound_maker(const layout& l, const sound_options& o)
    : l_(l), o_(o), cursor_(l), r_{o.seed ^ 0xa0d10ULL} {}

float sound_maker::white() {
  if (white_left_ == 0) {
    white_bits_ = r_.next();
    white_left_ = 2;
  }
  const auto half = static_cast<std::uint32_t>(white_bits_ >> (32 * --white_left_));
  return static_cast<float>(static_cast<std::int32_t>(half) * 0x1.0p-31);
}

float sound_maker::coloured() {
  lowpass_ += 0.1f * (white() - lowpass_);
  return lowpass_;
}

void sound_maker::start_piece(const piece& p, std::int64_t frame) {
  piece_ = cursor_.piece_index();
  piece_start_ = frame * SAMPLES_PER_FRAME;
  rng look{p.look};
  switch (p.kind) {
    case piece_kind::programme:
      room_ = amplitude(r_.real(-45, -40)) / COLOURED_RMS;
      drift_period_ = r_.real(40, 90);
      drift_phase_ = r_.real();
      start_audio_scene(piece_start_);
      break;
    case piece_kind::spot: {
      // Steady and loud: most of the power in a chord, the rest in noise.
      const double level = amplitude(look.real(-16, -12));
      chord_amp_ = std::sqrt(0.85 / 4) * level / SINE_RMS;
      noise_amp_ = std::sqrt(0.15) * level / COLOURED_RMS;
      tempo_ = look.real(1.5, 2.5);
      chord_end_ = piece_start_;
      break;
    }
    case piece_kind::bumper: {
      // A chime struck every second, about -20 dBFS over the whole ident.
      const double root = look.real(300, 600);
      const double ratios[] = {1.0, 1.5, 2.0};
      for (int i = 0; i < 3; ++i) chord_[i].step = root * ratios[i] / SAMPLE_RATE;
      chord_amp_ = amplitude(-20) / 0.447 / (SINE_RMS * std::sqrt(3.0));
      break;
    }
    default:
      break;
  }
}

void sound_maker::start_audio_scene(std::int64_t sample) {
  music_ = r_.chance(0.25);
  scene_end_ = sample + samples(r_.real(10, 40));
  talking_ = false;
  burst_left_ = 0;
  chord_end_ = sample;
  chord_amp_ = amplitude(r_.real(-30, -26)) / (SINE_RMS * std::sqrt(3.0));
}

float sound_maker::speech_sample() {
  if (burst_left_ <= 0) {
    talking_ = !talking_;
    if (talking_) {
      burst_left_ = samples(r_.real(0.4, 3.0));
      // sin^2 syllables keep about 0.61 of the power's root.
      voice_amp_ = amplitude(r_.real(-29, -21)) / 0.61;
      const double f0 = r_.real(100, 220);
      for (int k = 0; k < 6; ++k) voice_[k].step = f0 * (k + 1) / SAMPLE_RATE;
    } else {
      burst_left_ = samples(r_.real(0.2, 1.5));
    }
  }
  --burst_left_;
  if (!talking_) return 0;
  if (syllable_left_ <= 0) syllable_left_ = syllable_ = samples(r_.real(0.1, 0.3));
  const float e = table_sin(0.5 * static_cast<double>(syllable_left_--) / syllable_);
  float v = 0;
  for (int k = 0; k < 6; ++k) v += table_sin(voice_[k].next()) / static_cast<float>(k + 1);
  // 0.863 is the harmonics' root mean square.
  return static_cast<float>(voice_amp_ * e * e * (v / 0.863f + 0.3f * white()));
}

float sound_maker::programme_sample(std::int64_t sample, double room) {
  if (sample >= scene_end_) start_audio_scene(sample);
  float x = static_cast<float>(room) * coloured();
  if (!music_) return x + speech_sample();
  if (sample >= chord_end_) {
    chord_end_ = sample + samples(r_.real(1.5, 3));
    const double root = r_.real(150, 400);
    const double ratios[] = {1.0, 1.26, 1.5};
    for (int i = 0; i < 3; ++i) chord_[i].step = root * ratios[i] / SAMPLE_RATE;
  }
  float c = 0;
  for (int i = 0; i < 3; ++i) c += table_sin(chord_[i].next());
  return x + static_cast<float>(chord_amp_) * c;
}

float sound_maker::spot_sample(std::int64_t sample) {
  if (sample >= chord_end_) {
    chord_end_ = sample + samples(2.0 / tempo_ * 2);
    const double root = r_.real(110, 330);
    const double ratios[] = {1.0, 1.25, 1.5, 2.0};
    for (int i = 0; i < 4; ++i) chord_[i].step = root * ratios[i] / SAMPLE_RATE;
  }
  float c = 0;
  for (int i = 0; i < 4; ++i) c += table_sin(chord_[i].next());
  // A light beat: a tenth up and down, the dynamics of compressed advertising.
  const double t = static_cast<double>(sample - piece_start_) / SAMPLE_RATE;
  const float beat = 1.0f + 0.1f * table_sin(t * tempo_);
  return beat * static_cast<float>(chord_amp_ * c + noise_amp_ * coloured());
}

float sound_maker::bumper_sample(std::int64_t sample) {
  const std::int64_t i = (sample - piece_start_) % SAMPLE_RATE;
  const double e = std::exp(-static_cast<double>(i) / (0.4 * SAMPLE_RATE));
  float c = 0;
  for (int k = 0; k < 3; ++k) c += table_sin(chord_[k].next());
  return static_cast<float>(chord_amp_ * e) * c;
}

void sound_maker::render(std::int64_t frame, std::int16_t* out) {
  const piece& p = cursor_.piece_at(frame);
  const trap* t = cursor_.trap_at(frame);
  if (cursor_.piece_index() != piece_) start_piece(p, frame);
  const double seconds = static_cast<double>(frame) / FPS;
  const auto drift =
      static_cast<float>(amplitude(3.0 * table_sin(seconds / drift_period_ + drift_phase_)));
  const float hiss = o_.hiss_db < 0 ? static_cast<float>(amplitude(o_.hiss_db) * 1.732) : 0;
  const float quiet = t && (t->kind == trap_kind::fade || t->kind == trap_kind::quietbright)
                          ? static_cast<float>(amplitude(t->level_db) / COLOURED_RMS)
                          : 0;
  const float loud = static_cast<float>(amplitude(-35) / COLOURED_RMS);
  // A dark scene's pauses are quieter than the room tone of the rest.
  const double room =
      t && t->kind == trap_kind::dark ? amplitude(t->level_db) / COLOURED_RMS : room_;
  for (int k = 0; k < SAMPLES_PER_FRAME; ++k) {
    const std::int64_t s = frame * SAMPLES_PER_FRAME + k;
    float x = 0;
    switch (p.kind) {
      case piece_kind::programme:
        if (t && t->kind == trap_kind::quietbright) {
          x = quiet * coloured();
        } else {
          x = drift * programme_sample(s, room);
          if (t && t->kind == trap_kind::fade) {
            const auto g = static_cast<float>(fade_gain(
                *t, static_cast<double>(frame) + static_cast<double>(k) / SAMPLES_PER_FRAME));
            x = g * x + (1 - g) * quiet * coloured();
          }
        }
        break;
      case piece_kind::spot:
        x = spot_sample(s);
        break;
      case piece_kind::bumper:
        x = bumper_sample(s);
        break;
      case piece_kind::separator:
        if (p.separator == separator_kind::loud) x = loud * coloured();
        break;
      case piece_kind::boundary:
        break;
    }
    for (int ch = 0; ch < 2; ++ch) {
      const float v = std::clamp(x + hiss * white(), -1.0f, 1.0f);
      out[2 * k + ch] = static_cast<std::int16_t>(std::lround(v * 32767.0f));
    }
  }
}

}  // namespace broadcast
