// Made-up broadcasts, segment by segment, as the probe would measure them: audio every
// 20 ms, a picture every 40 ms. For the tests of breaks and the fuzzer's seeds.
#ifndef CUTSPOT_TESTS_BROADCAST_SEGMENTS_H_
#define CUTSPOT_TESTS_BROADCAST_SEGMENTS_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "event_file_writer.h"

namespace cutspot::testing {

// One stretch of a made-up broadcast.
enum class look { programme, speech_pause, music, spot, black, dark_loud };
struct segment {
  look kind;
  std::int64_t ns;
};

// Raw audio values (the loudest is 4000, so levels are scaled by 2 and the silence
// threshold is 800) and pictures of each look, in the order of the enum: speech at 3200
// with a pause at 2000 of 400 ms every 3 s, a music bed steady at 3300, spots steady at
// 4000, separators silent; pictures: programme 120, spots 150, black 16.
struct sound_and_picture {
  std::uint32_t value;
  unsigned char picture;
};
inline constexpr sound_and_picture LOOKS[] = {{3200, 120}, {2000, 120}, {3300, 120},
                                              {4000, 150}, {0, 16},     {3200, 16}};

inline std::string broadcast(const std::vector<segment>& segments) {
  std::vector<event_record> records;
  std::int64_t at = 0;
  for (const segment& s : segments) {
    const std::int64_t end = at + s.ns;
    for (std::int64_t t = at; t < end; t += 20 * MS) {
      auto [value, picture] = LOOKS[static_cast<int>(s.kind)];
      if (s.kind == look::programme && (t / MS) % 3000 < 400) value = 2000;
      records.push_back(audio(t, value));
      if ((t / (20 * MS)) % 2 == 1) records.push_back(video(t, picture));
    }
    at = end;
  }
  return event_file(records);
}

inline std::vector<segment> block(std::vector<int> spot_seconds) {
  std::vector<segment> out = {{look::black, 600 * MS}};
  for (std::size_t i = 0; i < spot_seconds.size(); ++i) {
    out.push_back({look::spot, spot_seconds[i] * SEC});
    out.push_back({look::black, i + 1 < spot_seconds.size() ? 200 * MS : 800 * MS});
  }
  return out;
}

inline std::vector<segment> join(std::initializer_list<std::vector<segment>> parts) {
  std::vector<segment> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline std::vector<segment> programme(int seconds) {
  return {{look::programme, seconds * SEC}};
}

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_BROADCAST_SEGMENTS_H_
