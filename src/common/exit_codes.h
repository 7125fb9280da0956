// The exit statuses of cutspot and cutspot-probe.
#ifndef CUTSPOT_COMMON_EXIT_CODES_H_
#define CUTSPOT_COMMON_EXIT_CODES_H_

namespace cutspot {

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;  // The input could not be read or the output written.
inline constexpr int EXIT_USAGE = 2;   // The command line was refused.
inline constexpr int EXIT_EXISTS = 3;  // cutspot-probe: the event file exists; nothing was done.

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_EXIT_CODES_H_
