// The broadcast generator's layout and truth: what bench/breaks scores against must be
// exactly what the recording holds.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "broadcast_layout.h"
#include "process.h"

namespace {

using namespace broadcast;

constexpr std::int64_t MINUTE = 60 * FPS;

bool is_edge(const piece& p) {
  return p.kind == piece_kind::separator || p.kind == piece_kind::boundary;
}
std::int64_t middle2(const piece& p) {
  return p.start + p.end;
}

// Checks every invariant of one layout, rebuilding its blocks from the pieces: the runs
// of pieces between programme parts, in order.
void check_layout(const layout& l, const layout_options& o) {
  // Lengths in frames of the black pieces and bumpers, unless cut off by the ends.
  const std::map<piece_kind, std::pair<std::int64_t, std::int64_t>> lengths = {
      {piece_kind::separator, {3, 12}},
      {piece_kind::boundary, {8, 30}},
      {piece_kind::bumper, {3 * FPS, 6 * FPS}}};
  const std::size_t n = l.pieces.size();
  ASSERT_GT(n, 0u);
  EXPECT_EQ(l.pieces.back().end, o.frames);
  std::vector<block> runs;
  std::size_t first = 0;  // The current block's first piece.
  bool bumper_before = false, bumper_after = false;
  for (std::size_t k = 0; k < n; ++k) {
    const piece& q = l.pieces[k];
    EXPECT_LT(q.start, q.end);
    EXPECT_EQ(q.start, k > 0 ? l.pieces[k - 1].end : 0) << "piece " << k;
    if (q.kind == piece_kind::programme) continue;
    if (k == 0 || l.pieces[k - 1].kind == piece_kind::programme) {
      runs.emplace_back();
      first = k;
      bumper_before = bumper_after = false;
    }
    block& b = runs.back();
    if (q.kind != piece_kind::spot) {
      const auto [shortest, longest] = lengths.at(q.kind);
      const bool clipped = q.start == 0 || q.end == o.frames;
      EXPECT_TRUE(clipped || (q.end - q.start >= shortest && q.end - q.start <= longest));
      if (q.kind == piece_kind::bumper) (b.spots > 0 ? bumper_after : bumper_before) = true;
      // After a bumper that follows the spots, the outer edge is the block's last piece.
      if (bumper_after) b.outer_end2 = q.end == o.frames ? 2 * o.frames : middle2(q);
      continue;
    }
    const bool next_in = k + 1 < n && l.pieces[k + 1].kind != piece_kind::programme;
    const std::int64_t before = k > first ? middle2(l.pieces[k - 1]) : 0;
    const std::int64_t after = next_in ? middle2(l.pieces[k + 1]) : 2 * o.frames;
    if (b.spots++ == 0) {
      b.start2 = before;
      const piece& f = l.pieces[first];
      b.outer_start2 = !bumper_before ? before : f.start == 0 ? 0 : middle2(f);
    }
    b.end2 = b.outer_end2 = after;
    if (k > first && next_in) {
      EXPECT_TRUE(is_edge(l.pieces[k - 1]) && is_edge(l.pieces[k + 1]));
      // The grid: middle to middle a whole number of 5 s, from 10 to 60 s.
      EXPECT_EQ((after - before) % (2 * SPOT_GRID), 0) << "spot at frame " << q.start;
      EXPECT_GE(after - before, 2 * 10 * FPS);
      EXPECT_LE(after - before, 2 * 60 * FPS);
    }
  }
  const auto edges = [](const block& b) {
    return std::tuple(b.start2, b.end2, b.outer_start2, b.outer_end2, b.spots);
  };
  ASSERT_EQ(l.blocks.size(), static_cast<std::size_t>(o.blocks));
  ASSERT_EQ(runs.size(), l.blocks.size());
  for (std::size_t k = 0; k < runs.size(); ++k) {
    EXPECT_EQ(edges(l.blocks[k]), edges(runs[k])) << "block " << k;
    const bool cut = runs[k].start2 == 0 || runs[k].end2 == 2 * o.frames;
    EXPECT_TRUE(cut || (runs[k].spots >= o.min_spots && runs[k].spots <= o.max_spots));
  }
  EXPECT_EQ(l.blocks.front().start2 == 0, o.start_in_block);
  EXPECT_EQ(l.blocks.back().end2 == 2 * o.frames, o.end_in_block);
  // Traps: inside programme parts, 3 s or more from their edges, never overlapping.
  layout_cursor at(l);
  for (std::size_t t = 0; t < l.traps.size(); ++t) {
    const trap& x = l.traps[t];
    const piece& p = at.piece_at(x.start);
    EXPECT_EQ(p.kind, piece_kind::programme);
    EXPECT_GE(x.start, p.start + 3 * FPS);
    EXPECT_LE(x.end, p.end - 3 * FPS);
    EXPECT_GE(x.start, t > 0 ? l.traps[t - 1].end : 0);
  }
}

TEST(BroadcastLayout, EveryLayoutKeepsTheGridAndItsTruthEdges) {
  // Seed, frames, blocks, fewest and most spots, starting or ending inside a block.
  const layout_options shapes[] = {
      {0, 28 * MINUTE, 3, 3, 8, false, false},    {0, 28 * MINUTE, 2, 3, 8, true, false},
      {0, 29 * MINUTE, 3, 3, 8, true, true},      {0, 25 * MINUTE, 2, 3, 8, false, true},
      {0, 5 * MINUTE / 2, 1, 3, 4, false, false}, {0, 3 * MINUTE, 2, 3, 4, true, true}};
  for (layout_options o : shapes) {
    for (o.seed = 1; o.seed <= 12; ++o.seed) {
      std::string reason;
      const layout l = make_layout(o, &reason);
      SCOPED_TRACE("seed " + std::to_string(o.seed) + ", " + std::to_string(o.frames) + " frames");
      ASSERT_TRUE(reason.empty()) << reason;
      check_layout(l, o);
      EXPECT_GE(l.traps.size(), o.frames >= 25 * MINUTE ? 20u : 0u);  // Every kind, several times.
      EXPECT_EQ(truth_text(l, ""), truth_text(make_layout(o, &reason), ""));
    }
  }
}

TEST(BroadcastLayout, RefusesWhatCannotBeMade) {
  const std::string spots = "spots per block must be at least 3, the most no fewer than the least";
  const std::pair<layout_options, std::string> cases[] = {
      {{1, 30 * MINUTE, 1, 3, 8, true, true},
       "a recording that starts and ends inside a block needs 2 blocks or more"},
      {{1, 30 * MINUTE, 2, 2, 8, false, false}, spots},
      {{1, 30 * MINUTE, 2, 5, 4, false, false}, spots},
      {{1, 1 * MINUTE, 1, 3, 8, false, false},
       "the recording is too short or too long for its blocks"},
  };
  for (const auto& [o, why] : cases) {
    std::string reason;
    EXPECT_TRUE(make_layout(o, &reason).pieces.empty());
    EXPECT_EQ(reason, why);
  }
}

TEST(BroadcastLayout, TruthTextNamesEveryItemInTimeOrder) {
  using enum piece_kind;
  layout l;
  l.frames = 1001;
  l.pieces = {{programme, 0, 400}, {boundary, 400, 409},
              {spot, 409, 652},    {separator, 652, 655, separator_kind::grey},
              {spot, 655, 900},    {separator, 900, 905, separator_kind::loud},
              {bumper, 905, 1000}, {boundary, 1000, 1001}};
  l.traps = {{trap_kind::blackframe, 10, 11, 0, 0, 0},
             {trap_kind::fade, 100, 140, 12, 13, -63.25},
             {trap_kind::dark, 200, 330, 0, 0, -51.04},
             {trap_kind::quietbright, 340, 390, 0, 0, -55}};
  l.blocks = {{809, 1805, 809, 2001, 2}};
  cutspot::testing::expect_golden("truth.txt", truth_text(l, "# about\n"));
}

}  // namespace
