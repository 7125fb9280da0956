// Writes the seed corpora of the fuzz targets into DIR/event_file, DIR/command_line and
// DIR/svg_envelope, from our synthetic recordings and a few hand-made edge cases.
//
//   fuzz_make_seeds DIR
//
// Event file seeds are recordings of several minutes with breaks, so that marks after a
// reference, chapters and every document are reached from the start; the programme
// between breaks is thinned to a few records a second so that they fit the fuzzer's
// 64 KiB inputs. Their header and tail pick the run (see fuzz_event_file.cc).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eventfile/event_record.h"
#include "synthetic_recording.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t MS = 1000000;
constexpr std::int64_t S = 1000000000;

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

struct header {
  unsigned block = 255;  // Records per read block - 1; 255 for the default.
  unsigned period = 0;
  unsigned ignore = 0;
  unsigned flush_at = 0;
  unsigned whole = 7;  // The whole program too with this document (0-6), or not.
  unsigned flags = 0;
  unsigned reach = 0;  // Bytes of the last records that the name takes too.

  std::string bytes() const {
    return {static_cast<char>(block),  static_cast<char>(period),
            static_cast<char>(ignore), static_cast<char>(flush_at),
            static_cast<char>(whole),  static_cast<char>(flags),
            static_cast<char>(reach),  '\0'};
  }
};

// An option byte: -p<n> or -i<n> for a multiple of ten up to 310.
unsigned seconds_option(unsigned tens) {
  return tens << 3 | 7;
}

