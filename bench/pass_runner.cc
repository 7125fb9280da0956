// Runs single passes of cutspot over an event file, so that bench/run can count what each
// pass costs per record with perf stat (or valgrind where the machine has no hardware
// counters): a run does the first pass once, which every other pass needs, and then the
// chosen pass TIMES more times, so the difference between a run of a pass and a run of
// "none" is what TIMES passes of it cost.
//
//   pass_runner none|scan|detect|graph FILE [TIMES]
//
// The detection pass chooses the marks too, as the cut list does, and the graph goes into
// a sink that keeps nothing.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/audio_range.h"
#include "analysis/level_walk.h"
#include "analysis/marks.h"
#include "eventfile/byte_source.h"
#include "eventfile/record_reader.h"
#include "report/document.h"
#include "report/output_buffer.h"

namespace {

using namespace cutspot;

int fail(const std::string& what) {
  std::fprintf(stderr, "pass_runner: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view pass = argc > 1 ? argv[1] : "";
  const int times = argc > 3 ? std::atoi(argv[3]) : 1;
  if (argc < 3 || argc > 4 || times < 1 ||
      (pass != "none" && pass != "scan" && pass != "detect" && pass != "graph")) {
    std::fprintf(stderr, "usage: pass_runner none|scan|detect|graph FILE [TIMES]\n");
    return 2;
  }
  open_result opened = open_event_file(argv[2]);
  if (opened.status != open_status::opened)
    return fail(std::string(argv[2]) + ": " + opened.reason);
  record_reader reader(*opened.source);
  recording_scan scan;
  if (scan_audio_range(&reader, &scan) != pass_status::ok) return fail("the first pass failed");

  counting_sink sink;
  auto out = std::make_unique<output_buffer>(sink);
  std::uint64_t marks = 0;
  for (int i = 0; pass != "none" && i < times; ++i) {
    pass_status status = pass_status::ok;
    if (pass == "scan") {
      status = scan_audio_range(&reader, &scan);
    } else if (pass == "detect") {
      status = for_each_mark(&reader, scan.range, mark_settings{},
                             [&](const quiet_interval&, const cut_mark* mark) {
                               marks += mark != nullptr;
                               return true;
                             });
    } else {
      const report_context context{argv[2], "", {}, scan, {}, {}};
      const std::unique_ptr<document_renderer> graph = make_level_graph(context, out.get());
      graph->begin();
      status = view_levels(&reader, scan.range, [&](std::span<const level_sample> samples) {
        graph->levels(samples);
        return true;
      });
      graph->end();
    }
    if (status != pass_status::ok) return fail(std::string(pass) + " pass failed");
  }
  out->flush();
  std::printf("%llu records, %llu marks, %llu graph bytes\n",
              static_cast<unsigned long long>(scan.records), static_cast<unsigned long long>(marks),
              static_cast<unsigned long long>(sink.bytes));
  return 0;
}
