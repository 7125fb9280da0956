// Writes the seed corpus of fuzz_event_file into DIR/event_file: recordings with marks
// and with breaks, command lines of their own, and a few edge cases. Their header and
// last bytes pick the run (see fuzz_event_file.cc).
//   fuzz_make_seeds DIR
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
using records = std::vector<cutspot::event_record>;

fs::path out_dir;

// The bits of some option words (P50: "-p50" and so on).
constexpr unsigned BREAKS = 1, P50 = 1 << 3, P300 = 1 << 4, P_ODD = 1 << 7, I10 = 1 << 10,
                   I50 = 1 << 11, M10 = 1 << 16, U0 = 1 << 19;

// An event file whose header picks the run: records per read - 1, the option words'
// bits, the source, the sink, the document, how many records back the command line
// reaches; then `tail`, the command line, reaching back over its whole records.
void seed(const std::string& name, unsigned block, unsigned words, const std::string& file,
          const std::string& tail, unsigned source = 0, unsigned sink = 0, unsigned doc = 0) {
  const std::string header = {static_cast<char>(block),      static_cast<char>(words),
                              static_cast<char>(words >> 8), static_cast<char>(words >> 16),
                              static_cast<char>(source),     static_cast<char>(sink),
                              static_cast<char>(doc),        static_cast<char>(tail.size() / 24)};
  std::ofstream f(out_dir / name, std::ios::binary | std::ios::trunc);
  f << header << file.substr(std::min<std::size_t>(8, file.size())) << tail;
  if (!f) {
    std::fprintf(stderr, "fuzz_make_seeds: cannot write %s\n", name.c_str());
    std::exit(1);
  }
}

// Loud, bright programme, a record of each kind every `step`, with a dark, quiet second
// of records every 40 ms every `every` seconds from 25 s on. Loudest above 5000: gap mode.
std::string marks(std::int64_t seconds, std::int64_t every, std::uint32_t loudest,
                  std::int64_t step) {
  records r;
  for (std::int64_t t = 20 * MS; t < seconds * SEC;) {
    const bool in_break = t >= 25 * SEC && t % (every * SEC) < SEC;
    r.insert(r.end(), {audio(t, in_break ? loudest / 100 : loudest),
                       video(t + 20 * MS, in_break ? 5 : 180)});
    const std::int64_t next_break = (t / (every * SEC) + 1) * every * SEC + 20 * MS;
    t += in_break ? 40 * MS : std::min(step, next_break - t);
  }
  return event_file(r);
}

