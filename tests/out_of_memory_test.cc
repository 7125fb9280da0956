// Running out of memory while the interval list grows: the run must fail cleanly, with
// the list released. Allocation failure is injected by replacing the global allocator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "analysis/quiet_intervals.h"
#include "app/run.h"
#include "event_file_writer.h"

// The replacement pair below matches; GCC cannot see that through the inlined callers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
// Allocations left before the next one fails; negative means no limit.
long allocations_left = -1;
}  // namespace

void* operator new(std::size_t n) {
  if (allocations_left == 0) throw std::bad_alloc();
  if (allocations_left > 0) --allocations_left;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace cutspot {
namespace {

using namespace testing;

// Gap mode without audio: every dark picture a few seconds after the last is an interval.
std::string many_intervals(int count) {
  std::vector<test_record> records;
  for (int i = 1; i <= count; ++i) records.push_back(video(i * 2 * SEC, 0));
  return event_file(records);
}

TEST(OutOfMemory, DetectorReleasesTheList) {
  const std::string bytes = many_intervals(2000);
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  auto detector = std::make_unique<interval_detector>();
  const audio_range range = scan_audio_range(reader.get());
  allocations_left = 20;
  detect_intervals(reader.get(), range, detector.get());
  allocations_left = -1;
  EXPECT_TRUE(detector->out_of_memory);
  EXPECT_TRUE(detector->intervals.empty());
}

TEST(OutOfMemory, RunFailsWithOneMessage) {
  const std::string bytes = many_intervals(2000);
  const char* argv[] = {"cutspot", "big.evt"};
  auto open = [&](const std::string&, std::string*, bool*) {
    return std::unique_ptr<byte_source>(new memory_source(bytes));
  };
  string_sink out, err;
  out.text.reserve(100);
  err.text.reserve(100);
  // Enough for the set-up of the run, not for two thousand nodes.
  allocations_left = 40;
  int status = run_cutspot(2, argv, open, out, err);
  allocations_left = -1;
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.text, "Fbig.mpg\n");
  EXPECT_EQ(err.text, "cutspot: out of memory\n");
}

}  // namespace
}  // namespace cutspot