void put_record(std::string* file, const cutspot::event_record& r) {
  unsigned char bytes[cutspot::EVENT_RECORD_SIZE];
  cutspot::encode_event_record(r, bytes);
  file->append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

cutspot::event_record make_record(std::int64_t ns, std::uint32_t type, std::uint32_t value,
                                  unsigned char sample) {
  cutspot::event_record r;
  r.timestamp_ns = ns;
  r.type = type;
  r.value = value;
  std::fill(std::begin(r.samples), std::end(r.samples), sample);
  return r;
}

struct recording {
  std::int64_t seconds = 300;
  std::uint32_t loudest = 5000;
  std::uint64_t break_every = 40;
  std::uint64_t seed = 1;
  bool thin = true;
  // Thinned programme: a few records every this long. Gap mode splits at pauses of over
  // a second, so there the programme pauses between them.
  std::int64_t programme_every = 900 * MS;
};

// The records of a synthetic recording. Thinned, the programme keeps only its first
// record of every programme_every, and the breaks, from 60 ms before to 60 ms after,
// every video record and every other audio record: still close enough for each record
// to be judged on both levels.
std::string records_of(const recording& r) {
  cutspot::synthetic_recording source({r.seed, r.loudest, r.break_every});
  std::vector<cutspot::event_record> all;
  while (source.next_time() < r.seconds * S) {
    unsigned char bytes[cutspot::EVENT_RECORD_SIZE];
    source.next_record(bytes);
    all.push_back(cutspot::decode_event_record(bytes));
  }
  // A break is quiet sound and a dark picture; programme is never either.
  std::vector<std::int64_t> in_break;
  for (const cutspot::event_record& e : all) {
    const bool quiet = e.type == cutspot::RECORD_AUDIO && e.value <= r.loudest / 25;
    const bool dark =
        e.type == cutspot::RECORD_VIDEO && *std::max_element(e.samples, e.samples + 4) <= 31;
    if (quiet || dark) in_break.push_back(e.timestamp_ns);
  }
  std::string file;
  std::int64_t window = -1;
  bool skip_audio = false;
  for (const cutspot::event_record& e : all) {
    const auto near = std::lower_bound(in_break.begin(), in_break.end(), e.timestamp_ns - 60 * MS);
    const bool breaking = near != in_break.end() && *near <= e.timestamp_ns + 60 * MS;
    bool keep = !r.thin;
    if (r.thin && breaking) {
      keep = e.type != cutspot::RECORD_AUDIO || !skip_audio;
      if (e.type == cutspot::RECORD_AUDIO) skip_audio = !skip_audio;
    } else if (r.thin && e.timestamp_ns / r.programme_every != window) {
      window = e.timestamp_ns / r.programme_every;
      keep = true;
    }
    if (keep) put_record(&file, e);
  }
  return file;
}

void event_seed(const std::string& name, const header& h, const recording& r,
                const std::string& file_name) {
  write_file("event_file", name, h.bytes() + records_of(r) + file_name);
}

void event_seeds() {
  const recording level;
  recording gap;
  gap.loudest = 20000;
  gap.seed = 2;
  gap.programme_every = 1500 * MS;
  recording dense_breaks;
  dense_breaks.seconds = 240;
  dense_breaks.break_every = 14;
  dense_breaks.seed = 3;
  recording full_level;
  full_level.seconds = 12;
  full_level.break_every = 4;
  full_level.thin = false;
  full_level.seed = 4;
  recording full_gap = full_level;
  full_gap.loudest = 30000;
  full_gap.seed = 5;
  full_gap.programme_every = 1500 * MS;

  event_seed("level-5min", {.block = 3}, level, "show.evt");
  event_seed("gap-5min-p60-i10",
             {.block = 15, .period = seconds_option(6), .ignore = seconds_option(1)}, gap,
             "news.evt");
  event_seed("dense-breaks-p60", {.block = 0, .period = seconds_option(6), .flush_at = 5},
             dense_breaks, "\xc3\x9c&<b>\"'\\.evt");
  event_seed("full-level-block1", {.block = 0, .flush_at = 7, .whole = 0}, full_level,
             "\xff\xfe\xc3.evt");
  event_seed("full-gap-graph", {.block = 30, .whole = 5}, full_gap, "a b.evt.bak");
  const char* documents[] = {"svg", "json", "edl", "chapters"};
  for (unsigned k = 1; k <= 4; ++k) {
    event_seed(std::string("whole-") + documents[k - 1],
               {.block = 7 * k, .flush_at = 9 * k, .whole = k}, k % 2 ? level : gap,
               "dir.evt/x.evt");
  }
  event_seed("whole-graph-after", {.block = 100, .period = 1, .ignore = 2, .whole = 6},
             dense_breaks, "p.evt");
  event_seed("refused-writes", {.block = 2, .flush_at = 3, .flags = 1}, level, "x.evt");
  event_seed("refused-stdout", {.block = 2, .whole = 16 | 2}, gap, "x.evt");
  event_seed("odd-options", {.block = 254, .period = 4, .ignore = 5, .whole = 0}, dense_breaks,
             "\xe2\x80\xae\xef\xbf\xbe\xed\xa0\x80.evt");
  event_seed("control-name", {.block = 11, .whole = 2}, gap, "a\rD001:41.000\r\x1b[2J.evt");
  event_seed("long-name", {.block = 12, .whole = 1, .reach = 200}, level, "x.evt");
  event_seed("huge-period", {.block = 9, .period = 5, .ignore = 6, .whole = 2}, level, ".evt");

  // Edge cases of the file itself.
  write_file("event_file", "empty", "");
  write_file("event_file", "short-header", "HEADER!");
  write_file("event_file", "header-only", header{.whole = 0}.bytes());
  {
    // A mark in millisecond 0, then one after the lead-in.
    std::string f = header{.block = 1, .whole = 4}.bytes();
    put_record(&f, make_record(1, cutspot::RECORD_AUDIO, 10, 0));
    put_record(&f, make_record(2, cutspot::RECORD_VIDEO, 0, 5));
    put_record(&f, make_record(3, cutspot::RECORD_VIDEO, 0, 250));
    put_record(&f, make_record(2 * S, cutspot::RECORD_AUDIO, 5000, 0));
    put_record(&f, make_record(2 * S + 20 * MS, cutspot::RECORD_VIDEO, 0, 250));
    put_record(&f, make_record(70 * S, cutspot::RECORD_AUDIO, 10, 0));
    put_record(&f, make_record(70 * S + 20 * MS, cutspot::RECORD_VIDEO, 0, 5));
    put_record(&f, make_record(72 * S, cutspot::RECORD_AUDIO, 5000, 0));
    write_file("event_file", "mark-at-0ms", f + "z.evt");
  }
  {
    // A break every 10 s: marks across the whole picture leave its threshold label no
    // room beside them.
    std::string f = header{.block = 40, .period = seconds_option(2)}.bytes();
    for (std::int64_t t = 0; t <= 155 * S; t += 35 * MS) {
      const bool in_break = t % (10 * S) < 1050 * MS && t >= 10 * S;
      const std::uint32_t value = t == 0 ? 5000 : in_break ? 10 : 4000;
      if (in_break || t % (945 * MS) == 0) {
        put_record(&f, make_record(t + 1, cutspot::RECORD_AUDIO, value, 0));
        put_record(&f, make_record(t + 2, cutspot::RECORD_VIDEO, 0, in_break ? 5 : 180));
      }
    }
    write_file("event_file", "crowded-marks", f + "crowded.evt");
  }
  {
    // Times at the ends of the 64-bit range, backwards and repeated.
    std::string f = header{.block = 4, .whole = 1}.bytes();
    const std::int64_t times[] = {INT64_MIN, -1, 0, INT64_MAX, INT64_MAX, 5 * S, 4 * S, INT64_MIN};
    for (std::int64_t t : times) {
      put_record(&f, make_record(t, cutspot::RECORD_AUDIO, 10, 0));
      put_record(&f, make_record(t, cutspot::RECORD_VIDEO, 0, 3));
    }
    write_file("event_file", "extreme-times", f);
  }
  {
    // Mostly records of no known type, as in a file that is no event file.
    std::string f = header{.block = 5, .whole = 0}.bytes();
    std::uint64_t x = 88172645463325252ULL;
    for (int i = 0; i < 400 * 24; ++i) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      f.push_back(static_cast<char>(x));
    }
    write_file("event_file", "random-bytes", f);
  }
}

