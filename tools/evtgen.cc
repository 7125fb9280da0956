// evtgen: writes a synthetic event file of a TV recording to standard output.
//
// The recording alternates bright, loud programme with short breaks where the picture
// goes dark and the sound quiet, as around advertising. Audio records come about every
// 20 ms and video records about every 40 ms. The output depends only on the options, so
// tests and benchmarks can rebuild the same file anywhere.
//
//   evtgen [--seconds N] [--bytes N] [--seed N] [--loudest N] [--break-every N]
//   evtgen --help   (or -h: the usage line on standard output, status 0)
//
//   --seconds N      length of the recording (default 240)
//   --bytes N        stop at the last whole record within N bytes instead
//   --seed N         seed of the pseudo-random variation (default 1)
//   --loudest N      the largest raw audio value (default 5000: level mode; above 5000
//                    the file is in gap mode)
//   --break-every N  mean seconds between breaks (default 60)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/time_units.h"
#include "synthetic_recording.h"

namespace {

constexpr const char* USAGE =
    "usage: evtgen [--seconds N] [--bytes N] [--seed N] [--loudest N] [--break-every N]\n";

struct options {
  bool help = false;
  std::uint64_t seconds = 240;
  std::uint64_t bytes = 0;
  cutspot::recording_settings recording;
};

bool parse(int argc, char** argv, options* o) {
  for (int i = 1; i < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      o->help = true;
      return true;
    }
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    std::uint64_t v = std::strtoull(argv[i + 1], &end, 10);
    if (*end != '\0') return false;
    if (name == "--seconds") {
      o->seconds = v;
    } else if (name == "--bytes") {
      o->bytes = v;
    } else if (name == "--seed") {
      o->recording.seed = v;
    } else if (name == "--loudest") {
      o->recording.loudest = static_cast<std::uint32_t>(v);
    } else if (name == "--break-every" && v > 0) {
      o->recording.break_every = v;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse(argc, argv, &o) || o.recording.loudest < 10) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  if (o.help) {
    std::fputs(USAGE, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  cutspot::synthetic_recording recording(o.recording);
  const std::int64_t end_ns =
      o.bytes != 0 ? INT64_MAX : static_cast<std::int64_t>(o.seconds) * cutspot::NS_PER_SECOND;
  const std::uint64_t limit = o.bytes != 0 ? o.bytes : UINT64_MAX;

  std::vector<unsigned char> buffer(sizeof cutspot::SYNTHETIC_HEADER);
  std::copy_n(cutspot::SYNTHETIC_HEADER, sizeof cutspot::SYNTHETIC_HEADER, buffer.begin());
  std::uint64_t written = 0;
  auto flush = [&] {
    if (std::fwrite(buffer.data(), 1, buffer.size(), stdout) != buffer.size()) {
      std::perror("evtgen: write");
      std::exit(1);
    }
    written += buffer.size();
    buffer.clear();
  };
  while (written + buffer.size() + 24 <= limit && recording.next_time() < end_ns) {
    buffer.resize(buffer.size() + 24);
    recording.next_record(buffer.data() + buffer.size() - 24);
    if (buffer.size() >= (1 << 20)) flush();
  }
  flush();
  return 0;
}
