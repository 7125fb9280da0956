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

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "analysis/audio_range.h"
#include "analysis/level_walk.h"
#include "analysis/quiet_intervals.h"
#include "app/run.h"
#include "common/event_record.h"
#include "eventfile/byte_source.h"
#include "eventfile/record_reader.h"
#include "report/document.h"
#include "report/output_buffer.h"
#include "report/text_builders.h"
#include "synthetic_recording.h"

namespace {

using namespace cutspot;

// An event file of `records` records, header included, as evtgen would write it.
std::string synthesise_file(std::size_t records, std::uint32_t loudest) {
  std::string bytes(SYNTHETIC_HEADER, sizeof SYNTHETIC_HEADER);
  bytes.resize(EVENT_HEADER_SIZE + records * EVENT_RECORD_SIZE);
  synthetic_recording recording({1, loudest, 60});
  for (std::size_t i = 0; i < records; ++i) {
    recording.next_record(reinterpret_cast<unsigned char*>(&bytes[EVENT_HEADER_SIZE + i * 24]));
  }
  return bytes;
}

// One data set per mode, built on first use: 1 Mi records (24 MiB), well beyond the caches,
// as in a real pass.
constexpr std::size_t RECORDS = 1 << 20;

struct data_set {
  std::string file;
  std::vector<event_record> records;
  recording_scan scan;
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
      note_record(&set->scan, set->records[i]);
    }
    finish_audio_range(&set->scan.range);
  }
  return *set;
}

// Every record through the level walk of the file's own mode: step(record, step, levels).
template <level_view View, typename Step>
void walk_records(const data_set& d, Step&& step) {
  const auto walk_all = [&](auto walk) {
    for (const event_record& r : d.records) {
      const level_step s = walk.step(r);
      step(r, s, walk.levels());
    }
  };
  if (is_gap_mode(d.scan.range)) {
    walk_all(level_walk<split_mode::gaps, View>(d.scan.range));
  } else {
    walk_all(level_walk<split_mode::levels, View>(d.scan.range));
  }
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

// The reading loop of every pass: record_reader over a memory_source, block by block.
void BM_ReadEventRecords(benchmark::State& state) {
  const data_set& d = data(false);
  memory_source source(d.file);
  auto reader = std::make_unique<record_reader>(source);
  for (auto _ : state) {
    std::uint64_t sum = 0;
    const pass_status status = for_each_record(reader.get(), [&](const event_record& r) {
      sum += r.type;
      return true;
    });
    if (status != pass_status::ok) state.SkipWithError("failed");
    benchmark::DoNotOptimize(sum);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_ReadEventRecords);

// The first pass's per-record step.
void BM_NoteRecord(benchmark::State& state) {
  const data_set& d = data(false);
  for (auto _ : state) {
    recording_scan scan;
    for (const event_record& r : d.records) note_record(&scan, r);
    benchmark::DoNotOptimize(scan);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_NoteRecord);

// The whole first pass over the file in memory: reading, decoding and noting.
void BM_ScanAudioRange(benchmark::State& state) {
  const data_set& d = data(false);
  memory_source source(d.file);
  auto reader = std::make_unique<record_reader>(source);
  for (auto _ : state) {
    recording_scan scan;
    if (scan_audio_range(reader.get(), &scan) != pass_status::ok) state.SkipWithError("failed");
    benchmark::DoNotOptimize(scan);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_ScanAudioRange);

// The level tracker alone.
void BM_TrackLevels(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  for (auto _ : state) {
    level_tracker t;
    for (const event_record& r : d.records) {
      track_levels(&t, r, d.scan.range.audio_scale);
      benchmark::DoNotOptimize(t);
    }
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_TrackLevels)->Arg(0)->Arg(1);

// The tracker plus the interval detector: the cut-list pass without reading.
void BM_DetectStep(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  std::uint64_t intervals = 0;
  for (auto _ : state) {
    interval_detector detector;
    quiet_interval closed;
    intervals = 0;
    const bool gaps = is_gap_mode(d.scan.range);
    const std::int64_t latest_ns = walk_data<level_view::detection>(
        d, [&](const event_record& r, const level_step& step, const level_tracker& levels) {
          intervals += gaps ? detect_step<split_mode::gaps>(&detector, r, step, levels, &closed)
                            : detect_step<split_mode::levels>(&detector, r, step, levels, &closed);
        });
    intervals += finish_detection(&detector, latest_ns, &closed);
    benchmark::DoNotOptimize(closed);
  }
  state.counters["intervals"] = static_cast<double>(intervals);
  per_record(state, RECORDS);
}
BENCHMARK(BM_DetectStep)->Arg(0)->Arg(1);

// The whole detection pass over the file in memory, as the cut list runs it.
void BM_DetectIntervals(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  memory_source source(d.file);
  auto reader = std::make_unique<record_reader>(source);
  std::uint64_t intervals = 0;
  for (auto _ : state) {
    intervals = 0;
    const pass_status status =
        detect_intervals(reader.get(), d.scan.range, [&](const quiet_interval&) {
          ++intervals;
          return true;
        });
    if (status != pass_status::ok) state.SkipWithError("failed");
  }
  state.counters["intervals"] = static_cast<double>(intervals);
  per_record(state, RECORDS);
}
BENCHMARK(BM_DetectIntervals)->Arg(0)->Arg(1);

// One graph line per record into an output buffer that drains into nothing.
void BM_GraphStep(benchmark::State& state) {
  const data_set& d = data(state.range(0) != 0);
  counting_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  // The walk's part done once: the lines alone are timed.
  std::vector<level_sample> samples;
  (void)walk_data<level_view::display>(
      d, [&](const event_record& r, const level_step& step, const level_tracker& levels) {
        samples.push_back({r.timestamp_ns, r.type, levels.video_level, levels.audio_level, step});
      });
  for (auto _ : state) {
    const report_context context{"bench.evt", "bench.mpg", {}, d.scan, {}, {}};
    const std::unique_ptr<document_renderer> graph = make_level_graph(context, out.get());
    graph->begin();
    for (std::size_t i = 0; i < samples.size(); i += LEVEL_RUN) {
      graph->levels(std::span(samples).subspan(i, std::min(LEVEL_RUN, samples.size() - i)));
    }
    graph->end();
    out->flush();
  }
  state.counters["out_bytes/record"] =
      static_cast<double>(sink.bytes) / static_cast<double>(state.iterations() * RECORDS);
  per_record(state, RECORDS);
}
BENCHMARK(BM_GraphStep)->Arg(0)->Arg(1);

// The time stamp written afresh, as every report but the graph writes it.
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

// The time stamps of the graph: each one carried on from the one before.
void BM_TimeStamper(benchmark::State& state) {
  const data_set& d = data(false);
  char text[TIME_TEXT_MAX];
  for (auto _ : state) {
    time_stamper stamps;
    std::size_t total = 0;
    for (const event_record& r : d.records) total += stamps.write(text, r.timestamp_ns);
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(text);
  }
  per_record(state, RECORDS);
}
BENCHMARK(BM_TimeStamper);

// The whole program in memory: all passes, no file system, output into nothing.
void BM_RunInMemory(benchmark::State& state) {
  const data_set& d = data(false);
  const bool graph = state.range(0) != 0;
  const source_opener open = [&d](const std::string&) {
    open_result opened;
    opened.status = open_status::opened;
    opened.source = std::make_unique<memory_source>(d.file);
    return opened;
  };
  const char* plain[] = {"cutspot", "bench.evt"};
  const char* with_graph[] = {"cutspot", "-graph", "bench.evt"};
  counting_sink out;
  counting_sink err;
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
