// Event file bytes: the header, then records, gathered into large writes.
#ifndef CUTSPOT_PROBE_EVENT_WRITER_H_
#define CUTSPOT_PROBE_EVENT_WRITER_H_

#include <string>
#include <vector>

#include "common/event_record.h"

namespace cutspot::probe {

// "CSPROBE" and a version byte that names the measures, so that files of either kind
// can be told apart (cutspot itself never reads the header):
//   1  quadrant mean luma; audio 0 at -60 dBFS to 5000 at 0 dBFS
//   2  quadrant darkness (99th percentile of cell means, a lifted black taken off);
//      audio 0 at -80 dBFS to 5000 at -30 dBFS
inline constexpr unsigned char EVENT_FORMAT_VERSION = 2;
inline constexpr unsigned char EVENT_MAGIC[EVENT_HEADER_SIZE] = {
    'C', 'S', 'P', 'R', 'O', 'B', 'E', EVENT_FORMAT_VERSION};

struct event_writer {
  int fd = -1;
  std::vector<unsigned char> buffer;
  long long records = 0;
};

// Queues the header; nothing is written before the first flush.
void start_events(event_writer& w, int fd);
bool add_events(event_writer& w, const std::vector<event_record>& records, std::string* reason);
bool flush_events(event_writer& w, std::string* reason);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_EVENT_WRITER_H_
