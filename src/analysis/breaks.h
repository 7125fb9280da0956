// Advertising breaks as ranges, grouped from the quiet-dark intervals of the detection
// pass and the levels of the stretches between them.
//
// Broadcasters separate their spots by a few black, silent frames, and every spot lasts
// a whole number of grid steps (5 s): the stretch from the end of one separator to the
// start of the next is then a whole number of steps long, give or take a frame. A
// separator that was not silent enough to be found joins two spots, whose stretch is
// longer by the separator's length, so a stretch may run up to SPOT_LATE_NS past its
// step. Spots are also louder and steadier than the programme around them. A stretch is
// a spot when it fits the grid, lasts no more than MAX_SPOT_NS and its sound is steady
// and not quieter than the recording's usual level; a break is a run of spots lasting
// at least the shortest break. A single stretch may be a break: where the separators
// between spots were not found, several spots make one stretch on the grid. It runs from the middle
// of the separator before its first spot to the middle of the one after its last, or from the
// recording's start or to its end when the recording starts or ends inside it.
//
// A fade or a dark scene inside the programme gives at most one interval with long,
// speech-like stretches on both sides, so it can neither start a break nor join one.
//
// The finder is fed the records' levels and the intervals in time order and holds a
// fixed amount of memory: the levels of the last RING_SLOTS slots and the break being
// grown.
#ifndef CUTSPOT_ANALYSIS_BREAKS_H_
#define CUTSPOT_ANALYSIS_BREAKS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "analysis/audio_range.h"
#include "analysis/level_tracker.h"
#include "analysis/level_walk.h"
#include "analysis/quiet_intervals.h"
#include "common/time_units.h"
#include "eventfile/pass_status.h"
#include "eventfile/record_reader.h"

namespace cutspot {

inline constexpr std::uint32_t DEFAULT_SHORTEST_BREAK_SECONDS = 30;
inline constexpr std::uint32_t DEFAULT_SPOT_GRID_SECONDS = 5;

struct break_settings {
  std::uint32_t shortest_break_seconds = DEFAULT_SHORTEST_BREAK_SECONDS;  // -b<sec>
  std::uint32_t spot_grid_seconds = DEFAULT_SPOT_GRID_SECONDS;            // -g<sec>
};

// A stretch may end this much before a whole number of grid steps...
inline constexpr std::int64_t SPOT_EARLY_NS = 300 * NS_PER_MS;
// ...or this much after it (a separator that was not found lies inside it).
inline constexpr std::int64_t SPOT_LATE_NS = 600 * NS_PER_MS;
inline constexpr std::int64_t MAX_SPOT_NS = 90 * NS_PER_SECOND;

// The levels of a stretch of the recording.
struct level_summary {
  std::uint64_t audio_records = 0;
  std::uint64_t audio_sum = 0;  // Of scaled audio levels, each clamped to LEVEL_CLAMP.
  std::uint64_t video_records = 0;
  std::uint64_t video_sum = 0;
  std::uint32_t audio_min = 0xFFFFFFFF;
  std::uint32_t video_min = 0xFFFFFFFF;
  std::uint32_t slots = 0;        // 100 ms slots with audio.
  std::uint32_t quiet_slots = 0;  // Slots whose mean audio lies below the pause level.

  std::uint32_t audio_mean() const {
    return audio_records == 0 ? 0 : static_cast<std::uint32_t>(audio_sum / audio_records);
  }
  std::uint32_t video_mean() const {
    return video_records == 0 ? 0 : static_cast<std::uint32_t>(video_sum / video_records);
  }
};

// At most this many separators of a break are listed; the rest are counted.
inline constexpr std::size_t LISTED_SEPARATORS = 64;

struct ad_break {
  std::int64_t start_ns = 0;
  std::int64_t end_ns = 0;
  bool from_recording_start = false;  // The recording starts inside it.
  bool to_recording_end = false;      // The recording ends inside it.
  std::uint32_t spots = 0;            // Stretches between its separators, partial ones too.
  std::uint32_t separators = 0;
  std::array<std::int64_t, LISTED_SEPARATORS> separator_ns{};  // Middles, the first ones.
  std::int64_t worst_fit_ns = 0;  // The stretch furthest off the grid, signed.
  std::uint32_t audio_mean = 0;   // Of its spots.
  std::uint32_t video_mean = 0;
  std::uint32_t quiet_permille = 0;  // Of its spots' slots below the pause level.
};

// How far a stretch of `length_ns` is from the nearest whole number of `grid_ns` steps,
// signed, or nothing when it does not fit the grid: shorter than one step less
// SPOT_EARLY_NS, longer than MAX_SPOT_NS, or outside the tolerance.
std::optional<std::int64_t> grid_fit(std::int64_t length_ns, std::int64_t grid_ns);

// The recording's audio levels: a histogram of the scaled levels of its audio records,
// from which the pause level and the usual level are read.
struct loudness_profile {
  static constexpr std::uint32_t BIN = 100;
  static constexpr std::size_t BINS = 101;  // The last holds everything from 10000 up.
  std::array<std::uint64_t, BINS> counts{};
  std::uint64_t total = 0;

