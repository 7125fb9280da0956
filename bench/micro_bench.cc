// Micro-benchmarks of the work cutspot does per record: decoding, the passes' steps, and
// the graph text. Records are synthesised in memory by a loop like evtgen's (same shape:
// loud bright programme, short dark quiet breaks, audio every ~20 ms, video every ~40 ms),
// so no file or process is involved.
//
//   micro_bench [--benchmark_filter=REGEX] [--benchmark_min_time=SECONDS]
//
// Arguments /0 and /1 pick level mode (loudest 5000) and gap mode (20000); in
// BM_RunInMemory, graph:0 and graph:1 pick the plain run and the -graph run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/quiet_intervals.h"
#include "app/run.h"
#include "eventfile/byte_source.h"
#include "eventfile/event_record.h"
#include "eventfile/record_reader.h"
#include "report/level_graph.h"
#include "report/output_buffer.h"
#include "report/text_builders.h"

namespace {

using namespace cutspot;

// Counts what it is given and keeps nothing.
class null_sink final : public byte_sink {
 public:
  bool write(const char*, std::size_t n) override {
    bytes += n;
    return true;
  }
  std::string error() const override { return {}; }
  std::uint64_t bytes = 0;
};

struct random_bits {
  std::uint64_t state;
  std::uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
  }
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + next() % (hi - lo + 1); }
};

void put_be(unsigned char* p, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<unsigned char>(v);
}

// An event file of `records` records, header included, as evtgen would write it.
std::string synthesise_file(std::size_t records, std::uint32_t loudest) {
  std::string bytes("CSEVT\0\0\1", EVENT_HEADER_SIZE);
  bytes.reserve(EVENT_HEADER_SIZE + records * EVENT_RECORD_SIZE);
  random_bits rng{0x9E3779B97F4A7C15ULL + 1};
  const std::int64_t ms = 1000000;
  const std::uint64_t break_every = 60;
  std::int64_t break_start =
      static_cast<std::int64_t>(rng.between(break_every / 2 + 1, break_every * 3 / 2)) * 1000 * ms;
  std::int64_t break_end = break_start + static_cast<std::int64_t>(rng.between(400, 1600)) * ms;
  std::int64_t next_audio = 5 * ms;
  std::int64_t next_video = 12 * ms;
  std::uint32_t scene = 180;
  bool loudest_written = false;
  for (std::size_t i = 0; i < records; ++i) {
    const std::int64_t now = next_audio < next_video ? next_audio : next_video;
    while (now >= break_end) {
      break_start = break_end + static_cast<std::int64_t>(
                                    rng.between(break_every / 2 + 1, break_every * 3 / 2)) *
                                    1000 * ms;
      break_end = break_start + static_cast<std::int64_t>(rng.between(400, 1600)) * ms;
    }
    const bool in_break = now >= break_start;
    unsigned char r[EVENT_RECORD_SIZE] = {};
    put_be(r, static_cast<std::uint64_t>(now), 8);
    if (now == next_audio) {
      std::uint32_t value;
      if (in_break) {
        value = static_cast<std::uint32_t>(rng.between(0, loudest / 25));
      } else if (!loudest_written) {
        value = loudest;
        loudest_written = true;
      } else {
        value = static_cast<std::uint32_t>(rng.between(loudest * 2 / 5, loudest - 1));
      }
      put_be(r + 12, RECORD_AUDIO, 4);
      put_be(r + 16, value, 4);
      next_audio += static_cast<std::int64_t>(rng.between(19, 21)) * ms;
    } else {
      if (rng.between(0, 200) == 0) scene = static_cast<std::uint32_t>(rng.between(90, 240));
      put_be(r + 12, RECORD_VIDEO, 4);
      for (int k = 0; k < 4; ++k) {
        r[20 + k] = static_cast<unsigned char>(in_break ? rng.between(0, 24)
                                                        : rng.between(scene - 15, scene + 15));
      }
      next_video += static_cast<std::int64_t>(rng.between(38, 42)) * ms;
    }
    bytes.append(reinterpret_cast<const char*>(r), EVENT_RECORD_SIZE);
  }
  return bytes;
}

// One data set per mode, built on first use: 1 Mi records (24 MiB), well beyond the caches,
// as in a real pass.
constexpr std::size_t RECORDS = 1 << 20;

struct data_set {
  std::string file;
  std::vector<event_record> records;
  audio_range range;
};

