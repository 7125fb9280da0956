// One pass over a recording: every packet of the chosen streams decoded, each picture a
// video record, each 20 ms of sound an audio record, all in time order to the sink.
#ifndef CUTSPOT_PROBE_PROBE_RUN_H_
#define CUTSPOT_PROBE_PROBE_RUN_H_

#include <functional>
#include <string>
#include <vector>

#include "common/event_record.h"
#include "probe/media_input.h"

namespace cutspot::probe {

struct probe_hooks {
  std::function<void(const std::string&)> note;  // Which streams are used.
  // Once the recording is open, before anything is read: false (with a reason) fails.
  std::function<bool(std::string*)> opened;
  std::function<void(double done_s, double total_s)> progress;  // After each packet.
  std::function<bool(const std::vector<event_record>&, std::string*)> write;
};

struct probe_result {
  bool ok = false;
  bool interrupted = false;
  std::string reason;  // Why it failed.
  long damaged = 0;    // Packets and pictures skipped as damaged.
  long pictures = 0;
  long windows = 0;
  int clock_jumps = 0;  // Resets and wraps of the recording's clock carried across.
  long late = 0;        // Records that came too late for their place and were dropped.
};

probe_result run_probe(const media_request& request, const probe_hooks& hooks);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_PROBE_RUN_H_
