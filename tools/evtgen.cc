// evtgen: writes a synthetic event file of a TV recording to standard output.
//
// The recording alternates bright, loud programme with short breaks where the picture
// goes dark and the sound quiet, as around advertising. Audio records come about every
// 20 ms and video records about every 40 ms. The output depends only on the options, so
// tests and benchmarks can rebuild the same file anywhere.
//
//   evtgen [--seconds N] [--bytes N] [--seed N] [--loudest N] [--break-every N]
//
//   --seconds N      length of the recording (default 240)
//   --bytes N        stop at the last whole record within N bytes instead
//   --seed N         seed of the pseudo-random variation (default 1)
//   --loudest N      the largest raw audio value (default 5000: level mode; above 5000
//                    the file is in gap mode)
//   --break-every N  mean seconds between breaks (default 60)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct options {
  std::uint64_t seconds = 240;
  std::uint64_t bytes = 0;
  std::uint64_t seed = 1;
  std::uint32_t loudest = 5000;
  std::uint64_t break_every = 60;
};

// xorshift64*: small, fast and the same on every platform.
struct random_bits {
  std::uint64_t state;
  std::uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
  }
  // Uniform enough in [lo, hi].
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + next() % (hi - lo + 1); }
};

void put_be(unsigned char* p, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<unsigned char>(v);
}

class writer {
 public:
  explicit writer(std::uint64_t limit) : limit_(limit) {}
  ~writer() { flush(); }
  bool full() const { return limit_ != 0 && written_ + buffer_.size() + 24 > limit_; }
  void header() { buffer_.insert(buffer_.end(), {'C', 'S', 'E', 'V', 'T', 0, 0, 1}); }
  void record(std::int64_t ns, std::uint32_t type, std::uint32_t value, const unsigned char* s) {
    unsigned char r[24] = {};
    put_be(r, static_cast<std::uint64_t>(ns), 8);
    put_be(r + 12, type, 4);
    put_be(r + 16, value, 4);
    if (s != nullptr) std::memcpy(r + 20, s, 4);
    buffer_.insert(buffer_.end(), r, r + 24);
    if (buffer_.size() >= (1 << 20)) flush();
  }

 private:
  void flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size()) {
      std::perror("evtgen: write");
      std::exit(1);
    }
    written_ += buffer_.size();
    buffer_.clear();
  }
  std::uint64_t limit_;
  std::uint64_t written_ = 0;
  std::vector<unsigned char> buffer_;
};

bool parse(int argc, char** argv, options* o) {
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    std::string name = argv[i];
    char* end = nullptr;
    std::uint64_t v = std::strtoull(argv[i + 1], &end, 10);
    if (*end != '\0') return false;
    if (name == "--seconds")
      o->seconds = v;
    else if (name == "--bytes")
      o->bytes = v;
    else if (name == "--seed")
      o->seed = v;
    else if (name == "--loudest")
      o->loudest = static_cast<std::uint32_t>(v);
    else if (name == "--break-every" && v > 0)
      o->break_every = v;
    else
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse(argc, argv, &o) || o.loudest < 10) {
    std::fprintf(stderr,
                 "usage: evtgen [--seconds N] [--bytes N] [--seed N] [--loudest N] "
                 "[--break-every N]\n");
    return 2;
  }
  random_bits rng{o.seed * 0x9E3779B97F4A7C15ULL + 1};
  writer out(o.bytes);
  out.header();

  const std::int64_t ms = 1000000;
  const std::int64_t end_ns =
      o.bytes != 0 ? INT64_MAX : static_cast<std::int64_t>(o.seconds) * 1000 * ms;
  // Breaks: [break_start, break_end) dark and quiet.
  std::int64_t break_start =
      static_cast<std::int64_t>(rng.between(o.break_every / 2 + 1, o.break_every * 3 / 2)) * 1000 *
      ms;
  std::int64_t break_end = break_start + static_cast<std::int64_t>(rng.between(400, 1600)) * ms;
  std::int64_t next_audio = 5 * ms;
  std::int64_t next_video = 12 * ms;
  std::uint32_t scene = 180;  // Mean brightness of the current scene.
  bool loudest_written = false;

  while (!out.full()) {
    std::int64_t now = next_audio < next_video ? next_audio : next_video;
    if (now >= end_ns) break;
    while (now >= break_end) {
      break_start = break_end + static_cast<std::int64_t>(
                                    rng.between(o.break_every / 2 + 1, o.break_every * 3 / 2)) *
                                    1000 * ms;
      break_end = break_start + static_cast<std::int64_t>(rng.between(400, 1600)) * ms;
    }
    const bool in_break = now >= break_start;
    if (now == next_audio) {
      std::uint32_t value;
      if (in_break) {
        value = static_cast<std::uint32_t>(rng.between(0, o.loudest / 25));
      } else if (!loudest_written) {
        value = o.loudest;  // Fixes the scale of the whole file.
        loudest_written = true;
      } else {
        value = static_cast<std::uint32_t>(rng.between(o.loudest * 2 / 5, o.loudest - 1));
      }
      out.record(now, 1, value, nullptr);
      next_audio += static_cast<std::int64_t>(rng.between(19, 21)) * ms;
    } else {
      if (rng.between(0, 200) == 0) scene = static_cast<std::uint32_t>(rng.between(90, 240));
      unsigned char s[4];
      for (unsigned char& b : s) {
        b = static_cast<unsigned char>(in_break ? rng.between(0, 24)
                                                : rng.between(scene - 15, scene + 15));
      }
      out.record(now, 2, 0, s);
      next_video += static_cast<std::int64_t>(rng.between(38, 42)) * ms;
    }
  }
  return 0;
}
