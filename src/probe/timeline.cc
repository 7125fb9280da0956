#include "probe/timeline.h"

#include <algorithm>

namespace cutspot::probe {
namespace {

// Damaged timestamps can be anything; no real recording comes near 2^61 ns (73 years),
// and clamping times there and offsets at 2^62 keeps every sum below from overflowing.
constexpr std::int64_t RAW_LIMIT = std::int64_t{1} << 61;
constexpr std::int64_t OFFSET_LIMIT = std::int64_t{1} << 62;
constexpr std::int64_t LONGEST_FRAME_NS = 10'000'000'000;

std::int64_t clamp_raw(std::int64_t ns) {
  return std::clamp(ns, -RAW_LIMIT, RAW_LIMIT);
}

const clock_epoch* find_epoch(const shared_clock& c, int id) {
  for (const clock_epoch& e : c.epochs) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

// The epoch a stream that jumped to raw_ns goes to: a later one that another stream
// opened near the same time, or a new one carrying on from the latest time so far.
const clock_epoch& next_epoch(shared_clock& c, const stream_clock& s, std::int64_t raw_ns,
                              std::int64_t duration_ns) {
  for (const clock_epoch& e : c.epochs) {
    std::int64_t d = raw_ns - e.raw_start_ns;
    if (e.id > s.epoch && d >= -EPOCH_MATCH_NS && d <= EPOCH_MATCH_NS) return e;
  }
  clock_epoch e;
  e.id = c.epochs.empty() ? 0 : c.epochs.back().id + 1;
  e.raw_start_ns = raw_ns;
  e.offset_ns =
      std::clamp(c.latest_ns + std::clamp<std::int64_t>(duration_ns, 0, LONGEST_FRAME_NS) - raw_ns,
                 -OFFSET_LIMIT, OFFSET_LIMIT);
  if (c.epochs.size() == EPOCHS_KEPT) c.epochs.erase(c.epochs.begin());
  c.epochs.push_back(e);
  ++c.jumps;
  return c.epochs.back();
}

}  // namespace

shared_clock make_clock(std::int64_t origin_ns) {
  shared_clock c;
  c.epochs.push_back({0, clamp_raw(origin_ns), -clamp_raw(origin_ns)});
  return c;
}

std::int64_t clock_map(shared_clock& c, stream_clock& s, std::int64_t raw_ns,
                       std::int64_t duration_ns) {
  raw_ns = clamp_raw(raw_ns);
  const clock_epoch* e = find_epoch(c, s.epoch);
  if (s.started) {
    std::int64_t step = raw_ns - s.last_raw_ns;
    if (!e || step < -CLOCK_BACK_NS || step > CLOCK_FORWARD_NS) {
      e = &next_epoch(c, s, raw_ns, duration_ns);
    }
  } else if (!e) {
    e = &next_epoch(c, s, raw_ns, duration_ns);
  }
  s.started = true;
  s.epoch = e->id;
  s.last_raw_ns = raw_ns;
  std::int64_t mapped = clamp_raw(raw_ns + e->offset_ns);
  c.latest_ns = std::max(c.latest_ns, mapped);
  return mapped;
}

}  // namespace cutspot::probe
