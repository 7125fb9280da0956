// The levels of the "-svg" picture on their own: arbitrary points into the envelope, then
// its pixel columns, its time axis and the mapping of times onto the plot, each checked
// against a plain model of what it must hold.
//
// Input: 17 bytes of settings (an extra earliest and latest time, big-endian, used when
// bits 0 and 1 of byte 16 say so), then points: a kind byte (bit 0: after a pause; bit 1:
// an absolute 8-byte time, otherwise a 2-byte step shifted left by bits 2-7; the top bit
// also scales the levels past their clamps), the time, a video byte and 2 audio bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "output_checks.h"
#include "report/svg_columns.h"
#include "report/svg_envelope.h"
#include "report/svg_layout.h"
#include "report/svg_ticks.h"

namespace {

namespace fz = cutspot::fuzzing;
using fz::check;

__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;

struct point {
  std::int64_t ns;
  std::uint32_t video;
  std::uint32_t audio;
  bool after_gap;
};

struct input_reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool has(std::size_t n) const { return size - pos >= n; }
  std::uint64_t take(std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | data[pos++];
    return v;
  }
};

std::uint64_t key(std::int64_t ns) {
  return static_cast<std::uint64_t>(ns) ^ (std::uint64_t{1} << 63);
}

// What one bin must hold of the points that fell into it.
struct model_bin {
  bool data = false;
  std::uint16_t video_min = 0, video_max = 0, video_last = 0;
  std::uint16_t audio_min = 0, audio_max = 0, audio_last = 0;
  bool any_after_gap = false;
};

