// Audio loudness over fixed 20 ms windows of samples, whatever sizes the codec's frames
// have: cutspot needs an audio record well within 50 ms of every video record, and short
// windows keep the edges of a silence sharp.
#ifndef CUTSPOT_PROBE_AUDIO_WINDOWS_H_
#define CUTSPOT_PROBE_AUDIO_WINDOWS_H_

#include <cstdint>
#include <vector>

namespace cutspot::probe {

inline constexpr int WINDOWS_PER_SECOND = 50;
// A frame whose time is further than this from where the samples so far lead starts the
// windows afresh at its own time (a gap, a lost packet, a re-based clock).
inline constexpr std::int64_t AUDIO_RESYNC_NS = 15'000'000;
inline constexpr std::int64_t NO_TIME = INT64_MIN;

enum class sample_kind { u8, s16, s32, s64, f32, f64 };

struct sample_layout {
  sample_kind kind = sample_kind::s16;
  bool planar = false;
  int channels = 1;
};

// The samples of one decoded frame.
struct audio_block {
  sample_layout layout;
  const unsigned char* const* data = nullptr;  // One plane per channel, or one if packed.
  int samples = 0;                             // Per channel.
  int sample_rate = 0;
  std::int64_t time_ns = NO_TIME;  // Of the first sample; NO_TIME continues the last block.
};

struct audio_window {
  std::int64_t start_ns = 0;
  double mean_square = 0;  // Of samples scaled to -1..1, over all channels.
};

struct window_accumulator {
  int sample_rate = 0;
  int window_samples = 0;
  std::int64_t anchor_ns = NO_TIME;  // Time of the sample counted from.
  std::int64_t since_anchor = 0;     // Samples per channel since the anchor.
  int filled = 0;                    // Samples in the open window.
  double sum = 0;                    // Of per-sample channel means of squares.
};

// Adds a block; appends every window it completes. Samples are clamped to -1..1 and
// non-finite ones count as 0, so no damaged frame can report more than full scale.
void add_audio(window_accumulator& acc, const audio_block& block, std::vector<audio_window>& out);

// Appends the open window if it holds any samples.
void flush_audio(window_accumulator& acc, std::vector<audio_window>& out);

// One sample scaled to -1..1 (clamped; non-finite as 0).
double normalised_sample(const unsigned char* p, sample_kind kind);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_AUDIO_WINDOWS_H_
