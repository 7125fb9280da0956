// Running out of memory at any allocation of a run: one message, exit status 1, no
// crash and no leak (the sanitizer build checks that). Failure is injected by replacing
// the global allocator; the sinks below allocate nothing, so only the run's own
// allocations can fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "app/run.h"
#include "event_file_writer.h"
#include "in_memory_run.h"

// The replacement pair below matches; GCC cannot see that through the inlined callers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
// Allocations left before the next one fails; negative means no limit.
long allocations_left = -1;
bool failure_injected = false;
}  // namespace

void* operator new(std::size_t n) {
  if (allocations_left == 0) {
    failure_injected = true;
    throw std::bad_alloc();
  }
  if (allocations_left > 0) --allocations_left;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return operator new(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
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

// Keeps the first bytes it is given in a fixed buffer; more than it holds make it "full".
class fixed_sink final : public byte_sink {
 public:
  bool write(const char* data, std::size_t n) override {
    size = std::min(size + n, sizeof text);
    if (size < sizeof text) std::memcpy(text + size - n, data, n);
    return true;
  }
  std::string error() const override { return {}; }
  std::string_view kept() const {
    return size < sizeof text ? std::string_view(text, size) : "full";
  }
  char text[64] = {};
  std::size_t size = 0;
};

TEST(OutOfMemory, AnyAllocationOfARunMayFail) {
  std::vector<event_record> records;
  for (int i = 1; i <= 400; ++i) records.push_back(video(i * 2 * SEC, i % 3 == 0 ? 250 : 0));
  const std::string bytes = event_file(records);
  const source_opener open = opening([&] { return std::make_unique<memory_source>(bytes); });
  for (const char* option : {"-svg", "-json", "-graph", "-p60"}) {
    const char* argv[] = {"cutspot", option, "show.evt"};
    bool completed = false;
    for (long n = 0; n < 1000 && !completed; ++n) {
      fixed_sink out, err;
      allocations_left = n;
      failure_injected = false;
      const int status = run_cutspot(3, argv, open, out, err);
      completed = !failure_injected;
      allocations_left = -1;
      EXPECT_EQ(status, completed ? 0 : 1) << option << " " << n;
      EXPECT_EQ(err.kept(), completed ? "" : "cutspot: out of memory\n") << option << " " << n;
    }
    EXPECT_TRUE(completed) << option;
  }
}

}  // namespace
}  // namespace cutspot
