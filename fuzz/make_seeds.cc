// Writes the seed corpora of the fuzz targets into DIR/event_file and DIR/breaks,
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

#include "broadcast_segments.h"
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
// the option words' bits (P50: "-p50" and so on), the source, the sink, the document,
// how far the command line reaches back; then the command line.
constexpr unsigned P50 = 1 << 3, P300 = 1 << 4, P_ODD = 1 << 7, I10 = 1 << 10, I50 = 1 << 11;
void event_seed(const std::string& seed, unsigned block, unsigned words, unsigned source,
                const std::vector<cutspot::event_record>& records, const std::string& tail,
                unsigned sink = 0, unsigned document = 0) {
  const std::size_t reach = tail.size() - tail.size() % 24;
  const std::string header = {static_cast<char>(block),      static_cast<char>(words),
                              static_cast<char>(words >> 8), static_cast<char>(source),
                              static_cast<char>(sink),       static_cast<char>(document),
                              static_cast<char>(reach),      static_cast<char>(reach >> 8)};
  write_file("event_file", seed, header + event_file(records).substr(8) + tail);
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
    const std::uint32_t loudness = in_break ? 10 : t == 0 ? 5000 : 4000;
    if (in_break || t % (945 * MS) == 0) {
      r.insert(r.end(), {audio(t + 1, loudness), video(t + 2, in_break ? 5 : 180)});
    }
  }
  event_seed("crowded-marks", 40, P50, 0, r, "crowded.evt");
}

// Command lines of their own, each on a file with one mark, a line each: how the file
// opens, where the output goes (a row of SOURCES and of SINKS in fuzz_event_file.cc, in
// hexadecimal), the document; then the arguments, separated by '|', the last the name.
constexpr std::string_view COMMAND_SEEDS =
    "000-p60|-i5|x.evt|-graph\n000-p|-i30|-p-1|-i-1|show.evt.bak\n000-p|60|x.evt\n000-q|x.evt\n"
    "000-i5|-json\n000-graph|\n000|\n000x.evt|-graph|-json|extra\n002-graph|x.evt\n000--help|x."
    "evt\n"
    "000-json|x.evt|-graph\n000--version|x.evt\n000-h|x.evt\n800dir.evt\n201s.evt\n302b.evt\n"
    "405u.evt\n510f.evt\n501h.evt\n602n.evt\n904r.evt\n531r.evt\na00d.evt\nb00f.evt\n"
    "c00e.evt\nd00m.evt\ne01b.evt\n523f.evt\n013x.evt\n";

void command_line_seeds() {
  const std::vector<cutspot::event_record> mark = {
      audio(70 * SEC, 10), video(70 * SEC + 10 * MS, 5), audio(72 * SEC, 4000)};
  auto seed = [&](const std::string& name, std::string line) {
    std::replace(line.begin(), line.end(), '|', '\0');
    const auto digit = [&](int i) {
      return static_cast<unsigned>(std::stoi(line.substr(i, 1), nullptr, 16));
    };
    event_seed(name, 2, 0, digit(0), mark, line.substr(3), digit(1), digit(2));
  };
  for (std::string_view rest = COMMAND_SEEDS; !rest.empty();
       rest.remove_prefix(rest.find('\n') + 1)) {
    seed("command-" + std::to_string(rest.size()), std::string(rest.substr(0, rest.find('\n'))));
  }
  // A message longer than the line buffer of diagnostics.
  seed("long-name", "701missing" + std::string(1500, '\xff') + ".evt");
}

// Broadcasts with blocks of spots for fuzz_breaks, short enough to be mutated quickly,
// their header picking the run (see fuzz_breaks.cc): records per read - 1, the row of
// the shortest break and of the spot grid, the flags.
void breaks_seeds() {
  const auto seed = [](const std::string& name, std::string header,
                       const std::vector<segment>& segments) {
    header.resize(8, '\0');
    write_file("breaks", name, header + broadcast(segments).substr(8));
  };
  seed("block", "\xff", join({programme(8), block({10, 10, 10}), programme(6)}));
  // -m10, and a quote in the name.
  seed("two-blocks-m10", {7, 3, 0, 2},
       join({programme(7), block({5, 5}), programme(4), block({5, 5}), programme(3)}));
  // No grid; the cutting script without -breaks.
  seed("starts-inside-u0", {0, 0, 1, 1},
       join({{{look::spot, 7 * SEC}, {look::black, 200 * MS}}, block({10, 13}), programme(6)}));
  seed("ends-inside", {30, 0, 3, 0}, join({programme(8), block({20}), {{look::spot, 12 * SEC}}}));
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
  fs::remove_all(out_dir / "breaks");
  event_seeds();
  breaks_seeds();
  command_line_seeds();
  return 0;
}
