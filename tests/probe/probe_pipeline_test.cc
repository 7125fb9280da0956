// The path of records from the decoders to the file without FFmpeg: whether the pictures
// can stand for the recording, the reorder queue's order and release, the sequencer's
// last repeats, and the writer's bytes across its flushes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/event_record.h"
#include "probe/coverage.h"
#include "probe/event_writer.h"
#include "probe/reorder_queue.h"
#include "probe/sequencer.h"

namespace cutspot::probe {
namespace {

constexpr std::int64_t MS = 1'000'000;
constexpr std::int64_t S = 1'000'000'000;

TEST(ProbeCoverage, Thresholds) {
  struct {
    const char* what;
    coverage c;
    std::int64_t length_ns;
    const char* fault;  // Empty: none.
  } cases[] = {
      {"nothing decoded", {}, 20 * S, ""},
      {"whole", {20 * S, 0, 20 * S}, 20 * S, ""},
      {"unknown length", {S, 0, S}, 0, ""},
      {"crowded to the limit", {2 * S + 2 * S, 7, 7 + S}, 0, ""},
      {"crowded",
       {2 * S + 2 * S + 1, 7, 7 + S},
       0,
       "the time stamps cannot be trusted: 4.0 s of pictures have times within 1.0 s"},
      {"all at one time",
       {20 * S, 0, 40 * MS},
       20 * S,
       "the time stamps cannot be trusted: 20.0 s of pictures have times within 0.0 s"},
      {"half", {10 * S, 0, 10 * S}, 20 * S, ""},
      {"under half",
       {10 * S - 1, 0, 10 * S},
       20 * S,
       "only 10.0 s of the recording's 20.0 s could be decoded (damaged?)"},
      {"under half, 2 s short", {S, 0, S}, 3 * S, ""},
      {"under half, just over 2 s short",
       {S - 1, 0, S},
       3 * S,
       "only 1.0 s of the recording's 3.0 s could be decoded (damaged?)"},
      {"a damaged MP4",
       {700 * MS, 0, 700 * MS},
       20 * S,
       "only 0.7 s of the recording's 20.0 s could be decoded (damaged?)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(coverage_fault(c.c, c.length_ns), c.fault) << c.what;
  }
}

TEST(ProbeCoverage, AddsPictures) {
  coverage c;
  // Two recordings joined: the clock carries on, so the span grows with the pictures.
  for (int i = 0; i < 500; ++i) add_picture(c, (i < 250 ? i : i + 5) * 40 * MS, 40 * MS);
  EXPECT_EQ(c.pictures_ns, 20 * S);
  EXPECT_EQ(c.first_ns, 0);
  EXPECT_EQ(c.end_ns, 505 * 40 * MS);
  EXPECT_EQ(coverage_fault(c, 10 * S), "");
  // Absurd values stay far from overflow.
  coverage d;
  add_picture(d, INT64_MIN, INT64_MAX);
  add_picture(d, INT64_MAX, INT64_MAX);
  EXPECT_GT(d.end_ns, d.first_ns);
  EXPECT_EQ(coverage_fault(d, 0), "");
  EXPECT_NE(coverage_fault(d, INT64_MAX), "");
}

event_record at(std::int64_t t, std::uint32_t type = RECORD_AUDIO) {
  event_record r;
  r.timestamp_ns = t;
  r.type = type;
  return r;
}

TEST(ProbeQueue, ReleasesInTimeOrderOnceTheHoldIsOver) {
  // After each push, what leaves: a record leaves once the newest is at least the hold
  // time (100) after it, earliest first, never in push order.
  struct {
    std::int64_t push;
    std::vector<std::int64_t> released;
  } steps[] = {
      {50, {}},
      {10, {}},
      {149, {10}},
      {150, {50}},
      {120, {}},
      {249, {120, 149}},
      {250, {150}},
      {100, {100}},  // Late, and old at once: it leaves, for the
                     // sequencer to drop.
      {349, {249}},
  };
  reorder_queue q;
  q.hold_ns = 100;
  for (const auto& step : steps) {
    queue_push(q, at(step.push), 0);
    std::vector<std::int64_t> got;
    queued_record out;
    while (queue_pop_ready(q, &out)) got.push_back(out.record.timestamp_ns);
    EXPECT_EQ(got, step.released) << "after pushing " << step.push;
  }
  std::vector<std::int64_t> rest;
  queued_record out;
  while (queue_pop(q, &out)) rest.push_back(out.record.timestamp_ns);
  EXPECT_EQ(rest, (std::vector<std::int64_t>{250, 349}));
}

TEST(ProbeQueue, OverCapacityTheEarliestLeaves) {
  reorder_queue q;
  q.capacity = 3;
  std::vector<std::int64_t> got;
  queued_record out;
  for (std::int64_t t : {40, 10, 30, 20, 5, 50}) {
    queue_push(q, at(t), 0);
    while (queue_pop_ready(q, &out)) got.push_back(out.record.timestamp_ns);
  }
  EXPECT_EQ(got, (std::vector<std::int64_t>{10, 5, 20}));
  EXPECT_EQ(q.heap.size(), 3u);
}

TEST(ProbeSequencer, TheLastPictureIsRepeatedToTheEndOfItsShowing) {
  struct {
    std::int64_t shown_until;
    std::vector<std::int64_t> times;
  } cases[] = {
      {200 * MS, {MS, 61 * MS, 121 * MS, 181 * MS}},
      {181 * MS + 1, {MS, 61 * MS, 121 * MS, 181 * MS}},
      {181 * MS, {MS, 61 * MS, 121 * MS}},  // Due at the end: not shown any more.
      {40 * MS, {MS}},
  };
  for (const auto& c : cases) {
    sequencer s;
    std::vector<event_record> out;
    sequence_record(s, {at(MS, RECORD_VIDEO), c.shown_until, 0}, out);
    finish_sequence(s, out);
    std::vector<std::int64_t> times;
    for (const event_record& r : out) times.push_back(r.timestamp_ns);
    EXPECT_EQ(times, c.times) << c.shown_until;
  }
}

TEST(ProbeWriter, EveryRecordOnceAcrossFlushes) {
  // 5000 records in batches of 75 (a second of 25 pictures and 50 sound windows) pass
  // the flush size of the writer several times.
  char name[] = "/tmp/probe-writer-XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  event_writer w;
  start_events(w, fd);
  std::string reason;
  std::vector<event_record> batch;
  for (int i = 0; i < 5000; ++i) {
    batch.push_back(at(i + 1, i % 3 == 0 ? RECORD_VIDEO : RECORD_AUDIO));
    if (batch.size() == 75 || i == 4999) {
      ASSERT_TRUE(add_events(w, batch, &reason)) << reason;
      batch.clear();
    }
  }
  ASSERT_TRUE(flush_events(w, &reason)) << reason;
  EXPECT_EQ(w.records, 5000);
  std::vector<unsigned char> bytes(EVENT_HEADER_SIZE + 5001 * EVENT_RECORD_SIZE);
  ssize_t n = pread(fd, bytes.data(), bytes.size(), 0);
  close(fd);
  unlink(name);
  ASSERT_EQ(n, static_cast<ssize_t>(EVENT_HEADER_SIZE + 5000 * EVENT_RECORD_SIZE));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 7), "CSPROBE");
  for (int i = 0; i < 5000; ++i) {
    event_record r = decode_event_record(bytes.data() + EVENT_HEADER_SIZE + i * EVENT_RECORD_SIZE);
    ASSERT_EQ(r.timestamp_ns, i + 1);
    ASSERT_EQ(r.type, i % 3 == 0 ? RECORD_VIDEO : RECORD_AUDIO);
  }

  // A failed write fails the flush with the reason.
  start_events(w, -1);
  EXPECT_FALSE(flush_events(w, &reason));
  EXPECT_EQ(reason, "cannot write the event file: Bad file descriptor");
}

}  // namespace
}  // namespace cutspot::probe
