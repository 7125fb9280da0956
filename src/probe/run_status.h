// How a run, or a step of one, ended.
#ifndef CUTSPOT_PROBE_RUN_STATUS_H_
#define CUTSPOT_PROBE_RUN_STATUS_H_

namespace cutspot::probe {

enum class run_status { ok, failed, interrupted };

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_RUN_STATUS_H_
