// Fixed-width big-endian decoding. Event files store every multi-byte field with the
// most significant byte first; these helpers turn such bytes into host integers on any
// host, big- or little-endian, without alignment requirements.
#ifndef CUTSPOT_EVENTFILE_BIG_ENDIAN_H_
#define CUTSPOT_EVENTFILE_BIG_ENDIAN_H_

#include <cstdint>

namespace cutspot {

inline std::uint32_t decode_be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline std::uint64_t decode_be64(const unsigned char* p) {
  return (std::uint64_t{decode_be32(p)} << 32) | decode_be32(p + 4);
}

}  // namespace cutspot

#endif  // CUTSPOT_EVENTFILE_BIG_ENDIAN_H_