  void add(std::uint32_t level) {
    ++counts[level / BIN < BINS ? level / BIN : BINS - 1];
    ++total;
  }
  // The level below which `permille` of the records lie, to a bin's width.
  std::uint32_t percentile(std::uint32_t permille) const;
};

// The levels a stretch is judged by: the recording's usual level (the median of its
// audio records) and the pause level below which 100 ms of sound count as a pause.
struct loudness_levels {
  std::uint32_t usual = 0;
  std::uint32_t pause = 0;
};

loudness_levels judge_loudness(const loudness_profile& profile);

// The profile's own pass over the file: every audio record's scaled level.
pass_status profile_loudness(record_reader* reader, const audio_range& range,
                             loudness_profile* profile);

class break_finder {
 public:
  break_finder(const break_settings& settings, const loudness_levels& loudness);

  // Every record as the detection pass saw it, in file order.
  void add_levels(const event_record& record, const level_step& step, const level_tracker& levels);
  // A quiet-dark interval of the detection pass, once it is final. Returns a break that
  // it finished, if any.
  std::optional<ad_break> add_interval(const quiet_interval& interval);
  // After the last record: the breaks still open, one per call, until it returns none.
  std::optional<ad_break> finish();

 private:
  static constexpr std::int64_t SLOT_NS = 100 * NS_PER_MS;
  static constexpr std::size_t RING_SLOTS = 4096;  // 409.6 s, more than any spot needs.

  struct slot {
    std::int64_t number = -1;  // Which 100 ms of the recording it holds; -1 none.
    std::uint32_t audio_records = 0;
    std::uint32_t video_records = 0;
    std::uint64_t audio_sum = 0;
    std::uint64_t video_sum = 0;
    std::uint32_t audio_min = 0xFFFFFFFF;
    std::uint32_t video_min = 0xFFFFFFFF;
  };

  // The levels of the records from from_ns up to to_ns, or nothing when that stretch
  // has left the ring.
  // A run of records that are dark and quiet: where a separator really lies. The
  // interval that the detection pass hands on later starts with one of them, but in
  // level mode a short one ends only a second after its start.
  struct quiet_run {
    std::int64_t start_ns = -1;
    std::int64_t end_ns = -1;  // The first record after it; -1 while it goes on.
  };
  static constexpr std::size_t RUNS = 32;

  // A stretch that counts as a spot, in the break being grown.
  struct spot {
    std::int64_t from_ns = 0;  // The middle of the separator before it, or 0.
    std::int64_t to_ns = 0;    // The middle of the one after it, or the recording's end.
    std::int64_t fit_ns = 0;
    level_summary levels;
    bool from_recording_start = false;
    bool to_recording_end = false;
  };
  // A break longer than this many spots (no broadcaster's) is handed on in pieces, so
  // that memory stays bounded whatever the file.
  static constexpr std::size_t MAX_SPOTS = 64;

  std::optional<level_summary> summarise(std::int64_t from_ns, std::int64_t to_ns) const;
  // Where the quiet run that the interval starts with ended, or the interval's end.
  std::int64_t separator_end(const quiet_interval& interval) const;
  bool steady_and_loud(const level_summary& levels) const;
  // Adds a spot to the break being grown; returns the break it finished when full.
  std::optional<ad_break> add_spot(const spot& found);
  std::optional<ad_break> close_chain();

  break_settings settings_;
  loudness_levels loudness_;
  std::array<quiet_run, RUNS> runs_{};
  std::size_t run_count_ = 0;  // Runs begun; the latest is runs_[(run_count_ - 1) % RUNS].
  std::array<slot, RING_SLOTS> ring_{};
  std::int64_t last_ns_ = -1;   // Of the latest record counted; earlier ones are not.
  std::int64_t first_ns_ = -1;  // Of the first record counted.

  // The separator the current stretch began at.
  bool have_separator_ = false;
  std::int64_t separator_end_ns_ = 0;
  std::int64_t separator_middle_ns_ = 0;

  // The break being grown.
  std::array<spot, MAX_SPOTS> chain_{};
  std::size_t chain_size_ = 0;
  bool finished_ = false;
};

}  // namespace cutspot

#endif  // CUTSPOT_ANALYSIS_BREAKS_H_
