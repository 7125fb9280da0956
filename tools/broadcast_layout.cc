#include "broadcast_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace broadcast {

namespace {

constexpr std::int64_t SECOND = FPS;
constexpr std::int64_t MINUTE = 60 * FPS;

// Spot lengths in seconds, weighted as booked: mostly 15, 20 and 30.
constexpr int SPOT_SECONDS[] = {10, 10, 15, 15, 15, 15, 20, 20, 20,
                                20, 25, 30, 30, 30, 30, 40, 45, 60};

// One block on its own time line, starting at 0.
struct block_plan {
  std::vector<piece> pieces;
  block edges;                       // Half frames from the plan's start.
  std::vector<std::size_t> spot_at;  // Indices of the spots in pieces.
  std::int64_t length = 0;
};

void append(std::vector<piece>* out, piece p, std::int64_t length) {
  p.start = out->empty() ? 0 : out->back().end;
  p.end = p.start + length;
  out->push_back(p);
}

piece black_gap(piece_kind kind) {
  piece p;
  p.kind = kind;
  return p;
}

// Separator and grid boundary lengths share the block's parity, so that every middle
// falls on the same half-frame phase and the 5 s grid holds between all of them.
std::int64_t with_parity(rng& r, std::int64_t lo, std::int64_t hi, int parity) {
  std::int64_t n = r.between(lo, hi);
  return (n % 2 == parity) ? n : (n + 1 <= hi ? n + 1 : n - 1);
}

block_plan plan_block(rng& r, int min_spots, int max_spots) {
  block_plan b;
  const int parity = static_cast<int>(r.between(0, 1));
  const int spots = static_cast<int>(r.between(min_spots, max_spots));
  const bool bumper_before = r.chance(0.35);
  const bool bumper_after = r.chance(0.35);

  std::vector<std::int64_t> grid(spots);  // Each spot's length, middle to middle.
  for (auto& g : grid) g = SPOT_SECONDS[r.between(0, std::size(SPOT_SECONDS) - 1)] * SECOND;
  std::vector<piece> edge(spots + 1);
  std::vector<std::int64_t> edge_len(spots + 1);
  for (int i = 0; i <= spots; ++i) {
    bool outer = (i == 0 && !bumper_before) || (i == spots && !bumper_after);
    if (outer) {
      edge[i] = black_gap(piece_kind::boundary);
      edge_len[i] = with_parity(r, 8, 30, parity);  // 0.32 to 1.2 s.
      continue;
    }
    edge[i] = black_gap(piece_kind::separator);
    edge_len[i] = with_parity(r, 3, 12, parity);
    bool inner = i > 0 && i < spots;
    double k = r.real();
    if (inner && k < 0.15) {
      edge[i].separator = separator_kind::grey;
      edge[i].grey = static_cast<int>(r.between(24, 30));
    } else if (inner && k < 0.25) {
      edge[i].separator = separator_kind::loud;
    }
  }

  auto bumper = [&] {
    piece p;
    p.kind = piece_kind::bumper;
    p.look = r.next();
    append(&b.pieces, p, r.between(3 * SECOND, 6 * SECOND));
  };
  if (bumper_before) {
    append(&b.pieces, black_gap(piece_kind::boundary), r.between(8, 30));
    bumper();
  }
  for (int i = 0; i <= spots; ++i) {
    append(&b.pieces, edge[i], edge_len[i]);
    if (i == spots) break;
    piece s;
    s.kind = piece_kind::spot;
    s.look = r.next();
    b.spot_at.push_back(b.pieces.size());
    append(&b.pieces, s, grid[i] - (edge_len[i] + edge_len[i + 1]) / 2);
  }
  if (bumper_after) {
    bumper();
    append(&b.pieces, black_gap(piece_kind::boundary), r.between(8, 30));
  }
  auto middle2 = [](const piece& p) { return p.start + p.end; };
  const piece& first_edge = b.pieces[b.spot_at.front() - 1];
  const piece& last_edge = b.pieces[b.spot_at.back() + 1];
  b.edges.start2 = middle2(first_edge);
  b.edges.end2 = middle2(last_edge);
  b.edges.outer_start2 = bumper_before ? middle2(b.pieces.front()) : b.edges.start2;
  b.edges.outer_end2 = bumper_after ? middle2(b.pieces.back()) : b.edges.end2;
  b.edges.spots = spots;
  b.length = b.pieces.back().end;
  return b;
}

struct trap_shape {
  trap_kind kind;
  double per_minute;
};

// Places the traps in the programme parts: never overlapping, 3 s or more from a part's
// edges, and about a third of them close to a block, where they do the most harm.
void place_traps(rng& r, layout* l) {
  std::vector<const piece*> parts;
  std::int64_t total = 0;
  for (const piece& p : l->pieces) {
    if (p.kind == piece_kind::programme && p.end - p.start > 20 * SECOND) {
      parts.push_back(&p);
      total += p.end - p.start;
    }
  }
  if (parts.empty()) return;
  const double minutes = static_cast<double>(total) / MINUTE;
  const trap_shape shapes[] = {{trap_kind::fade, 0.5},
                               {trap_kind::dark, 0.25},
                               {trap_kind::quietbright, 0.25},
                               {trap_kind::blackframe, 0.3}};
  for (const trap_shape& shape : shapes) {
    int count = std::max(1, static_cast<int>(std::lround(minutes * shape.per_minute)));
    for (int n = 0; n < count; ++n) {
      trap t;
      t.kind = shape.kind;
      std::int64_t length = 1;
      switch (shape.kind) {
        case trap_kind::fade:
          t.fade_out = static_cast<int>(r.between(12, 25));
          t.fade_in = static_cast<int>(r.between(12, 25));
          length = t.fade_out + r.between(5, 25) + t.fade_in;
          t.level_db = r.chance(0.5) ? r.real(-75, -63) : r.real(-42, -38);
          break;
        case trap_kind::dark:
          length = r.between(5 * SECOND, 30 * SECOND);
          t.level_db = r.real(-62, -46);
          break;
        case trap_kind::quietbright:
          length = r.between(2 * SECOND, 10 * SECOND);
          t.level_db = r.real(-58, -50);
          break;
        case trap_kind::blackframe:
          break;
      }
      for (int attempt = 0; attempt < 100; ++attempt) {
        std::int64_t pick = r.between(0, total - 1);
        const piece* part = parts.front();
        for (const piece* p : parts) {
          part = p;
          if (pick < p->end - p->start) break;
          pick -= p->end - p->start;
        }
        const std::int64_t lo = part->start + 3 * SECOND;
        const std::int64_t hi = part->end - 3 * SECOND - length;
        if (hi <= lo) continue;
        std::int64_t at = r.between(lo, hi);
        if (r.chance(0.35)) {
          std::int64_t near = r.between(0, 27 * SECOND);
          at = r.chance(0.5) && part->start > 0 ? lo + near : hi - near;
          at = std::clamp(at, lo, hi);
        }
        bool clear = std::none_of(l->traps.begin(), l->traps.end(), [&](const trap& o) {
          return at < o.end + 5 * SECOND && o.start < at + length + 5 * SECOND;
        });
        if (!clear) continue;
        t.start = at;
        t.end = at + length;
        l->traps.push_back(t);
        break;
      }
    }
  }
  std::sort(l->traps.begin(), l->traps.end(),
            [](const trap& a, const trap& b) { return a.start < b.start; });
}

// One attempt at the whole layout; false when the programme parts came out of range.
bool try_layout(rng& r, const layout_options& o, int blocks, layout* l) {
  std::vector<block_plan> plans;
  for (int i = 0; i < blocks; ++i) plans.push_back(plan_block(r, o.min_spots, o.max_spots));

  // The recording runs over [offset, offset + frames) of the virtual time line.
  std::int64_t offset = 0;
  if (o.start_in_block) {
    const piece& s = plans.front().pieces[plans.front().spot_at[1]];
    offset = s.start + std::min<std::int64_t>(20 * SECOND, (s.end - s.start) / 2);
  }
  std::int64_t last_used = plans.back().length;
  if (o.end_in_block) {
    const block_plan& b = plans.back();
    const piece& s = b.pieces[b.spot_at[b.spot_at.size() - 2]];
    last_used = s.start + (s.end - s.start) / 2;
  }
  std::int64_t in_blocks = last_used;
  for (int i = 0; i + 1 < blocks; ++i) in_blocks += plans[i].length;
  const int parts = blocks + 1 - o.start_in_block - o.end_in_block;
  const std::int64_t programme = offset + o.frames - in_blocks;

  // Programme parts of 4 to 12 minutes in a recording of 25 minutes or more, scaled down
  // for shorter ones.
  const double scale = std::min(1.0, static_cast<double>(o.frames) / (25 * MINUTE));
  const auto min_part = static_cast<std::int64_t>(4 * MINUTE * scale);
  const auto max_part = static_cast<std::int64_t>(12 * MINUTE * std::max(scale, 0.5));
  std::vector<double> weight(parts);
  double sum = 0;
  for (double& w : weight) sum += (w = r.real(0.7, 1.3));
  std::vector<std::int64_t> part_len(parts);
  std::int64_t left = programme;
  for (int i = 0; i < parts; ++i) {
    part_len[i] = i + 1 < parts ? static_cast<std::int64_t>(programme * weight[i] / sum) : left;
    left -= part_len[i];
    if (part_len[i] < min_part || part_len[i] > max_part) return false;
  }

  std::vector<piece> line;
  std::vector<std::int64_t> block_at;  // Each plan's start on the virtual line.
  int next_part = 0;
  auto programme_part = [&] {
    piece p;
    p.look = r.next();
    append(&line, p, part_len[next_part++]);
  };
  if (!o.start_in_block) programme_part();
  for (int i = 0; i < blocks; ++i) {
    block_at.push_back(line.empty() ? 0 : line.back().end);
    for (piece p : plans[i].pieces) append(&line, p, p.end - p.start);
    if (i + 1 < blocks || !o.end_in_block) programme_part();
  }

  l->frames = o.frames;
  const std::int64_t end = offset + o.frames;
  for (piece p : line) {
    if (p.end <= offset || p.start >= end) continue;
    p.start = std::max(p.start, offset) - offset;
    p.end = std::min(p.end, end) - offset;
    l->pieces.push_back(p);
  }
  for (int i = 0; i < blocks; ++i) {
    block b = plans[i].edges;
    const std::int64_t shift = 2 * (block_at[i] - offset);
    auto clip = [&](std::int64_t h) {
      return std::clamp(h + shift, std::int64_t{0}, 2 * o.frames);
    };
    b.start2 = clip(b.start2);
    b.end2 = clip(b.end2);
    b.outer_start2 = clip(b.outer_start2);
    b.outer_end2 = clip(b.outer_end2);
    b.spots = 0;
    for (std::size_t k : plans[i].spot_at) {
      const piece& s = plans[i].pieces[k];
      if (block_at[i] + s.end > offset && block_at[i] + s.start < end) ++b.spots;
    }
    l->blocks.push_back(b);
  }
  place_traps(r, l);
  return true;
}

std::string seconds(std::int64_t half_frames) {
  const std::int64_t ms = half_frames * 1000 / (2 * FPS);
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  return text;
}

const char* separator_name(separator_kind k) {
  switch (k) {
    case separator_kind::black:
      return "black";
    case separator_kind::grey:
      return "grey";
    case separator_kind::loud:
      return "loud";
  }
  return "?";
}

}  // namespace