// One input. A function of this file's own, not the entry point itself, so that its
// lambdas and what they instantiate get names no other target shares: the coverage
// report merges the targets by name.
int test_one_input(const std::uint8_t* data, std::size_t size) {
  if (size < 17) return 0;
  input_reader in{data, size};
  const auto extra_earliest = static_cast<std::int64_t>(in.take(8));
  const auto extra_latest = static_cast<std::int64_t>(in.take(8));
  const unsigned flags = static_cast<unsigned>(in.take(1));

  static std::vector<point> points;
  points.clear();
  std::int64_t now = 0;
  while (in.has(1)) {
    const unsigned kind = static_cast<unsigned>(in.take(1));
    const std::size_t time_bytes = (kind & 2) != 0 ? 8 : 2;
    if (!in.has(time_bytes + 3)) break;
    const std::uint64_t time = in.take(time_bytes);
    if ((kind & 2) != 0) {
      now = static_cast<std::int64_t>(time);
    } else {
      const unsigned shift = (kind >> 2) & 31;
      now = static_cast<std::int64_t>(static_cast<std::uint64_t>(now) + (time << shift));
    }
    const unsigned scale = (kind & 0x80) != 0 ? 300 : 1;
    const auto video = static_cast<std::uint32_t>(in.take(1) * scale);
    const auto audio = static_cast<std::uint32_t>(in.take(2) * scale);
    points.push_back({now, video, audio, (kind & 1) != 0 && !points.empty()});
  }

  // The span the first pass would find, widened as the settings say.
  std::int64_t earliest = points.empty() ? 0 : points[0].ns;
  std::int64_t latest = earliest;
  for (const point& p : points) {
    earliest = std::min(earliest, p.ns);
    latest = std::max(latest, p.ns);
  }
  if ((flags & 1) != 0) earliest = std::min(earliest, extra_earliest);
  if ((flags & 2) != 0) latest = std::max(latest, extra_latest);

  auto levels = std::make_unique<cutspot::level_envelope>(earliest, latest);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const point& p = points[i];
    levels->add(p.ns, p.video, p.audio, p.after_gap, i > 0 ? points[i - 1].ns : 0);
  }

  // The bins: the narrowest width of at least 2^20 ns at which the span, time 0 and the
  // first second take at most 4096 bins.
  const std::uint64_t first = std::min(key(0), key(earliest));
  const std::uint64_t last = std::max(key(999999999), key(latest));
  const unsigned shift = levels->shift();
  check(shift >= 20 && shift <= 63, "bin width");
  check((last >> shift) - (first >> shift) < cutspot::SVG_BINS, "the span fits the bins");
  check(shift == 20 || (last >> (shift - 1)) - (first >> (shift - 1)) >= cutspot::SVG_BINS,
        "the narrowest bins");
  const std::size_t bins = levels->bin_count();
  check(levels->first_key() == (first >> shift) << shift &&
            bins == (last >> shift) - (first >> shift) + 1,
        "the bins covered");
  check(levels->last_key() - levels->first_key() + 1 == static_cast<std::uint64_t>(bins) << shift ||
            (bins << shift) == 0,
        "the last key");

  std::vector<model_bin> model(bins);
  for (const point& p : points) {
    model_bin& b = model[(key(p.ns) >> shift) - (first >> shift)];
    const auto v = static_cast<std::uint16_t>(std::min<std::uint32_t>(p.video, 255));
    const auto a = static_cast<std::uint16_t>(std::min<std::uint32_t>(p.audio, 10000));
    if (!b.data) {
      b.video_min = b.video_max = v;
      b.audio_min = b.audio_max = a;
      b.data = true;
    }
    b.video_min = std::min(b.video_min, v);
    b.video_max = std::max(b.video_max, v);
    b.audio_min = std::min(b.audio_min, a);
    b.audio_max = std::max(b.audio_max, a);
    b.video_last = v;
    b.audio_last = a;
    b.any_after_gap = b.any_after_gap || p.after_gap;
  }
  const bool any_gap =
      std::any_of(points.begin(), points.end(), [](const point& p) { return p.after_gap; });
  for (std::size_t i = 0; i < bins; ++i) {
    const cutspot::level_bin& got = levels->bin(i);
    const model_bin& want = model[i];
    check(((got.flags & cutspot::BIN_DATA) != 0) == want.data, "a bin's data flag");
    if (!want.data) {
      check(got.flags == 0, "flags of an empty bin");
      continue;
    }
    check(got.video_min == want.video_min && got.video_max == want.video_max &&
              got.video_last == want.video_last && got.audio_min == want.audio_min &&
              got.audio_max == want.audio_max && got.audio_last == want.audio_last,
          "a bin's levels");
    check(any_gap || got.flags == cutspot::BIN_DATA, "pause flags without a pause");
    check(want.any_after_gap ||
              (got.flags & (cutspot::BIN_STARTS_AFTER_GAP | cutspot::BIN_INNER_GAP)) == 0,
          "a pause begun in a bin no record came to after one");
  }

  // Times onto the plot: within the axis, in order, and exact to within a tenth of a
  // pixel.
  constexpr std::int64_t LEFT = cutspot::PLOT_LEFT * cutspot::SUBPIXELS;
  constexpr std::int64_t WIDTH = cutspot::PLOT_WIDTH * cutspot::SUBPIXELS;
  std::vector<std::int64_t> sorted;
  for (const point& p : points) sorted.push_back(p.ns);
  sorted.push_back(earliest);
  sorted.push_back(latest);
  sorted.push_back(INT64_MIN);
  sorted.push_back(INT64_MAX);
  std::sort(sorted.begin(), sorted.end());
  std::int64_t previous_x = LEFT;
  for (const std::int64_t ns : sorted) {
    const std::int64_t x = cutspot::time_x(*levels, ns);
    check(x >= previous_x && x <= LEFT + WIDTH, "time on the plot");
    previous_x = x;
    const std::uint64_t k = std::clamp(key(ns), levels->first_key(), levels->last_key());
    const u128 exact =
        static_cast<u128>(k - levels->first_key()) * WIDTH / (static_cast<u128>(bins) << shift);
    const i128 error = static_cast<i128>(x - LEFT) - static_cast<i128>(exact);
    check(error >= -1 && error <= 0, "time on the plot, exactly");
  }

  // The columns: each shows at least the levels of the records of its bins.
  auto columns = std::make_unique<cutspot::plot_columns>();
  cutspot::trace_columns(*levels, columns.get());
  std::size_t last_data = 0;
  bool any_data = false;
  for (std::size_t c = 0; c < columns->size(); ++c) {
    const cutspot::plot_column& column = (*columns)[c];
    const std::size_t from = c * bins / cutspot::PLOT_WIDTH;
    const std::size_t to = std::max((c + 1) * bins / cutspot::PLOT_WIDTH, from + 1);
    bool data = false;
    for (std::size_t b = from; b < to; ++b) {
      const model_bin& m = model[b];
      if (!m.data) continue;
      data = true;
      check(column.drawn && column.video_low <= m.video_min && column.video_high >= m.video_max &&
                column.audio_low <= m.audio_min && column.audio_high >= m.audio_max,
            "a column hides a record's level");
    }
    if (data) {
      last_data = c;
      any_data = true;
    }
    if (column.drawn) {
      check(column.video_low <= column.video_high && column.video_high <= 255 &&
                column.audio_low <= column.audio_high && column.audio_high <= 10000,
            "a column's range");
    }
    check(!column.gap_before || (column.gap_from <= static_cast<int>(c) && data),
          "a pause's columns");
    check(!column.inner_gap || data, "a pause in a column without records");
  }
  for (std::size_t c = any_data ? last_data + 1 : 0; c < columns->size(); ++c) {
    check(!(*columns)[c].drawn, "a column drawn after the last record");
  }

  // The time axis: consecutive multiples of a round step, the first and the last within
  // one step of the ends, at most 12 steps across.
  const std::uint64_t span = levels->last_key() - levels->first_key();
  const std::uint64_t step = cutspot::svg_tick_step(span);
  check(step >= 1000000000 && (span / step <= 12 || step == 100000ULL * 86400 * 1000000000),
        "tick step");
  const cutspot::axis_ticks ticks = cutspot::svg_ticks(*levels);
  check(ticks.count >= 1 && ticks.count <= cutspot::MAX_TICK_STEPS + 1, "tick count");
  const i128 start = static_cast<i128>(levels->first_key()) - (i128{1} << 63);
  const i128 end = start + span;
  for (std::size_t i = 0; i < ticks.count; ++i) {
    const i128 t = ticks.ns[i];
    check(t >= start && t <= end && t % static_cast<i128>(step) == 0, "a tick");
    check(i == 0 ? t - static_cast<i128>(step) < start
                 : t - ticks.ns[i - 1] == static_cast<i128>(step),
          "ticks a step apart");
  }
  check(ticks.count == cutspot::MAX_TICK_STEPS + 1 ||
            ticks.ns[ticks.count - 1] + static_cast<i128>(step) > end,
        "the last tick");

  // Levels onto the panels: the highest at the top row, rows downwards as levels fall.
  const std::uint32_t video = points.empty() ? 0 : points[0].video;
  const std::uint32_t audio = points.empty() ? 0 : points[0].audio;
  const int vy = cutspot::video_y(video);
  const int ay = cutspot::audio_y(audio);
  check(vy >= cutspot::VIDEO_TOP && vy < cutspot::VIDEO_TOP + cutspot::VIDEO_HEIGHT &&
            (video < 255 || vy == cutspot::VIDEO_TOP) && cutspot::video_y(video + 1) <= vy,
        "video row");
  check(ay >= cutspot::AUDIO_TOP && ay < cutspot::AUDIO_TOP + cutspot::AUDIO_HEIGHT &&
            (audio < 10000 || ay == cutspot::AUDIO_TOP) && cutspot::audio_y(audio + 1) <= ay,
        "audio row");
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return test_one_input(data, size);
}
