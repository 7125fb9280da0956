// Writing a whole buffer to a file descriptor.
#ifndef CUTSPOT_COMMON_WRITE_ALL_H_
#define CUTSPOT_COMMON_WRITE_ALL_H_

#include <sys/types.h>

#include <cstddef>

namespace cutspot {

using write_call = ssize_t (*)(int, const void*, std::size_t);

// Writes all n bytes with write_call, retrying after interruptions and short writes and
// waiting on a full non-blocking descriptor. Returns 0, or the errno of the failure.
int write_all(int fd, const void* data, std::size_t n, write_call write);

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_WRITE_ALL_H_