// Command lines of their own, each on a file with one mark, a line each: how the file
// opens, where the output goes (a row of SOURCES and of SINKS in fuzz_event_file.cc, in
// hexadecimal), the document; then the arguments, separated by '|', the last the name.
constexpr std::string_view COMMAND_SEEDS =
    "000-p60|-i5|x.evt|-graph\n000-p|-i30|-p-1|-i-1|show.evt.bak\n000-p|60|x.evt\n000-q|x.evt\n"
    "000-i5|-json\n000-graph|\n000|\n000x.evt|-graph|-json|extra\n002-graph|x.evt\n"
    "000--help|x.evt\n000-json|x.evt|-graph\n000--version|x.evt\n000-h|x.evt\n800dir.evt\n"
    "201s.evt\n302b.evt\n405u.evt\n510f.evt\n501h.evt\n602n.evt\n704r.evt\n521r.evt\n531r.evt\n"
    "900f.evt\na00e.evt\nb00m.evt\nc01b.evt\n513f.evt\n013x.evt\n000-ffconcat|d/x.evt\n"
    "000-breaks|-m|-u|x.evt|-graph\n000--|-x.evt\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  // Only these seeds: a fuzzer run in place must not leave its finds among them.
  out_dir = fs::path(argv[1]) / "event_file";
  fs::remove_all(out_dir);
  fs::create_directories(out_dir);
  // Recordings of several minutes with marks, so that marks after a reference, chapters
  // and every document are reached from the start, with few records between them so
  // that they fit the fuzzer's inputs.
  const std::string level = marks(300, 40, 5000, 900 * MS), gap = marks(300, 40, 20000, 1500 * MS),
                    dense = marks(240, 14, 4000, 700 * MS);
  seed("level", 3, 0, level, "show.evt");
  seed("gap-p50-i10", 15, P50 | I10, gap, "news.evt", 1);
  seed("dense-p50-i50", 0, P50 | I50, dense, "\xc3\x9c&<b>\"'.evt");
  seed("odd-options", 254, P_ODD | P300, dense, "\xe2\x80\xae\xef\xbf\xbe\xe0\x80\x80", 1);
  seed("control-name", 11, 0, gap, "a\rD001:41.000\x1b[2J.evt");
  seed("c1-and-nbsp", 255, 0, level, "\xc2\xa0\xc2\x85.evt");
  seed("empty", 0, 0, "", "");
  seed("header-only", 0, 0, event_file({}), "");
  // Times at the ends of the 64-bit range, backwards and repeated.
  records r;
  for (std::int64_t t : {INT64_MIN, -1L, 0L, INT64_MAX, INT64_MAX, 5 * SEC, 4 * SEC, INT64_MIN}) {
    r.insert(r.end(), {audio(t, 10), video(t, 3)});
  }
  seed("extreme-times", 1, 0, event_file(r), "");
  // A mark in millisecond 0, then one after the lead-in.
  r.clear();
  for (std::int64_t t : {1L, 70 * SEC}) {
    r.insert(r.end(), {audio(t, 10), video(t + 1, 5), audio(t + 2 * SEC, 5000)});
  }
  seed("mark-at-0ms", 2, 0, event_file(r), "z.evt");
  // A break every 10 s: marks across the whole picture.
  r.clear();
  for (std::int64_t t = 0; t <= 155 * SEC; t += 35 * MS) {
    const bool in_break = t % (10 * SEC) < 1050 * MS && t >= 10 * SEC;
    if (in_break || t % (945 * MS) == 0) {
      r.insert(r.end(), {audio(t + 1, in_break ? 10
                                      : t == 0 ? 5000
                                               : 4000),
                         video(t + 2, in_break ? 5 : 180)});
    }
  }
  seed("crowded-marks", 40, P50, event_file(r), "crowded.evt");

  // Broadcasts with blocks of spots, short enough to be mutated quickly.
  const std::string spots = broadcast(join({programme(8), block({10, 10, 10}), programme(6)}));
  seed("block", 255, BREAKS, spots, "show.evt");
  seed("block-unrewindable", 255, BREAKS, spots, "show.evt", 4);
  seed("two-blocks-m10", 7, BREAKS | M10,
       broadcast(join({programme(7), block({5, 5}), programme(4), block({5, 5}), programme(3)})),
       "it's.evt");
  seed("starts-inside-u0", 0, BREAKS | U0,
       broadcast(
           join({{{look::spot, 7 * SEC}, {look::black, 200 * MS}}, block({10, 13}), programme(6)})),
       "d/show.evt");
  seed("ends-inside", 30, BREAKS,
       broadcast(join({programme(8), block({20}), {{look::spot, 12 * SEC}}})), "show.evt");

  const std::string mark =
      event_file({audio(70 * SEC, 10), video(70 * SEC + 10 * MS, 5), audio(72 * SEC, 4000)});
  auto command = [&](const std::string& name, std::string line) {
    std::replace(line.begin(), line.end(), '|', '\0');
    const auto digit = [&](int i) { return std::stoul(line.substr(i, 1), nullptr, 16); };
    seed(name, 2, 0, mark, line.substr(3), digit(0), digit(1), digit(2));
  };
  for (std::string_view rest = COMMAND_SEEDS; !rest.empty();
       rest.remove_prefix(rest.find('\n') + 1)) {
    command("command-" + std::to_string(rest.size()), std::string(rest.substr(0, rest.find('\n'))));
  }
  // A message longer than the line buffer of diagnostics.
  command("long-name", "b01missing" + std::string(1500, '\xff') + ".evt");
  return 0;
}