layout make_layout(const layout_options& o, std::string* reason) {
  int blocks = o.blocks;
  rng r{o.seed};
  if (blocks == 0) blocks = o.frames < 10 * MINUTE ? 1 : static_cast<int>(r.between(2, 3));
  if (o.start_in_block && o.end_in_block && blocks < 2) {
    *reason = "a recording that starts and ends inside a block needs 2 blocks or more";
    return {};
  }
  if (o.min_spots < 3 || o.max_spots < o.min_spots) {
    *reason = "spots per block must be at least 3, the most no fewer than the least";
    return {};
  }
  for (int attempt = 0; attempt < 500; ++attempt) {
    layout l;
    if (try_layout(r, o, blocks, &l)) return l;
  }
  *reason = "the recording is too short or too long for its blocks";
  return {};
}

std::string truth_text(const layout& l, const std::string& about) {
  std::string out = about;
  out +=
      "# Times in seconds from the start of the recording. Items, in time order:\n"
      "#   length SECONDS                  the whole recording\n"
      "#   block START END OUTER_START OUTER_END\n"
      "#       an advertising block: from the middle of the separator (or boundary) before\n"
      "#       its first spot to the middle of the one after its last spot, or the\n"
      "#       recording's start or end inside it; OUTER_* include the station idents\n"
      "#       next to it and equal START/END where there is none\n"
      "#   programme START END             a programme part\n"
      "#   boundary START END              black and silent, between programme and block\n"
      "#   bumper START END                a station ident next to a block\n"
      "#   separator START END KIND        between spots: black (and silent), grey (dark\n"
      "#                                   grey, silent) or loud (black, sound goes on)\n"
      "#   spot START END                  a spot's own pictures; middle to middle of the\n"
      "#                                   separators around it is a multiple of 5 s\n"
      "#   fade START END DIP_DB           a fade to black and back inside the programme;\n"
      "#                                   the sound dips to DIP_DB dBFS in the black\n"
      "#   dark START END ROOM_DB          a dark scene with dialogue, its pauses at ROOM_DB\n"
      "#   quietbright START END           a bright scene with near-silent sound\n"
      "#   blackframe T                    one black frame at T, the sound going on\n";
  out += "length " + seconds(2 * l.frames) + "\n";
  for (const block& b : l.blocks) {
    out += "block " + seconds(b.start2) + " " + seconds(b.end2) + " " + seconds(b.outer_start2) +
           " " + seconds(b.outer_end2) + "\n";
  }
  // Pieces and the traps inside them, merged in time order.
  std::size_t t = 0;
  auto traps_before = [&](std::int64_t frame) {
    for (; t < l.traps.size() && l.traps[t].start < frame; ++t) {
      const trap& x = l.traps[t];
      const std::string span = seconds(2 * x.start) + " " + seconds(2 * x.end);
      char level[16];
      switch (x.kind) {
        case trap_kind::fade:
          std::snprintf(level, sizeof level, "%.1f", x.level_db);
          out += "fade " + span + " " + level + "\n";
          break;
        case trap_kind::dark:
          std::snprintf(level, sizeof level, "%.1f", x.level_db);
          out += "dark " + span + " " + level + "\n";
          break;
        case trap_kind::quietbright:
          out += "quietbright " + span + "\n";
          break;
        case trap_kind::blackframe:
          out += "blackframe " + seconds(2 * x.start) + "\n";
          break;
      }
    }
  };
  for (const piece& p : l.pieces) {
    traps_before(p.start);
    const std::string span = seconds(2 * p.start) + " " + seconds(2 * p.end);
    switch (p.kind) {
      case piece_kind::programme:
        out += "programme " + span + "\n";
        break;
      case piece_kind::boundary:
        out += "boundary " + span + "\n";
        break;
      case piece_kind::bumper:
        out += "bumper " + span + "\n";
        break;
      case piece_kind::separator:
        out += "separator " + span + " " + separator_name(p.separator) + "\n";
        break;
      case piece_kind::spot:
        out += "spot " + span + "\n";
        break;
    }
  }
  traps_before(l.frames + 1);
  return out;
}

const piece& layout_cursor::piece_at(std::int64_t frame) {
  while (piece_ + 1 < l_.pieces.size() && l_.pieces[piece_].end <= frame) ++piece_;
  return l_.pieces[piece_];
}

const trap* layout_cursor::trap_at(std::int64_t frame) {
  while (trap_ < l_.traps.size() && l_.traps[trap_].end <= frame) ++trap_;
  if (trap_ < l_.traps.size() && l_.traps[trap_].start <= frame) return &l_.traps[trap_];
  return nullptr;
}

}  // namespace broadcast
