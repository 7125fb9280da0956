// The structure of a synthetic broadcast recording: programme parts with their traps and
// advertising blocks of spots, in frames of 25 per second, drawn from a seed. The picture
// and the sound (broadcast_picture.h, broadcast_sound.h) are rendered from it, and its
// truth text tells a scorer exactly where every block, spot and trap lies.
//
// Spots sit on a 5-second grid: from the middle of the separator (or boundary) before a
// spot to the middle of the one after it is a whole multiple of 5 s, as broadcasters
// book them. A block's truth edges are those middles; its outer edges include the
// station idents (bumpers) next to it.
#ifndef CUTSPOT_TOOLS_BROADCAST_LAYOUT_H_
#define CUTSPOT_TOOLS_BROADCAST_LAYOUT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace broadcast {

inline constexpr int FPS = 25;
inline constexpr int SPOT_GRID = 5 * FPS;  // Frames.

// splitmix64: small, and the same sequence on every platform and standard library.
struct rng {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // lo..hi, both included.
  std::int64_t between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  double real() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
  double real(double lo, double hi) { return lo + (hi - lo) * real(); }
  bool chance(double p) { return real() < p; }
};

enum class piece_kind { programme, boundary, bumper, separator, spot };
// A loud separator is black but not silent.
enum class separator_kind { black, grey, loud };
enum class trap_kind { fade, dark, quietbright, blackframe };

// Pieces tile the recording: [start, end) in frames.
struct piece {
  piece_kind kind = piece_kind::programme;
  std::int64_t start = 0;
  std::int64_t end = 0;
  separator_kind separator = separator_kind::black;
  int grey = 16;           // The luma of a separator's picture.
  std::uint64_t look = 0;  // Seeds a spot's or programme part's picture and sound.
};

// Traps lie inside programme pieces, at least 3 s from their edges.
struct trap {
  trap_kind kind = trap_kind::fade;
  std::int64_t start = 0;
  std::int64_t end = 0;
  int fade_out = 0;  // A fade's frames going dark, then black, then fade_in frames.
  int fade_in = 0;
  double level_db = 0;  // dBFS: a fade's black, a quiet bright scene, a dark scene's pauses.
};

// Edges in half frames, so that the middle of a separator of odd length is exact.
struct block {
  std::int64_t start2 = 0;
  std::int64_t end2 = 0;
  std::int64_t outer_start2 = 0;
  std::int64_t outer_end2 = 0;
  int spots = 0;  // Including spots cut by the recording's start or end.
};

struct layout_options {
  std::uint64_t seed = 1;
  std::int64_t frames = 0;
  int blocks = 0;  // 0: one below 10 minutes, else 2 or 3 from the seed.
  int min_spots = 3;
  int max_spots = 8;
  bool start_in_block = false;  // The recording starts 20 s into a block's second spot.
  bool end_in_block = false;    // It ends in the middle of a spot of its last block.
};

struct layout {
  std::int64_t frames = 0;
  std::vector<piece> pieces;  // In time order.
  std::vector<trap> traps;    // In time order.
  std::vector<block> blocks;  // In time order.
};

// Fails (empty pieces and a reason) only for impossible options: too short a recording
// for its blocks, or a block both starting and ending it.
layout make_layout(const layout_options& options, std::string* reason);

// The truth file: a comment header explaining it (starting with the lines of `about`),
// then one item per line in time order, times in seconds with 3 decimals.
std::string truth_text(const layout& l, const std::string& about);

// Walks a layout frame by frame, in increasing frame order.
class layout_cursor {
 public:
  explicit layout_cursor(const layout& l) : l_(l) {}
  const piece& piece_at(std::int64_t frame);
  std::size_t piece_index() const { return piece_; }
  const trap* trap_at(std::int64_t frame);  // Null outside traps.

 private:
  const layout& l_;
  std::size_t piece_ = 0;
  std::size_t trap_ = 0;
};

}  // namespace broadcast

#endif  // CUTSPOT_TOOLS_BROADCAST_LAYOUT_H_
