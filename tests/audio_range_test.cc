#include "analysis/audio_range.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "event_file_writer.h"

namespace cutspot {
namespace {

using namespace testing;

audio_range scan(const std::vector<test_record>& records) {
  const std::string bytes = event_file(records);
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  return scan_audio_range(reader.get());
}

TEST(AudioRange, ScaleAndThreshold) {
  struct {
    std::vector<std::uint32_t> values;
    std::uint32_t scale, threshold;
  } cases[] = {
      {{1000, 3000, 5000}, 2, 2800},
      {{0, 20000}, 1, 2000},
      {{10, 100}, 100, 1900},
      {{400}, 25, 10000},
      {{5000}, 2, 10000},
      {{5001}, 1, 5001},
      {{10000}, 1, 10000},
      {{10001, 1}, 1, 1001},
      {{0}, 1, 0},  // Silence throughout: nothing is quieter than the threshold.
      {{0xFFFFFFFF}, 1, 0xFFFFFFFF},
      {{0, 0xFFFFFFFF}, 1, 429496729},
      {{}, 1, 0xFFFFFFFF},  // No audio: every level counts as quiet.
  };
  for (auto& c : cases) {
    std::vector<test_record> records;
    std::int64_t t = SEC;
    for (std::uint32_t v : c.values) {
      // Other records carry values too, but only audio counts.
      records.insert(records.end(), {audio(t += MS, v),
                                     {t, 2, 99999, {9, 9, 9, 9}, 0},
                                     {t, 3, 0xFFFFFFFF, {}, 0},
                                     {t, 0x01000000, 0, {}, 0}});
    }
    audio_range r = scan(records);
    EXPECT_EQ(r.audio_scale, c.scale) << ::testing::PrintToString(c.values);
    EXPECT_EQ(r.silence_threshold, c.threshold) << ::testing::PrintToString(c.values);
    EXPECT_EQ(is_gap_mode(r), c.scale == 1);
  }
}

}  // namespace
}  // namespace cutspot
