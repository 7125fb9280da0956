// A synthetic TV recording, record by record: bright, loud programme with short breaks
// where the picture goes dark and the sound quiet, as around advertising. Audio records
// come about every 20 ms and video records about every 40 ms. The records depend only on
// the settings, so every tool and benchmark can rebuild the same file anywhere.
#ifndef CUTSPOT_TOOLS_SYNTHETIC_RECORDING_H_
#define CUTSPOT_TOOLS_SYNTHETIC_RECORDING_H_

#include <cstdint>

namespace cutspot {

struct recording_settings {
  std::uint64_t seed = 1;
  std::uint32_t loudest = 5000;    // Up to 5000: level mode; above: gap mode.
  std::uint64_t break_every = 60;  // Mean seconds between breaks.
};

class synthetic_recording {
 public:
  explicit synthetic_recording(const recording_settings& settings);

  // The time of the record that next_record() writes next.
  std::int64_t next_time() const { return next_audio_ < next_video_ ? next_audio_ : next_video_; }

  // Writes the next 24-byte record, as stored in an event file, to out.
  void next_record(unsigned char* out);

 private:
  // xorshift64*: small, fast and the same on every platform.
  std::uint64_t random();
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) {
    return lo + random() % (hi - lo + 1);
  }
  void next_break(std::int64_t after_ns);

  recording_settings settings_;
  std::uint64_t state_;
  std::int64_t break_start_ = 0;  // The current or next break: [start, end).
  std::int64_t break_end_ = 0;
  std::int64_t next_audio_;
  std::int64_t next_video_;
  std::uint32_t scene_ = 180;  // Mean brightness of the current scene.
  bool loudest_written_ = false;
};

// The 8-byte header our tools write; its contents are never examined.
inline constexpr char SYNTHETIC_HEADER[8] = {'C', 'S', 'E', 'V', 'T', 0, 0, 1};

}  // namespace cutspot

#endif  // CUTSPOT_TOOLS_SYNTHETIC_RECORDING_H_
