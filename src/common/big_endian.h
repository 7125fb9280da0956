// Fixed-width big-endian encoding and decoding. Event files store every multi-byte field
// with the most significant byte first; these helpers turn such bytes into host integers
// and back on any host, big- or little-endian, without alignment requirements. Every
// reader and writer of event files (the program, its tests, tools, fuzzers and the probe)
// goes through them.
#ifndef CUTSPOT_COMMON_BIG_ENDIAN_H_
#define CUTSPOT_COMMON_BIG_ENDIAN_H_

#include <cstdint>

namespace cutspot {

inline std::uint32_t decode_be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline std::uint64_t decode_be64(const unsigned char* p) {
  return (std::uint64_t{decode_be32(p)} << 32) | decode_be32(p + 4);
}

inline void encode_be32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

inline void encode_be64(unsigned char* p, std::uint64_t v) {
  encode_be32(p, static_cast<std::uint32_t>(v >> 32));
  encode_be32(p + 4, static_cast<std::uint32_t>(v));
}

}  // namespace cutspot

#endif  // CUTSPOT_COMMON_BIG_ENDIAN_H_
