#include "synthetic_recording.h"

#include "common/event_record.h"
#include "common/time_units.h"

namespace cutspot {
namespace {

constexpr std::int64_t MS = NS_PER_MS;

}  // namespace

synthetic_recording::synthetic_recording(const recording_settings& settings)
    : settings_(settings),
      state_(settings.seed * 0x9E3779B97F4A7C15ULL + 1),
      next_audio_(5 * MS),
      next_video_(12 * MS) {
  if (settings_.break_every == 0) settings_.break_every = 1;
  next_break(0);
}

std::uint64_t synthetic_recording::random() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 2685821657736338717ULL;
}

void synthetic_recording::next_break(std::int64_t after_ns) {
  const std::uint64_t every = settings_.break_every;
  break_start_ =
      after_ns + static_cast<std::int64_t>(between(every / 2 + 1, every * 3 / 2)) * 1000 * MS;
  break_end_ = break_start_ + static_cast<std::int64_t>(between(400, 1600)) * MS;
}

void synthetic_recording::next_record(unsigned char* out) {
  const std::int64_t now = next_time();
  while (now >= break_end_) next_break(break_end_);
  const bool in_break = now >= break_start_;
  const std::uint32_t loudest = settings_.loudest;

  event_record record;
  record.timestamp_ns = now;
  if (now == next_audio_) {
    std::uint32_t value;
    if (in_break) {
      value = static_cast<std::uint32_t>(between(0, loudest / 25));
    } else if (!loudest_written_) {
      value = loudest;  // Fixes the scale of the whole file.
      loudest_written_ = true;
    } else {
      value = static_cast<std::uint32_t>(between(loudest * 2 / 5, loudest - 1));
    }
    record.type = RECORD_AUDIO;
    record.value = value;
    next_audio_ += static_cast<std::int64_t>(between(19, 21)) * MS;
  } else {
    if (between(0, 200) == 0) scene_ = static_cast<std::uint32_t>(between(90, 240));
    record.type = RECORD_VIDEO;
    for (int i = 0; i < 4; ++i) {
      record.samples[i] =
          static_cast<unsigned char>(in_break ? between(0, 24) : between(scene_ - 15, scene_ + 15));
    }
    next_video_ += static_cast<std::int64_t>(between(38, 42)) * MS;
  }
  encode_event_record(record, out);
}

}  // namespace cutspot
