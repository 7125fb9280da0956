// Writes the seed corpus of the fuzz target into DIR/event_file,
// recordings with breaks and a few edge cases:
//
//   fuzz_make_seeds DIR
//
// Event file seeds are recordings of several minutes with breaks, so that marks after a
// reference, chapters and every document are reached from the start, with few records
// between breaks so that they fit the fuzzer's 64 KiB inputs. Their header and tail pick
// the run (see fuzz_event_file.cc).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "event_file_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace cutspot::testing;

fs::path out_dir;

void write_file(const std::string& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(out_dir / dir);
  std::ofstream f(out_dir / dir / name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) {
    std::fprintf(stderr, "fuzz_make_seeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
    std::exit(1);
  }
}

// An event file whose header picks the run (see fuzz_event_file.cc): records per read - 1,
// the option words' bits (P50: "-p50" and so on), the source, the sink, the document;
// then the rest of the command line.
constexpr unsigned P50 = 1 << 3, P300 = 1 << 4, P_ODD = 1 << 7, I10 = 1 << 10, I50 = 1 << 11;
void event_seed(const std::string& seed, unsigned block, unsigned words, unsigned source,
                const std::vector<cutspot::event_record>& records, const std::string& tail,
                unsigned sink = 0, unsigned document = 0) {
  const std::string header = {static_cast<char>(block),      static_cast<char>(words),
                              static_cast<char>(words >> 8), static_cast<char>(source),
                              static_cast<char>(sink),       static_cast<char>(document)};
  write_file("event_file", seed, header + event_file(records).substr(6) + tail);
}

// Loud, bright programme, a record of each kind every `step`, with a dark, quiet second
// of records every 40 ms every `every` seconds from 25 s on. Loudest above 5000: gap mode.
std::vector<cutspot::event_record> breaks(std::int64_t seconds, std::int64_t every,
                                          std::uint32_t loudest, std::int64_t step) {
  std::vector<cutspot::event_record> r;
  for (std::int64_t t = 20 * MS; t < seconds * SEC;) {
    const bool in_break = t >= 25 * SEC && t % (every * SEC) < SEC;
    r.insert(r.end(), {audio(t, in_break ? loudest / 100 : loudest),
                       video(t + 20 * MS, in_break ? 5 : 180)});
    const std::int64_t next_break = (t / (every * SEC) + 1) * every * SEC + 20 * MS;
    t += in_break ? 40 * MS : std::min(step, next_break - t);
  }
  return r;
}

void event_seeds() {
  const auto level = breaks(300, 40, 5000, 900 * MS);
  const auto gap = breaks(300, 40, 20000, 1500 * MS);
  const auto dense = breaks(240, 14, 4000, 700 * MS);
  event_seed("level", 3, 0, 0, level, "show.evt");
  event_seed("gap-p50-i10", 15, P50 | I10, 1, gap, "news.evt");
  event_seed("dense-p50-i50", 0, P50 | I50, 0, dense, "\xc3\x9c&<b>\"'.evt");
  event_seed("odd-options", 254, P_ODD | P300, 1, dense, "\xe2\x80\xae\xef\xbf\xbe\xe0\x80\x80");
  event_seed("control-name", 11, 0, 0, gap, "a\rD001:41.000\x1b[2J.evt");
  event_seed("c1-and-nbsp", 255, 0, 0, level, "\xc2\xa0\xc2\x85.evt");
  write_file("event_file", "empty", "");
  event_seed("header-only", 0, 0, 0, {}, "");
  // Times at the ends of the 64-bit range, backwards and repeated.
  std::vector<cutspot::event_record> r;
  for (std::int64_t t : {INT64_MIN, -1L, 0L, INT64_MAX, INT64_MAX, 5 * SEC, 4 * SEC, INT64_MIN}) {
    r.insert(r.end(), {audio(t, 10), video(t, 3)});
  }
  event_seed("extreme-times", 1, 0, 0, r, "");
  // A mark in millisecond 0, then one after the lead-in.
  r.clear();
  for (std::int64_t t : {1L, 70 * SEC})
    r.insert(r.end(), {audio(t, 10), video(t + 1, 5), audio(t + 2 * SEC, 5000)});
  event_seed("mark-at-0ms", 2, 0, 0, r, "z.evt");
  // A break every 10 s: marks across the whole picture.
  r.clear();
  for (std::int64_t t = 0; t <= 155 * SEC; t += 35 * MS) {
    const bool in_break = t % (10 * SEC) < 1050 * MS && t >= 10 * SEC;
    if (in_break || t % (945 * MS) == 0) {
      r.insert(r.end(), {audio(t + 1, t == 0     ? 5000
                                      : in_break ? 10
                                                 : 4000),
                         video(t + 2, in_break ? 5 : 180)});
    }
  }
  event_seed("crowded-marks", 40, P50, 0, r, "crowded.evt");
}

// Command lines of their own, each on a file with one mark: how the file opens and where
// the output goes (rows of SOURCES and SINKS in fuzz_event_file.cc), the document, and
// the arguments, separated by '|', the last the name.
void command_line_seeds() {
  const struct {
    unsigned source, sink, document;
    std::string args;
  } seeds[] = {
      {0, 0, 0, "-p60|-i5|x.evt|-graph"},
      {0, 0, 0, "-p|-i30|-p-1|-i-1|show.evt.bak"},
      {0, 0, 0, "-p|60|x.evt"},
      {0, 0, 0, "-q|x.evt"},
      {0, 0, 0, "-i5|-json"},
      {0, 0, 0, "-graph"},
      {0, 0, 0, "x.evt|-graph|-json|extra"},
      {0, 0, 2, "-graph|x.evt"},
      {0, 0, 0, "--help|x.evt"},
      {0, 0, 0, "-json|x.evt|-graph"},
      {0, 0, 0, "--version|x.evt"},
      {0, 0, 0, "-h|x.evt"},
      {7, 0, 1, "missing" + std::string(1500, '\xff') + ".evt"},
      {8, 0, 0, "dir.evt"},
      {2, 0, 1, "s.evt"},
      {3, 0, 2, "b.evt"},
      {4, 0, 5, "u.evt"},
      {5, 1, 0, "f.evt"},
      {5, 0, 1, "h.evt"},
      {6, 0, 2, "n.evt"},
      {9, 0, 4, "r.evt"},
      {10, 4, 1, "r.evt"},
      {11, 0, 0, "d.evt"},
      {12, 0, 0, "f.evt"},
      {13, 0, 0, "e.evt"},
      {14, 0, 0, "m.evt"},
      {15, 0, 1, "b.evt"},
      {5, 2, 3, "f.evt"},
      {5, 3, 1, "n.evt"},
      {0, 1, 3, "x.evt"},
  };
  std::vector<cutspot::event_record> mark = {audio(70 * SEC, 10), video(70 * SEC + 10 * MS, 5),
                                             audio(72 * SEC, 4000)};
  for (const auto& s : seeds) {
    std::string args = s.args;
    std::replace(args.begin(), args.end(), '|', '\0');
    event_seed("command-" + std::to_string(&s - seeds), 2, 0, s.source, mark, args, s.sink,
               s.document);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  out_dir = argv[1];
  // Only these seeds: a fuzzer run in place must not leave its finds among them.
  fs::remove_all(out_dir / "event_file");
  event_seeds();
  command_line_seeds();
  return 0;
}
