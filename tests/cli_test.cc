// The command line and every failure path, run as a process: stdout bytes, stderr lines
// and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "event_file_writer.h"
#include "process.h"

namespace cutspot {
namespace {

using namespace testing;

const std::string USAGE_TEXT = "Usage: cutspot [-p<sec>] [-i<sec>] [-graph] <evt-file>\n";

// One dark and quiet moment from 100.01 s to 101.01 s: one D mark at 100.51 s.
std::string one_break_file() {
  return event_file({audio(MS, 5000), video(20 * MS, 250), audio(100 * SEC, 100),
                     video(100 * SEC + 10 * MS, 5), audio(100 * SEC + 30 * MS, 100),
                     video(101 * SEC, 250), audio(101 * SEC + 10 * MS, 4000)});
}

TEST(Cli, CommandLines) {
  temp_dir dir;
  dir.write("show.evt", one_break_file());
  dir.write("dir.evt/show.evt", one_break_file());
  dir.write("show.evt.bak", one_break_file());
  dir.write("a.evt.evt", one_break_file());
  const std::string cut = "D001:40.510\nE\n";
  run_case cases[] = {
      {{}, 2, USAGE_TEXT, ""},
      {{"show.evt"}, 0, "Fshow.mpg\n" + cut, ""},
      {{"show.evt", "extra", "-p1"}, 0, "Fshow.mpg\n" + cut, ""},
      {{"dir.evt/show.evt"}, 0, "Fdir.evt/show.mpg\n" + cut, ""},
      {{"show.evt.bak"}, 0, "Fshow.mpg\n" + cut, ""},
      {{"a.evt.evt"}, 0, "Fa.evt.mpg\n" + cut, ""},
      {{"./show.evt"}, 0, "F./show.mpg\n" + cut, ""},
      {{"missing.evt"},
       2,
       USAGE_TEXT,
       "cutspot: cannot open missing.evt: No such file or directory\n"},
      {{"show.evt/x.evt"}, 2, USAGE_TEXT, "cutspot: cannot open show.evt/x.evt: Not a directory\n"},
      {{"--help"}, 0, USAGE_TEXT, ""},
      {{"--version"}, 0, "cutspot " CUTSPOT_VERSION "\n", ""},
      {{"-graph", "-json", "show.evt"},
       2,
       USAGE_TEXT,
       "cutspot: -graph cannot be combined with -json\n"},
      {{"dir.evt"}, 1, "", "cutspot: cannot read dir.evt: is a directory\n"},
      {{"x\nA000:01.000\n.evt"},
       2,
       USAGE_TEXT,
       "cutspot: a file name with a line break would corrupt the cut list\n"}};
  for (auto& c : cases) {
    // Run inside the directory, so that names appear in messages as given.
    std::vector<std::string> full = {"-c", "cd \"$0\" && exec \"$@\"", dir.path(), CUTSPOT_BINARY};
    full.insert(full.end(), c.args.begin(), c.args.end());
    process_result r = run_process("/bin/sh", full);
    std::string name = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, c.status) << name;
    EXPECT_EQ(r.out, c.out) << name;
    EXPECT_EQ(r.err, c.err) << name;
  }
}

TEST(Cli, FifoIsRefusedWithoutWaiting) {
  temp_dir dir;
  const std::string path = dir.path() + "/x.evt";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  process_result r = run_cutspot({path});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "cutspot: cannot read " + path + ": not a regular file\n");
}

TEST(Cli, WriteErrorsAreFailures) {
  temp_dir dir;
  const std::string show = dir.write("show.evt", one_break_file());
  for (auto args : std::vector<std::vector<std::string>>{{show}, {"-graph", show}, {"--help"}}) {
    process_result full = run_cutspot(args, {stdout_target::file, "/dev/full"});
    EXPECT_EQ(full.status, 1) << args[0];
    EXPECT_EQ(full.err, "cutspot: error writing standard output: No space left on device\n");
    process_result closed = run_cutspot(args, {stdout_target::closed, ""});
    EXPECT_EQ(closed.status, 1) << args[0];
    EXPECT_EQ(closed.err, "cutspot: error writing standard output: Bad file descriptor\n");
  }
  // The usage status stays what it was.
  EXPECT_EQ(run_cutspot({}, {stdout_target::file, "/dev/full"}).status, 2);
}

TEST(Cli, EventFileIsLeftUntouched) {
  temp_dir dir;
  const std::string bytes = one_break_file();
  const std::string path = dir.write("show.evt", bytes);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  for (auto args : std::vector<std::vector<std::string>>{{path}, {"-graph", path}}) {
    EXPECT_EQ(run_cutspot(args).status, 0);
  }
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(read_file(path), bytes);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace cutspot
