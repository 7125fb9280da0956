#include "analysis/breaks.h"

#include <algorithm>
#include <utility>

#include "analysis/marks.h"
#include "common/event_record.h"
#include "eventfile/time_diff.h"

namespace cutspot {
namespace {

// Levels above this add no information and would only let one damaged record dominate
// a stretch's mean.
constexpr std::uint32_t LEVEL_CLAMP = 2 * AUDIO_FULL_SCALE;
// Spots are not quieter than the recording's median by more than this (2.5 dB on the
// probe's scale): where the loud sound of programme and spots alike reaches the top of
// the scale, a spot's mean may lie a little below it.
constexpr std::uint32_t LOUD_MARGIN = 500;
// Pauses: 100 ms whose sound lies this far below the usual level (10 dB on the probe's
// scale). Speech has them every few seconds; a spot's steady sound has next to none.
constexpr std::uint32_t PAUSE_DROP = 2000;
constexpr std::uint32_t MAX_QUIET_PERMILLE = 50;
// Stretches at the ends of a run this far below its median are programme (5 dB).
constexpr std::uint32_t TRIM_DROP = 1000;
// A break of one stretch must be this much louder than the usual level (5 dB); where
// the usual level is the top of the scale (programme and spots alike reach it), it must
// be without a pause instead, since only the pauses tell speech from spots there.
constexpr std::uint32_t LONE_MARGIN = 1000;
constexpr std::uint32_t LONE_QUIET_PERMILLE = 5;

}  // namespace

std::optional<std::int64_t> grid_fit(std::int64_t length_ns, std::int64_t grid_ns) {
  if (length_ns <= 0 || length_ns > MAX_SPOT_NS + SPOT_LATE_NS) return std::nullopt;
  if (grid_ns <= 0) return length_ns <= MAX_SPOT_NS ? std::optional<std::int64_t>(0) : std::nullopt;
  // The nearest step that the stretch may be early for; late ones round down to theirs.
  const std::int64_t steps = (length_ns + SPOT_EARLY_NS) / grid_ns;
  if (steps == 0 || steps * grid_ns > MAX_SPOT_NS) return std::nullopt;
  const std::int64_t fit = length_ns - steps * grid_ns;
  if (fit < -SPOT_EARLY_NS || fit > SPOT_LATE_NS) return std::nullopt;
  return fit;
}

std::uint32_t loudness_profile::percentile(std::uint32_t permille) const {
  if (total == 0) return 0;
  const std::uint64_t wanted = total * permille / 1000;
  std::uint64_t below = 0;
  for (std::size_t i = 0; i < BINS; ++i) {
    below += counts[i];
    if (below > wanted) return static_cast<std::uint32_t>(i) * BIN;
  }
  return static_cast<std::uint32_t>(BINS - 1) * BIN;
}

pass_status profile_loudness(record_reader* reader, const audio_range& range,
                             loudness_profile* profile) {
  *profile = loudness_profile{};
  return for_each_block(reader, [&](record_block block) {
    event_record record;
    while (read_event_record(&block, &record)) {
      if (record.type == RECORD_AUDIO) profile->add(range.audio_scale * record.value);
    }
    return true;
  });
}

loudness_levels judge_loudness(const loudness_profile& profile) {
  loudness_levels levels;
  levels.usual = profile.percentile(500);
  levels.pause = levels.usual > PAUSE_DROP ? levels.usual - PAUSE_DROP : 0;
  return levels;
}

break_finder::break_finder(const break_settings& settings, const loudness_levels& loudness)
    : settings_(settings), loudness_(loudness) {}

void break_finder::add_levels(const event_record& record, const level_step& step,
                              const level_tracker& levels) {
  const std::int64_t now = record.timestamp_ns;
  // Times before the start or going back cannot be placed in the stretches.
  if (!step.in_order) return;
  if (first_ns_ < 0) first_ns_ = now;
  last_ns_ = now;
  const std::uint32_t video_level = levels.video_level;
  const std::uint32_t audio_level = levels.audio_level;
  // The same judgement as the detection pass's: dark and quiet, or not.
  const bool dark_and_quiet = video_level <= DARK_MAX && step.quiet;
  quiet_run* latest = run_count_ == 0 ? nullptr : &runs_[(run_count_ - 1) % RUNS];
  const bool open = latest != nullptr && latest->end_ns < 0;
  if (dark_and_quiet && !open) {
    runs_[run_count_++ % RUNS] = quiet_run{now, -1};
  } else if (!dark_and_quiet && open) {
    latest->end_ns = now;
  }
  const std::int64_t number = now / SLOT_NS;
  slot& s = ring_[static_cast<std::size_t>(number) % RING_SLOTS];
  if (s.number != number) s = slot{number};
  if (record.type == RECORD_AUDIO) {
    const std::uint32_t level = std::min(audio_level, LEVEL_CLAMP);
    ++s.audio_records;
    s.audio_sum += level;
    s.audio_min = std::min(s.audio_min, level);
  } else if (record.type == RECORD_VIDEO) {
    ++s.video_records;
    s.video_sum += video_level;
    s.video_min = std::min(s.video_min, video_level);
  }
}

std::optional<level_summary> break_finder::summarise(std::int64_t from_ns,
                                                     std::int64_t to_ns) const {
  if (from_ns < 0 || to_ns < from_ns || last_ns_ < 0) return std::nullopt;
  // The slots wholly inside the stretch: its edge slots hold separator records.
  const std::int64_t first = from_ns / SLOT_NS + 1;
  const std::int64_t last = to_ns / SLOT_NS - 1;
  const std::int64_t newest = last_ns_ / SLOT_NS;
  if (newest - first >= static_cast<std::int64_t>(RING_SLOTS)) return std::nullopt;
  level_summary sum;
  for (std::int64_t n = first; n <= last; ++n) {
    const slot& s = ring_[static_cast<std::size_t>(n) % RING_SLOTS];
    if (s.number != n) continue;
    sum.video_records += s.video_records;
    sum.video_sum += s.video_sum;
    sum.video_min = std::min(sum.video_min, s.video_min);
    if (s.audio_records == 0) continue;
    sum.audio_records += s.audio_records;
    sum.audio_sum += s.audio_sum;
    sum.audio_min = std::min(sum.audio_min, s.audio_min);
    ++sum.slots;
    sum.quiet_slots += s.audio_sum / s.audio_records < loudness_.pause;
  }
  return sum;
}

bool break_finder::steady_and_loud(const level_summary& levels) const {
  if (levels.slots == 0) return false;
  // Spots are about as loud as the recording's usual level (its median) or louder.
  const bool loud = levels.audio_mean() + LOUD_MARGIN >= loudness_.usual;
  const bool steady =
      std::uint64_t{levels.quiet_slots} * 1000 <= std::uint64_t{levels.slots} * MAX_QUIET_PERMILLE;
  return loud && steady;
}

std::optional<ad_break> break_finder::add_spot(const spot& found) {
  std::optional<ad_break> done;
  if (chain_size_ == MAX_SPOTS) done = close_chain();
  chain_[chain_size_++] = found;
  return done;
}

std::optional<ad_break> break_finder::close_chain() {
  const std::size_t n = std::exchange(chain_size_, 0);
  if (n == 0) return std::nullopt;
  // Where a fade or a scene change in the programme lies on the grid next to a block,
  // the programme's stretch joins the spots; it is much quieter than they are, and is
  // trimmed off the ends.
  std::array<std::uint32_t, MAX_SPOTS> means;
  for (std::size_t i = 0; i < n; ++i) means[i] = chain_[i].levels.audio_mean();
  std::nth_element(means.begin(), means.begin() + static_cast<std::ptrdiff_t>(n / 2),
                   means.begin() + static_cast<std::ptrdiff_t>(n));
  const std::uint32_t median = means[n / 2];
  const auto quieter = [&](const spot& s) { return s.levels.audio_mean() + TRIM_DROP < median; };
  std::size_t lo = 0;
  std::size_t hi = n;
  while (lo < hi && quieter(chain_[lo])) ++lo;
  while (hi > lo && quieter(chain_[hi - 1])) --hi;
  if (lo == hi) return std::nullopt;
  // A lone stretch has no spots to be measured against: it must be clearly louder than
  // the programme.
  if (hi - lo == 1) {
    const level_summary& lone = chain_[lo].levels;
    const bool louder = lone.audio_mean() >= loudness_.usual + LONE_MARGIN;
    const bool saturated = loudness_.usual + LOUD_MARGIN >= AUDIO_FULL_SCALE;
    const bool no_pause =
        std::uint64_t{lone.quiet_slots} * 1000 <= std::uint64_t{lone.slots} * LONE_QUIET_PERMILLE;
    if (!louder && !(saturated && no_pause)) return std::nullopt;
  }

  ad_break found;
  found.start_ns = chain_[lo].from_ns;
  found.end_ns = chain_[hi - 1].to_ns;
  const std::uint64_t shortest_ns =
      std::uint64_t{settings_.shortest_break_seconds} * static_cast<std::uint64_t>(NS_PER_SECOND);
  if (found.end_ns < found.start_ns || diff_below(found.end_ns, found.start_ns, shortest_ns)) {
    return std::nullopt;
  }
  found.from_recording_start = chain_[lo].from_recording_start;
  found.to_recording_end = chain_[hi - 1].to_recording_end;
  found.spots = static_cast<std::uint32_t>(hi - lo);
  const auto note_separator = [&](std::int64_t middle_ns) {
    if (found.separators < LISTED_SEPARATORS) found.separator_ns[found.separators] = middle_ns;
    ++found.separators;
  };
  if (!found.from_recording_start) note_separator(found.start_ns);
  level_summary levels;
  for (std::size_t i = lo; i < hi; ++i) {
    const spot& s = chain_[i];
    if (!s.to_recording_end) note_separator(s.to_ns);
    const auto magnitude = [](std::int64_t fit) { return fit < 0 ? -fit : fit; };
    if (magnitude(s.fit_ns) > magnitude(found.worst_fit_ns)) found.worst_fit_ns = s.fit_ns;
    levels.audio_records += s.levels.audio_records;
    levels.audio_sum += s.levels.audio_sum;
    levels.video_records += s.levels.video_records;
    levels.video_sum += s.levels.video_sum;
    levels.slots += s.levels.slots;
    levels.quiet_slots += s.levels.quiet_slots;
  }
  found.audio_mean = levels.audio_mean();
  found.video_mean = levels.video_mean();
  found.quiet_permille =
      levels.slots == 0
          ? 0
          : static_cast<std::uint32_t>(std::uint64_t{levels.quiet_slots} * 1000 / levels.slots);
  return found;
}

std::int64_t break_finder::separator_end(const quiet_interval& interval) const {
  for (std::size_t i = 0; i < std::min(run_count_, RUNS); ++i) {
    const quiet_run& run = runs_[(run_count_ - 1 - i) % RUNS];
    if (run.start_ns == interval.start_ns) {
      return run.end_ns >= 0 ? std::min(run.end_ns, interval.end_ns) : interval.end_ns;
    }
    if (run.start_ns < interval.start_ns) break;
  }
  return interval.end_ns;
}

std::optional<ad_break> break_finder::add_interval(const quiet_interval& real) {
  quiet_interval interval = real;
  interval.end_ns = separator_end(real);
  const std::int64_t middle = midpoint_ns(interval.start_ns, interval.end_ns);
  std::optional<ad_break> done;
  const std::int64_t grid_ns = std::int64_t{settings_.spot_grid_seconds} * NS_PER_SECOND;
  if (have_separator_) {
    // Broadcasters time a spot either by its own pictures, from the end of one
    // separator to the start of the next, or from separator to separator: either fits.
    std::optional<std::int64_t> fit = interval.start_ns >= separator_end_ns_
                                          ? grid_fit(interval.start_ns - separator_end_ns_, grid_ns)
                                          : std::nullopt;
    if (!fit && middle >= separator_middle_ns_) {
      fit = grid_fit(middle - separator_middle_ns_, grid_ns);
    }
    const std::optional<level_summary> levels =
        fit ? summarise(separator_end_ns_, interval.start_ns) : std::nullopt;
    if (levels && steady_and_loud(*levels)) {
      done = add_spot(spot{separator_middle_ns_, middle, *fit, *levels});
    } else {
      done = close_chain();
    }
  } else if (first_ns_ >= 0 && interval.start_ns >= first_ns_ &&
             !diff_exceeds(interval.start_ns, first_ns_, MAX_SPOT_NS)) {
    // The recording may start inside a spot: a steady, loud stretch before the first
    // separator, no longer than a spot, begins a break at the recording's start.
    const std::optional<level_summary> levels = summarise(first_ns_, interval.start_ns);
    if (levels && steady_and_loud(*levels)) {
      done = add_spot(spot{0, middle, 0, *levels, true, false});
    }
  }
  have_separator_ = true;
  separator_end_ns_ = interval.end_ns;
  separator_middle_ns_ = middle;
  return done;
}

std::optional<ad_break> break_finder::finish() {
  if (!finished_) {
    finished_ = true;
    // The recording may end inside a spot, as it may start in one.
    if (chain_size_ > 0 && separator_end_ns_ <= last_ns_ &&
        !diff_exceeds(last_ns_, separator_end_ns_, MAX_SPOT_NS)) {
      const std::optional<level_summary> levels = summarise(separator_end_ns_, last_ns_);
      if (levels && steady_and_loud(*levels)) {
        // A full break before it is handed on first; the next call hands on the rest.
        if (std::optional<ad_break> done =
                add_spot(spot{separator_middle_ns_, last_ns_, 0, *levels, false, true})) {
          return done;
        }
      }
    }
  }
  return close_chain();
}

}  // namespace cutspot
