// The broadcast generator's layout and truth: what bench/breaks scores against must be
// exactly what the recording holds.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// Checks every invariant of one layout; the blocks are the runs of pieces between
// programme parts, in order.
void check_layout(const layout& l, const layout_options& o, int blocks) {
  ASSERT_FALSE(l.pieces.empty());
  EXPECT_EQ(l.pieces.front().start, 0);
  EXPECT_EQ(l.pieces.back().end, o.frames);
  for (std::size_t i = 1; i < l.pieces.size(); ++i)
    EXPECT_EQ(l.pieces[i].start, l.pieces[i - 1].end) << "piece " << i;
  std::vector<block> runs;
  for (std::size_t i = 0; i < l.pieces.size();) {
    const piece& p = l.pieces[i];
    EXPECT_LT(p.start, p.end);
    if (p.kind == piece_kind::programme) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < l.pieces.size() && l.pieces[end].kind != piece_kind::programme) ++end;
    block b;
    bool bumper_before = false, bumper_after = false, spot_seen = false;
    for (std::size_t k = i; k < end; ++k) {
      const piece& q = l.pieces[k];
      const std::int64_t len = q.end - q.start;
      const bool clipped = q.start == 0 || q.end == o.frames;
      switch (q.kind) {
        case piece_kind::separator:
        case piece_kind::boundary:
        case piece_kind::bumper: {
          // Lengths in frames, unless cut off by the recording's ends.
          const std::int64_t shortest = q.kind == piece_kind::separator  ? 3
                                        : q.kind == piece_kind::boundary ? 8
                                                                         : 3 * FPS;
          const std::int64_t longest = q.kind == piece_kind::separator  ? 12
                                       : q.kind == piece_kind::boundary ? 30
                                                                        : 6 * FPS;
          EXPECT_TRUE(clipped || (len >= shortest && len <= longest)) << len;
          if (q.kind == piece_kind::bumper) (spot_seen ? bumper_after : bumper_before) = true;
          break;
        }
        case piece_kind::spot: {
          const bool first = !spot_seen;
          spot_seen = true;
          ++b.spots;
          const std::int64_t before = k > i ? middle2(l.pieces[k - 1]) : 0;
          const std::int64_t after = k + 1 < end ? middle2(l.pieces[k + 1]) : 2 * o.frames;
          if (first) b.start2 = before;
          b.end2 = after;
          if (k > i && k + 1 < end) {
            EXPECT_TRUE(is_edge(l.pieces[k - 1]) && is_edge(l.pieces[k + 1]));
            // The grid: middle to middle a whole number of 5 s, from 10 to 60 s.
            EXPECT_EQ((after - before) % (2 * SPOT_GRID), 0) << "spot at frame " << q.start;
            EXPECT_GE(after - before, 2 * 10 * FPS);
            EXPECT_LE(after - before, 2 * 60 * FPS);
          }
          break;
        }
        default:
          ADD_FAILURE() << "a programme piece inside a block";
      }
    }
    b.outer_start2 = bumper_before ? (l.pieces[i].start == 0 ? 0 : middle2(l.pieces[i])) : b.start2;
    b.outer_end2 = bumper_after ? (l.pieces[end - 1].end == o.frames ? 2 * o.frames
                                                                     : middle2(l.pieces[end - 1]))
                                : b.end2;
    runs.push_back(b);
    i = end;
  }
  ASSERT_EQ(l.blocks.size(), static_cast<std::size_t>(blocks));
  ASSERT_EQ(runs.size(), l.blocks.size());
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const auto edges = [](const block& b) {
      return std::tuple(b.start2, b.end2, b.outer_start2, b.outer_end2, b.spots);
    };
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
  struct shape {
    double minutes;
    int blocks, min_spots, max_spots;
    bool start_in, end_in;
  };
  const shape shapes[] = {{28, 3, 3, 8, false, false},  {28, 2, 3, 8, true, false},
                          {29, 3, 3, 8, true, true},    {25, 2, 3, 8, false, true},
                          {2.5, 1, 3, 4, false, false}, {3, 2, 3, 4, true, true}};
  for (const shape& s : shapes) {
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
      layout_options o;
      o.seed = seed;
      o.frames = static_cast<std::int64_t>(s.minutes * MINUTE);
      o.blocks = s.blocks;
      o.min_spots = s.min_spots;
      o.max_spots = s.max_spots;
      o.start_in_block = s.start_in;
      o.end_in_block = s.end_in;
      std::string reason;
      const layout l = make_layout(o, &reason);
      SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(s.minutes) + " min");
      ASSERT_TRUE(reason.empty()) << reason;
      check_layout(l, o, s.blocks);
      EXPECT_GE(l.traps.size(), s.minutes >= 25 ? 20u : 0u);  // Every kind, several times.
      EXPECT_EQ(truth_text(l, ""), truth_text(make_layout(o, &reason), ""));
    }
  }
}

TEST(BroadcastLayout, RefusesWhatCannotBeMade) {
  struct refusal {
    layout_options o;
    const char* reason;
  };
  const refusal cases[] = {
      {{1, 30 * MINUTE, 1, 3, 8, true, true},
       "a recording that starts and ends inside a block needs 2 blocks or more"},
      {{1, 30 * MINUTE, 2, 2, 8, false, false},
       "spots per block must be at least 3, the most no fewer than the least"},
      {{1, 30 * MINUTE, 2, 5, 4, false, false},
       "spots per block must be at least 3, the most no fewer than the least"},
      {{1, 1 * MINUTE, 1, 3, 8, false, false},
       "the recording is too short or too long for its blocks"},
  };
  for (const refusal& c : cases) {
    std::string reason;
    EXPECT_TRUE(make_layout(c.o, &reason).pieces.empty());
    EXPECT_EQ(reason, c.reason);
  }
}

TEST(BroadcastLayout, TruthTextNamesEveryItemInTimeOrder) {
  layout l;
  l.frames = 1001;
  auto add = [&](piece_kind k, std::int64_t a, std::int64_t b,
                 separator_kind s = separator_kind::black) {
    piece p;
    p.kind = k;
    p.start = a;
    p.end = b;
    p.separator = s;
    l.pieces.push_back(p);
  };
  add(piece_kind::programme, 0, 400);
  add(piece_kind::boundary, 400, 409);
  add(piece_kind::spot, 409, 652);
  add(piece_kind::separator, 652, 655, separator_kind::grey);
  add(piece_kind::spot, 655, 900);
  add(piece_kind::separator, 900, 905, separator_kind::loud);
  add(piece_kind::bumper, 905, 1000);
  add(piece_kind::boundary, 1000, 1001);
  l.traps = {{trap_kind::blackframe, 10, 11, 0, 0, 0},
             {trap_kind::fade, 100, 140, 12, 13, -63.25},
             {trap_kind::dark, 200, 330, 0, 0, -51.04},
             {trap_kind::quietbright, 340, 390, 0, 0, -55}};
  l.blocks = {{809, 1805, 809, 2001, 2}};
  const std::string text = truth_text(l, "# about\n");
  const std::string items = text.substr(text.find("\nlength") + 1);
  EXPECT_EQ(text.rfind("# about\n# Times", 0), 0u);
  cutspot::testing::expect_golden("truth.txt", items);
}

}  // namespace
