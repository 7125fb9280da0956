#include "eventfile/record_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/run.h"
#include "event_file_writer.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

// Delivers at most 7 bytes per read, as pipes can, and fails at byte fail_at of the
// fail_in_pass-th pass over the file.
class trickle_source final : public byte_source {
 public:
  trickle_source(std::string bytes, std::size_t fail_at, int fail_in_pass = 1)
      : bytes_(bytes), fail_at_(fail_at), fail_in_pass_(fail_in_pass) {}
  bool rewind() override {
    pos_ = 0;
    ++pass_;
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    const bool failing = pass_ == fail_in_pass_;
    const std::size_t limit = failing ? std::min(fail_at_, bytes_.size()) : bytes_.size();
    if (failing && pos_ >= fail_at_) error_ = "Input/output error";
    std::size_t count = std::min({n, std::size_t{7}, bytes_.size() - pos_, limit - pos_});
    std::copy_n(bytes_.data() + pos_, count, buf);
    pos_ += count;
    return count;
  }
  std::string error() const override { return error_; }

 private:
  std::string bytes_;
  std::size_t pos_ = 0, fail_at_;
  int pass_ = 0, fail_in_pass_;
  std::string error_;
};

// The times of every record of one pass; -1 at the end when the reader failed.
std::vector<std::int64_t> one_pass(record_reader* reader) {
  std::vector<std::int64_t> times;
  for_each_record(reader, [&](const event_record& r) {
    times.push_back(r.timestamp_ns);
    return true;
  });
  if (reader->failed()) times.push_back(-1);
  return times;
}

std::vector<std::int64_t> times_of(const std::string& bytes, std::size_t fail_at = SIZE_MAX) {
  trickle_source source(bytes, fail_at);
  return one_pass(std::make_unique<record_reader>(source).get());
}

TEST(RecordReader, WholeRecordsOnlyAndReadErrors) {
  const std::string three = event_file({video(1, 9), audio(2, 9), other(3, 7)}, 11);
  for (std::size_t size = 0; size <= three.size(); ++size) {
    std::size_t whole = size < EVENT_HEADER_SIZE ? 0 : std::min<std::size_t>((size - 8) / 24, 3);
    std::vector<std::int64_t> expected;
    for (std::size_t i = 1; i <= whole; ++i) expected.push_back(static_cast<std::int64_t>(i));
    EXPECT_EQ(times_of(three.substr(0, size)), expected) << "a file of " << size << " bytes";
    // A failure anywhere ends the pass as failed, whatever was read before.
    EXPECT_EQ(times_of(three, size).back(), -1) << "failing at byte " << size;
  }
}

TEST(RecordReader, RewindsForEveryPass) {
  std::vector<test_record> records;
  // More than one block, so that rereading has to go back to the source.
  for (int i = 1; i <= 20000; ++i) records.push_back(video(i, 100));
  const std::string bytes = event_file(records, 5);
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<std::int64_t> times = one_pass(reader.get());
    ASSERT_EQ(times.size(), 20000u);
    EXPECT_EQ(times.back(), 20000);
  }
}

// A read error is never taken for the end of the file: the run stops at once, says so,
// and prints no end line.
TEST(RecordReader, ReadErrorsFailTheRun) {
  const std::string bytes = event_file({video(1, 9), audio(2, 9), other(3, 7)});
  const run_case cases[] = {
      {{"x.evt"}, 1, "", "cutspot: error reading x.evt: Input/output error\n"},  // First pass.
      {{"x.evt"}, 1, "Fx.mpg\n", "cutspot: error reading x.evt: Input/output error\n"},
      {{"-graph", "x.evt"},
       1,
       "Timestamp : T Video Lvl | Audio Lvl\n",
       "cutspot: error reading x.evt: Input/output error\n"}};
  for (int i = 0; i < 3; ++i) {
    auto open = [&](const std::string&, std::string*, bool*) {
      return std::unique_ptr<byte_source>(new trickle_source(bytes, 40, i == 0 ? 1 : 2));
    };
    std::vector<const char*> argv = {"cutspot"};
    for (const std::string& a : cases[i].args) argv.push_back(a.c_str());
    string_sink out, err;
    EXPECT_EQ(run_cutspot(static_cast<int>(argv.size()), argv.data(), open, out, err), 1);
    EXPECT_EQ(out.text, cases[i].out);
    EXPECT_EQ(err.text, cases[i].err);
  }
}

}  // namespace
}  // namespace cutspot
