// A closed standard stream would hand its number to the next file opened, and output
// meant for the terminal would land in it.
#ifndef CUTSPOT_COMMON_STANDARD_STREAMS_H_
#define CUTSPOT_COMMON_STANDARD_STREAMS_H_

namespace cutspot {

// Fills each closed standard stream with /dev/null opened read-only, so that output
// meant for it fails loudly. False if that could not be done.
bool fill_closed_standard_streams();

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_STANDARD_STREAMS_H_
