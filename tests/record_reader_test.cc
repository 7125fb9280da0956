#include "eventfile/record_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "event_file_writer.h"

namespace cutspot {
namespace {

using namespace testing;

std::vector<std::int64_t> read_times(byte_source& source, record_reader* reader) {
  std::vector<std::int64_t> times;
  event_record r;
  reader->rewind_to_records();
  while (reader->read_event_record(&r)) times.push_back(r.timestamp_ns);
  EXPECT_FALSE(reader->failed()) << source.error();
  return times;
}

std::size_t count_records(const std::string& bytes) {
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  return read_times(source, reader.get()).size();
}

TEST(RecordReader, CountsWholeRecordsOnly) {
  const std::string three = event_file({video(1, 9), audio(2, 9), other(3, 7)});
  for (std::size_t size = 0; size <= three.size(); ++size) {
    std::size_t expected = size < EVENT_HEADER_SIZE ? 0 : (size - EVENT_HEADER_SIZE) / 24;
    EXPECT_EQ(count_records(three.substr(0, size)), expected) << "file of " << size << " bytes";
  }
  EXPECT_EQ(count_records(event_file({video(1, 9)}, 23)), 1u);
}

TEST(RecordReader, RewindsForEveryPass) {
  std::vector<test_record> records;
  // More than one block, so that rereading has to go back to the source.
  for (int i = 1; i <= 20000; ++i) records.push_back(video(i, 100));
  const std::string bytes = event_file(records, 5);
  memory_source source(bytes);
  auto reader = std::make_unique<record_reader>(source);
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<std::int64_t> times = read_times(source, reader.get());
    ASSERT_EQ(times.size(), 20000u);
    EXPECT_EQ(times.front(), 1);
    EXPECT_EQ(times.back(), 20000);
  }
}

// Delivers a few bytes at a time, as pipes and signals can; then, optionally, fails.
class trickle_source final : public byte_source {
 public:
  trickle_source(std::string bytes, std::size_t fail_at) : bytes_(bytes), fail_at_(fail_at) {}
  bool rewind() override {
    pos_ = 0;
    return true;
  }
  std::size_t read(unsigned char* buf, std::size_t n) override {
    if (pos_ >= fail_at_) {
      error_ = "Input/output error";
      return 0;
    }
    std::size_t count = std::min({n, std::size_t{7}, bytes_.size() - pos_, fail_at_ - pos_});
    std::copy_n(bytes_.data() + pos_, count, buf);
    pos_ += count;
    return count;
  }
  std::string error() const override { return error_; }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  std::size_t fail_at_;
  std::string error_;
};

TEST(RecordReader, ShortReadsAreNotTheEnd) {
  trickle_source source(event_file({video(1, 9), audio(2, 9), other(3, 7)}, 11), SIZE_MAX);
  auto reader = std::make_unique<record_reader>(source);
  EXPECT_EQ(read_times(source, reader.get()), (std::vector<std::int64_t>{1, 2, 3}));
}

TEST(RecordReader, ReadErrorEndsTheRecordsAndIsReported) {
  const std::string bytes = event_file({video(1, 9), audio(2, 9), other(3, 7)});
  for (std::size_t fail_at :
       {std::size_t{0}, std::size_t{4}, std::size_t{8}, std::size_t{40}, bytes.size() - 1}) {
    trickle_source source(bytes, fail_at);
    auto reader = std::make_unique<record_reader>(source);
    event_record r;
    reader->rewind_to_records();
    while (reader->read_event_record(&r)) {
    }
    EXPECT_TRUE(reader->failed()) << "failing at byte " << fail_at;
    EXPECT_EQ(reader->error(), "Input/output error");
  }
}

}  // namespace
}  // namespace cutspot
