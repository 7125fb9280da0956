// The built program as a real process, where a real process is the point: files that
// change while they are read, pipes, a full disk, a closed or non-blocking standard
// output, the file system's own errors and names relative to the working directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "event_file_writer.h"
#include "in_memory_run.h"
#include "process.h"
#include "run_rows.h"

namespace cutspot {
namespace {

using namespace testing;

// Breaks every 20 s for `seconds`: a -graph output of about 3.8 MB a minute.
std::string recording(int seconds, int first_break = 30) {
  std::vector<event_record> r;
  for (std::int64_t t = 20 * MS; t < seconds * SEC; t += 20 * MS) {
    const bool in_break = t >= first_break * SEC && t % (20 * SEC) < SEC;
    r.push_back(audio(t, in_break ? 100 : 4000));
    r.push_back(video(t + 10 * MS, in_break ? 10 : 220));
  }
  return event_file(r);
}

void append(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// `cutspot -graph` into a pipe that is not read until meanwhile() has changed the file:
// the run blocks on the full pipe in its graph pass.
TEST(Process, WhileTheRunWaitsOnAFullPipe) {
  temp_dir dir;
  const std::string before = recording(120);
  const std::string path = dir.write("live.evt", before);
  const std::string graph = run_in_memory({"-graph", path}, {{path, before}}, 8192).out;
  const auto stalled = [&](const std::function<void()>& meanwhile, bool non_blocking = false) {
    return run_cutspot(
        {"-graph", path},
        {.how = stdout_target::pipe, .non_blocking = non_blocking, .while_blocked = [&] {
           std::this_thread::sleep_for(std::chrono::milliseconds(100));
           meanwhile();
         }});
  };
  // A non-blocking pipe waits instead of failing.
  process_result r = stalled([] {}, true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, graph);
  // The recorder goes on, with breaks of its own: the file is judged as it was when opened.
  r = stalled([&] { append(path, recording(600, 130).substr(before.size())); });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, graph);
  r = stalled([&] { std::filesystem::resize_file(path, 10000); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cutspot: '" + path + "' changed while it was read\n");
  EXPECT_FALSE(r.out.ends_with("E\n"));
}

TEST(Process, OutputThatCannotBeWritten) {
  temp_dir dir;
  const std::string path = dir.write("show.evt", recording(60));
  const process_result r =
      run_cutspot({"-graph", path}, {.how = stdout_target::file, .path = "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cutspot: error writing standard output: No space left on device\n");
  const process_result c = run_cutspot({path}, {.how = stdout_target::closed});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, "cutspot: error writing standard output: Bad file descriptor\n");
}

// What the file system holds under a name relative to the working directory.
TEST(Process, WhatTheFileSystemGives) {
  temp_dir dir;
  dir.write("season 2.evt/ep 1.evt", recording(60));
  std::filesystem::create_directories(dir.path() + "/folder.evt");
  ASSERT_EQ(mkfifo((dir.path() + "/fifo.evt").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() + "/gone", dir.path() + "/dangling.evt");
  // Reports size 0, and is then read as empty instead of for ever.
  std::filesystem::create_symlink("/proc/self/pagemap", dir.path() + "/pagemap.evt");
  const std::string usage = "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";
  const stdout_target here{.working_directory = dir.path()};
  expect_rows(
      {
          {{"season 2.evt/ep 1.evt"}, 0, "Fseason 2.evt/ep 1.mpg\nA000:40.510\nE\n", ""},
          {{"folder.evt"}, 1, "", "cutspot: cannot read 'folder.evt': is a directory\n"},
          {{"fifo.evt"}, 1, "", "cutspot: cannot read 'fifo.evt': not a regular file\n"},
          {{"dangling.evt"},
           2,
           usage,
           "cutspot: cannot open 'dangling.evt': No such file or directory\n"},
          {{"pagemap.evt"},
           0,
           "Fpagemap.mpg\nE\n",
           "cutspot: warning: 'pagemap.evt' holds no whole record\n"},
      },
      [&](const std::vector<std::string>& args) { return run_cutspot(args, here); });
}

TEST(Process, ARealReadError) {
  // Files of the kernel that report a size but fail every read.
  for (const char* attribute : {"/sys/devices/software/power/autosuspend_delay_ms",
                                "/sys/devices/platform/power/autosuspend_delay_ms"}) {
    FILE* f = std::fopen(attribute, "rb");
    if (f == nullptr) continue;
    char c;
    const bool fails = std::fread(&c, 1, 1, f) == 0 && std::ferror(f);
    std::fclose(f);
    if (!fails) continue;
    temp_dir dir;
    const std::string link = dir.path() + "/broken.evt";
    std::filesystem::create_symlink(attribute, link);
    const process_result r = run_cutspot({link});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "cutspot: error reading '" + link + "': Input/output error\n");
    return;
  }
  GTEST_SKIP() << "no kernel attribute here fails its reads";
}

// The generator of test files answers --help like the programs do.
TEST(Process, EvtgenHelp) {
  const std::string usage =
      "usage: evtgen [--seconds N] [--bytes N] [--seed N] [--loudest N] [--break-every N]\n";
  expect_rows(
      {
          {{"--help"}, 0, usage, ""},
          {{"-h"}, 0, usage, ""},
          {{"--seconds", "1", "--help"}, 0, usage, ""},
          {{"--bogus"}, 2, "", usage},
          {{"--seconds"}, 2, "", usage},
          {{"--loudest", "9"}, 2, "", usage},
      },
      [](const std::vector<std::string>& args) { return run_process(CUTSPOT_EVTGEN, args); });
}

}  // namespace
}  // namespace cutspot