// Arguments separated by NUL bytes.
void args(const std::string& name, const std::vector<std::string>& list) {
  std::string bytes;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) bytes.push_back('\0');
    bytes += list[i];
  }
  write_file("command_line", name, bytes);
}

void command_line_seeds() {
  args("plain", {"x.evt"});
  args("graph-first", {"-graph", "x.evt"});
  args("graph-after", {"-p60", "-i5", "x.evt", "-graph"});
  args("options", {"-p", "-i30", "-p-1", "-i-1", "show.evt.bak"});
  args("split-number", {"-p", "60", "x.evt"});
  args("unknown-option", {"-q", "x.evt"});
  args("option-as-name", {"-i5", "-json"});
  args("no-name", {"-graph"});
  args("no-arguments", {});
  args("ignored", {"x.evt", "-graph", "-json", "extra"});
  for (const char* document : {"-json", "-svg", "-edl", "-chapters"}) {
    args(std::string("document") + document, {"-p60", document, "dir.evt/\xc3\xa9&<\".evt"});
  }
  args("conflict", {"-graph", "-svg", "x.evt"});
  args("conflict-after", {"-json", "x.evt", "-graph"});
  args("missing", {"missing.evt"});
  args("directory", {"dir.evt"});
  args("shrunk", {"shrunk.evt"});
  args("broken", {"-graph", "broken.evt"});
  args("unwound", {"-svg", "unwound.evt"});
  args("full", {"full.evt"});
  args("huge", {"huge.evt"});
  args("huge-graph-full", {"-graph", "huge-full.evt"});
  args("huge-full", {"-chapters", "huge-full.evt"});
  args("real", {"real.evt"});
  args("real-dir", {"real-dir.evt"});
  args("real-fifo", {"real-fifo.evt"});
  args("real-missing", {"real-missing.evt"});
  args("real-empty", {"real-empty.evt"});
  args("nomem", {"-json", "nomem.evt"});
  args("devnull", {"-graph", "devnull.evt"});
  args("devfull", {"-edl", "devfull.evt"});
  args("nonblock", {"-graph", "nonblock.evt"});
  args("real-sys", {"real-sys.evt"});
  args("real-huge", {"-chapters", "real-huge.evt"});
  args("real-huge-shrink", {"real-huge-shrink.evt"});
  args("real-huge-shrink-graph", {"-graph", "real-huge-shrink.evt"});
  // A message longer than the line buffer of diagnostics.
  args("long-name", {"missing" + std::string(1500, '\xff') + ".evt"});
  args("carriage-return", {"a\rD001:41.000\rA002:00.000\r.evt"});
  args("escape", {"gone\x1b[2J.evt"});
  args("ill-formed", {"-i5", "\xff\xc0\xed\xa0\x80\xc2\x85.evt"});
  args("no-evt", {"-graph", "x.EVT"});
  args("help", {"--help"});
  args("help-short", {"-h", "x.evt"});
  args("version", {"--version"});
}

// Points for fuzz_svg_envelope: a kind byte, the time or its step, then the levels.
void svg_seeds() {
  auto point = [](std::string* s, unsigned kind, std::uint64_t time, unsigned video,
                  unsigned audio) {
    s->push_back(static_cast<char>(kind));
    const int bytes = (kind & 2) != 0 ? 8 : 2;
    for (int i = bytes - 1; i >= 0; --i) s->push_back(static_cast<char>(time >> (8 * i)));
    s->push_back(static_cast<char>(video));
    s->push_back(static_cast<char>(audio >> 8));
    s->push_back(static_cast<char>(audio));
  };
  {
    // Several minutes of steps of about 20 ms (20000 << 10 ns) with pauses.
    std::string s(17, '\0');
    point(&s, 2, 5 * MS, 200, 3000);
    for (int i = 0; i < 3000; ++i) {
      const bool pause = i % 700 == 699;
      const unsigned kind = (pause ? 1 : 0) | ((pause ? 20 : 10) << 2);
      point(&s, kind, pause ? 3 : 19500 + i % 7 * 100, i % 300 < 20 ? 5 : 180,
            i % 300 < 20 ? 50 : 4000);
    }
    write_file("svg_envelope", "minutes", s);
  }
  {
    std::string s(17, '\0');
    s[16] = 3;  // Both extra ends.
    s[0] = static_cast<char>(0x80);
    for (int i = 8; i < 16; ++i) s[static_cast<std::size_t>(i)] = '\x7f';
    for (const std::uint64_t t :
         {std::uint64_t{1} << 63, ~std::uint64_t{0}, std::uint64_t{0}, std::uint64_t{1} << 62}) {
      point(&s, 2 | 1 | 0x80, t, 255, 65535);
    }
    write_file("svg_envelope", "extremes", s);
  }
  write_file("svg_envelope", "empty", "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  out_dir = argv[1];
  // Only these seeds: a fuzzer run in place must not leave its finds among them.
  for (const char* dir : {"event_file", "command_line", "svg_envelope"}) {
    fs::remove_all(out_dir / dir);
  }
  event_seeds();
  command_line_seeds();
  svg_seeds();
  return 0;
}
