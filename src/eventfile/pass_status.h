// How a pass over the event file ended. Every pass returns one; only the run sequence
// turns a failure into a message and an exit status.
#ifndef CUTSPOT_EVENTFILE_PASS_STATUS_H_
#define CUTSPOT_EVENTFILE_PASS_STATUS_H_

namespace cutspot {

enum class [[nodiscard]] pass_status{
    ok,           // Every record of the snapshot was handled.
    read_error,   // The source reported a failure; its error() says which.
    changed,      // The file ended before the length it had when it was opened.
    write_error,  // Standard output failed, so the pass stopped.
};

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_PASS_STATUS_H_
