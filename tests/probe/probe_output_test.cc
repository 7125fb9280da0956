// How cutspot-probe puts its event file in place: never over an existing file without
// --force, whatever the file system offers; decided by the file's type; failures of
// every system call leave nothing; signals wait until the file is there; and the
// temporary files of killed runs are removed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "probe/output_file.h"

namespace cutspot::probe {
namespace {

std::string content(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// A scratch directory, and the real system calls back after each test.
struct OutputSafety : ::testing::Test {
  std::filesystem::path dir;
  void SetUp() override {
    char pattern[] = "/tmp/probe-output-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    output_sys = REAL_OUTPUT_CALLS;
    std::filesystem::remove_all(dir);
  }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  // Opens a.evt, writes "new" and commits it. The umask tells a mode of 0644 less it
  // from one that ignores it and from 0666 less it.
  bool write_new(bool replace, std::string* reason, output_file* out) {
    if (!open_output(path("a.evt"), replace, 040, out, reason)) return false;
    return write_all(out->fd, reinterpret_cast<const unsigned char*>("new"), 3, reason) &&
           commit_output(out, reason);
  }
};

// Another run's event file appears just before this one is put in place.
int rename_after_another(const char* from, const char* to) {
  put(to, "another run's");
  return REAL_OUTPUT_CALLS.rename_noreplace(from, to);
}
// A call that fails as a device, or a file system or kernel without it, would.
template <int error, class R, class... Args>
R failing(Args...) {
  errno = error;
  return -1;
}
template <int error>
constexpr auto rename_error = failing<error, int, const char*, const char*>;
constexpr auto no_noreplace = rename_error<EINVAL>;
int no_noreplace_after_another(const char* from, const char* to) {
  put(to, "another run's");
  return no_noreplace(from, to);
}

TEST_F(OutputSafety, NeverReplacedWithoutForce) {
  struct {
    const char* what;
    int (*noreplace)(const char*, const char*);
    bool appears;
  } cases[] = {
      {"renameat2", REAL_OUTPUT_CALLS.rename_noreplace, false},
      {"renameat2, another run first", rename_after_another, true},
      {"no renameat2 in the file system", no_noreplace, false},
      {"no renameat2 in the file system, another run first", no_noreplace_after_another, true},
      {"no renameat2 in the kernel", rename_error<ENOSYS>, false},
  };
  for (const auto& c : cases) {
    output_sys.rename_noreplace = c.noreplace;
    output_file out;
    std::string reason;
    bool ok = write_new(false, &reason, &out);
    EXPECT_EQ(ok, !c.appears) << c.what << ": " << reason;
    EXPECT_EQ(out.exists, c.appears) << c.what;
    EXPECT_EQ(content(path("a.evt")), c.appears ? "another run's" : "new") << c.what;
    EXPECT_EQ(reason, c.appears ? path("a.evt") + " exists; use --force to replace it" : "");
    EXPECT_EQ(names(), std::vector<std::string>{"a.evt"}) << c.what;
    unlink(path("a.evt").c_str());
  }
}

ssize_t write_short(int fd, const void* data, std::size_t size) {
  return REAL_OUTPUT_CALLS.write(fd, data, size > 1 ? 1 : size);
}
constexpr auto write_fails = failing<EIO, ssize_t, int, const void*, std::size_t>;
constexpr auto fsync_fails = failing<EIO, int, int>;

TEST_F(OutputSafety, EveryFailedCallFailsAndLeavesNothing) {
  const auto NOREPLACE = REAL_OUTPUT_CALLS.rename_noreplace;
  const std::string EIO_TEXT = "cannot write the event file: Input/output error",
                    EXDEV_TEXT = "cannot write " + path("a.evt") + ": Invalid cross-device link",
                    EACCES_TEXT = "cannot write " + path("a.evt") + ": Permission denied";
  struct {
    const char* what;
    output_calls calls;
    bool replace;
    std::string reason;  // Empty: succeeds.
  } cases[] = {
      {"short writes", {write_short, ::fsync, ::rename, NOREPLACE}, false, ""},
      {"write", {write_fails, ::fsync, ::rename, NOREPLACE}, false, EIO_TEXT},
      {"fsync", {::write, fsync_fails, ::rename, NOREPLACE}, false, EIO_TEXT},
      {"fsync, --force", {::write, fsync_fails, ::rename, NOREPLACE}, true, EIO_TEXT},
      {"rename, --force", {::write, ::fsync, rename_error<EXDEV>, NOREPLACE}, true, EXDEV_TEXT},
      {"renameat2", {::write, ::fsync, ::rename, rename_error<EACCES>}, false, EACCES_TEXT},
      {"after the claim", {::write, ::fsync, rename_error<EXDEV>, no_noreplace}, false, EXDEV_TEXT},
  };
  for (const auto& c : cases) {
    output_sys = c.calls;
    std::string reason;
    bool ok = false;
    {
      output_file out;  // Removes what a failure left as it goes out of scope.
      ok = write_new(c.replace, &reason, &out);
      EXPECT_FALSE(out.exists) << c.what;
    }
    EXPECT_EQ(ok, c.reason.empty()) << c.what;
    EXPECT_EQ(reason, c.reason) << c.what;
    if (c.reason.empty()) {
      EXPECT_EQ(content(path("a.evt")), "new") << c.what;
      struct stat st;
      EXPECT_TRUE(stat(path("a.evt").c_str(), &st) == 0 && (st.st_mode & 0777) == 0604);
      unlink(path("a.evt").c_str());
    }
    EXPECT_TRUE(names().empty()) << c.what;
  }
}

// What a signal handler finds when it runs: whether the event file was there.
std::string signal_target;
volatile sig_atomic_t signal_saw_file = -1;
void note_signal(int) {
  signal_saw_file = access(signal_target.c_str(), F_OK) == 0;
}
int rename_signalled(const char* from, const char* to) {
  raise(SIGUSR1);
  return REAL_OUTPUT_CALLS.rename_noreplace(from, to);
}
int rename_signalled_fails(const char* from, const char* to) {
  raise(SIGUSR1);
  return rename_error<EACCES>(from, to);
}

TEST_F(OutputSafety, SignalsWaitUntilTheFileIsInPlace) {
  struct sigaction sa = {}, before;
  sa.sa_handler = note_signal;
  sigemptyset(&sa.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &sa, &before), 0);
  signal_target = path("a.evt");
  for (bool fails : {false, true}) {
    signal_saw_file = -1;
    output_sys.rename_noreplace = fails ? rename_signalled_fails : rename_signalled;
    output_file out;
    std::string reason;
    EXPECT_EQ(write_new(false, &reason, &out), !fails) << reason;
    // The handler ran once the outcome was settled on disk, and only then.
    EXPECT_EQ(signal_saw_file, fails ? 0 : 1);
    EXPECT_EQ(names(), fails ? std::vector<std::string>{} : std::vector<std::string>{"a.evt"});
    unlink(path("a.evt").c_str());
  }
  sigaction(SIGUSR1, &before, nullptr);
}

TEST_F(OutputSafety, TemporariesOfKilledRunsAreRemoved) {
  const std::time_t now = time(nullptr);
  struct {
    const char* name;
    std::time_t age;
    bool locked;
    bool removed;
  } cases[] = {
      {".cutspot-probe-aaaaaa", STALE_AFTER_S, false, true},
      {".cutspot-probe-bbbbbb", STALE_AFTER_S - 1, false, false},  // Just made.
      {".cutspot-probe-cccccc", 3600, true, false},                // Its run lives.
      {".cutspot-probe-dddddd7", 3600, false, false},              // Not one of ours.
      {"cutspot-probe-eeeeee", 3600, false, false},
      {"show.evt", 3600, false, false},
  };
  std::vector<int> locks;
  std::vector<std::string> kept;
  for (const auto& c : cases) {
    put(path(c.name), "x");
    struct timespec times[2] = {{now - c.age, 0}, {now - c.age, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path(c.name).c_str(), times, 0), 0);
    if (c.locked) {
      locks.push_back(open(path(c.name).c_str(), O_RDONLY));
      ASSERT_EQ(flock(locks.back(), LOCK_EX), 0);
    }
    if (!c.removed) kept.push_back(c.name);
  }
  ASSERT_EQ(mkdir(path(".cutspot-probe-ffffff").c_str(), 0700), 0);
  kept.push_back(".cutspot-probe-ffffff");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(remove_stale_temporaries(dir.string(), now), 1);
  EXPECT_EQ(names(), kept);

  // A new run removes them too, and holds the lock on its own.
  put(path(".cutspot-probe-gggggg"), "x");
  struct timespec old[2] = {{now - 3600, 0}, {now - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path(".cutspot-probe-gggggg").c_str(), old, 0), 0);
  output_file out;
  std::string reason;
  ASSERT_TRUE(open_output(path("a.evt"), false, 022, &out, &reason)) << reason;
  EXPECT_FALSE(std::filesystem::exists(path(".cutspot-probe-gggggg")));
  ASSERT_EQ(utimensat(AT_FDCWD, out.temp_name.c_str(), old, 0), 0);
  EXPECT_EQ(remove_stale_temporaries(dir.string(), now), 0);
  EXPECT_TRUE(std::filesystem::exists(out.temp_name));
  abandon_output(&out);
  for (int fd : locks) close(fd);
}

}  // namespace
}  // namespace cutspot::probe
