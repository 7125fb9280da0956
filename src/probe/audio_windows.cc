#include "probe/audio_windows.h"

#include <cmath>
#include <cstring>

#include "common/time_units.h"

namespace cutspot::probe {
namespace {

int sample_bytes(sample_kind kind) {
  switch (kind) {
    case sample_kind::u8:
      return 1;
    case sample_kind::s16:
      return 2;
    case sample_kind::s32:
    case sample_kind::f32:
      return 4;
    case sample_kind::s64:
    case sample_kind::f64:
      return 8;
  }
  return 1;
}

template <typename T>
T load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

double clamp_unit(double v) {
  if (!std::isfinite(v)) return 0;
  return v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v);
}

std::int64_t samples_to_ns(std::int64_t samples, int rate) {
  // Split to stay exact and far from overflow for recordings of any length.
  return samples / rate * NS_PER_SECOND + samples % rate * NS_PER_SECOND / rate;
}

void close_window(window_accumulator& acc, std::vector<audio_window>& out) {
  std::int64_t start = acc.since_anchor - acc.filled;
  out.push_back({acc.anchor_ns + samples_to_ns(start, acc.sample_rate),
                 acc.sum / static_cast<double>(acc.filled)});
  acc.filled = 0;
  acc.sum = 0;
}

}  // namespace

double normalised_sample(const unsigned char* p, sample_kind kind) {
  switch (kind) {
    case sample_kind::u8:
      return (static_cast<double>(p[0]) - 128.0) / 128.0;
    case sample_kind::s16:
      return load<std::int16_t>(p) / 32768.0;
    case sample_kind::s32:
      return load<std::int32_t>(p) / 2147483648.0;
    case sample_kind::s64:
      return static_cast<double>(load<std::int64_t>(p)) / 9223372036854775808.0;
    case sample_kind::f32:
      return clamp_unit(load<float>(p));
    case sample_kind::f64:
      return clamp_unit(load<double>(p));
  }
  return 0;
}

void flush_audio(window_accumulator& acc, std::vector<audio_window>& out) {
  if (acc.filled > 0) close_window(acc, out);
}

void add_audio(window_accumulator& acc, const audio_block& block, std::vector<audio_window>& out) {
  if (block.sample_rate <= 0 || block.samples <= 0 || block.layout.channels <= 0) return;
  bool restart = acc.anchor_ns == NO_TIME || block.sample_rate != acc.sample_rate;
  if (!restart && block.time_ns != NO_TIME) {
    std::int64_t expected = acc.anchor_ns + samples_to_ns(acc.since_anchor, acc.sample_rate);
    std::int64_t drift = block.time_ns - expected;
    restart = drift > AUDIO_RESYNC_NS || drift < -AUDIO_RESYNC_NS;
  }
  if (restart) {
    if (block.time_ns == NO_TIME && acc.anchor_ns == NO_TIME) return;  // Nothing to place it.
    flush_audio(acc, out);
    if (block.time_ns != NO_TIME) {
      acc.anchor_ns = block.time_ns;
    } else {
      acc.anchor_ns += samples_to_ns(acc.since_anchor, acc.sample_rate);
    }
    acc.since_anchor = 0;
    acc.sample_rate = block.sample_rate;
    acc.window_samples = block.sample_rate / WINDOWS_PER_SECOND;
    if (acc.window_samples < 1) acc.window_samples = 1;
  }
  const sample_layout& l = block.layout;
  int bytes = sample_bytes(l.kind);
  for (int i = 0; i < block.samples; ++i) {
    double squares = 0;
    for (int c = 0; c < l.channels; ++c) {
      const unsigned char* p =
          l.planar ? block.data[c] + static_cast<std::ptrdiff_t>(i) * bytes
                   : block.data[0] + (static_cast<std::ptrdiff_t>(i) * l.channels + c) * bytes;
      double v = normalised_sample(p, l.kind);
      squares += v * v;
    }
    acc.sum += squares / l.channels;
    ++acc.filled;
    ++acc.since_anchor;
    if (acc.filled == acc.window_samples) close_window(acc, out);
  }
}

}  // namespace cutspot::probe