const data_set& data(bool gap_mode) {
  static std::unique_ptr<data_set> sets[2];
  std::unique_ptr<data_set>& set = sets[gap_mode ? 1 : 0];
  if (!set) {
    set = std::make_unique<data_set>();
    set->file = synthesise_file(RECORDS, gap_mode ? 20000 : 5000);
    const auto* p = reinterpret_cast<const unsigned char*>(set->file.data()) + EVENT_HEADER_SIZE;
    set->records.resize(RECORDS);
    for (std::size_t i = 0; i < RECORDS; ++i) {
      set->records[i] = decode_event_record(p + i * EVENT_RECORD_SIZE);
      note_audio_value(&set->range, set->records[i]);
    }
    finish_audio_range(&set->range);
  }
  return *set;
}

void per_record(benchmark::State& state, std::size_t records) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * records));
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * records * EVENT_RECORD_SIZE));
}

// decode_event_record over the raw bytes.
void BM_DecodeEventRecord(benchmark::State& state) {
  const data_set& d = data(false);
  const auto* p = reinterpret_cast<const unsigned char*>(d.file.data()) + EVENT_HEADER_SIZE;
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < RECORDS; ++i) {
      const event_record r = decode_event_record(p + i * EVENT_RECORD_SIZE);
      sum += static_cast<std::uint64_t>(r.timestamp_ns) + r.type + r.value + r.samples[0];
    }
    benchmark::DoNotOptimize(sum);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_DecodeEventRecord);

// The reading loop of every pass: record_reader over a memory_source (block copies included).
void BM_ReadEventRecords(benchmark::State& state) {
  const data_set& d = data(false);
  memory_source source(d.file);
  auto reader = std::make_unique<record_reader>(source);
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for_each_record(reader.get(), [&](const event_record& r) {
      sum += r.type;
      return true;
    });
    benchmark::DoNotOptimize(sum);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_ReadEventRecords);

// The audio scan pass's per-record step.
void BM_NoteAudioValue(benchmark::State& state) {
  const data_set& d = data(false);
  for (auto _ : state) {
    audio_range range;
    for (const event_record& r : d.records) note_audio_value(&range, r);
    benchmark::DoNotOptimize(range);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_NoteAudioValue);

// The level tracker alone.
void BM_TrackLevels(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  for (auto _ : state) {
    level_tracker t;
    for (const event_record& r : d.records) {
      track_levels(&t, r, d.range.audio_scale);
      benchmark::DoNotOptimize(t);
    }
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_TrackLevels)->Arg(0)->Arg(1);

// The tracker plus the interval detector: the cut-list pass without reading.
void BM_DetectStep(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  auto detector = std::make_unique<interval_detector>();
  for (auto _ : state) {
    start_detection(detector.get(), d.range);
    for (const event_record& r : d.records) detect_step(detector.get(), r);
    finish_detection(detector.get());
    benchmark::DoNotOptimize(detector->intervals.size());
  }
  state.counters["intervals"] = static_cast<double>(detector->intervals.size());
  per_record(state, RECORDS);
}
BENCHMARK(BM_DetectStep)->Arg(0)->Arg(1);

// One graph line per record into an output buffer that drains into nothing.
void BM_GraphStep(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  null_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  for (auto _ : state) {
    graph_state g;
    g.range = d.range;
    for (const event_record& r : d.records) graph_step(&g, r, out.get());
    out->flush();
  }
  state.counters["out_bytes/record"] =
      static_cast<double>(sink.bytes) / static_cast<double>(state.iterations() * RECORDS);
  per_record(state, RECORDS);
}
BENCHMARK(BM_GraphStep)->Arg(0)->Arg(1);

// The time stamp alone, the costliest piece of a graph line.
void BM_WriteTime(benchmark::State& state) {
  const data_set& d = data(false);
  char text[TIME_TEXT_MAX];
  for (auto _ : state) {
    std::size_t total = 0;
    for (const event_record& r : d.records) total += write_time(text, r.timestamp_ns);
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(text);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_WriteTime);

// The whole program in memory: all passes, no file system, output into nothing.
void BM_RunInMemory(benchmark::State& state) {
  const data_set& d = data(false);
  const bool graph = state.range(0) != 0;
  const source_opener open = [&d](const std::string&, std::string*, bool*) {
    return std::unique_ptr<byte_source>(std::make_unique<memory_source>(d.file));
  };
  const char* plain[] = {"cutspot", "bench.evt"};
  const char* with_graph[] = {"cutspot", "-graph", "bench.evt"};
  null_sink out;
  null_sink err;
  for (auto _ : state) {
    const int status =
        graph ? run_cutspot(3, with_graph, open, out, err) : run_cutspot(2, plain, open, out, err);
    if (status != EXIT_OK) state.SkipWithError("run failed");
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_RunInMemory)->ArgName("graph")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
