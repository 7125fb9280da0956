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
int rename_raced(const char* from, const char* to) {
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
int no_noreplace_raced(const char* from, const char* to) {
  put(to, "another run's");
  return no_noreplace(from, to);
}

ssize_t write_short(int fd, const void* data, std::size_t size) {
  return REAL_OUTPUT_CALLS.write(fd, data, size > 1 ? 1 : size);
}
constexpr auto write_fails = failing<EIO, ssize_t, int, const void*, std::size_t>;
constexpr auto fsync_fails = failing<EIO, int, int>;

TEST_F(OutputSafety, NeverReplacedWithoutForceAndNothingLeftByFailures) {
  const auto [W, F, R, NOREPLACE] = REAL_OUTPUT_CALLS;
  const std::string EXISTS = path("a.evt") + " exists; use --force to replace it",
                    EIO_TEXT = "cannot write the event file: Input/output error",
                    EXDEV_TEXT = "cannot write " + path("a.evt") + ": Invalid cross-device link",
                    EACCES_TEXT = "cannot write " + path("a.evt") + ": Permission denied";
  const std::string NEW = "new", ANOTHER = "another run's";
  struct {
    const char* what;
    output_calls calls;
    bool replace;
    std::string reason;  // Empty: succeeds.
    std::string left;    // a.evt's content; empty: no a.evt.
  } cases[] = {
      {"renameat2", {W, F, R, NOREPLACE}, false, "", NEW},
      {"renameat2, raced by another run", {W, F, R, rename_raced}, false, EXISTS, ANOTHER},
      {"no renameat2 in the file system", {W, F, R, no_noreplace}, false, "", NEW},
      {"no renameat2 in the file system, raced",
       {W, F, R, no_noreplace_raced},
       false,
       EXISTS,
       ANOTHER},
      {"no renameat2 in the kernel", {W, F, R, rename_error<ENOSYS>}, false, "", NEW},
      {"short writes", {write_short, F, R, NOREPLACE}, false, "", NEW},
      {"write", {write_fails, F, R, NOREPLACE}, false, EIO_TEXT, ""},
      {"fsync", {W, fsync_fails, R, NOREPLACE}, false, EIO_TEXT, ""},
      {"fsync, --force", {W, fsync_fails, R, NOREPLACE}, true, EIO_TEXT, ""},
      {"rename, --force", {W, F, rename_error<EXDEV>, NOREPLACE}, true, EXDEV_TEXT, ""},
      {"renameat2 fails", {W, F, R, rename_error<EACCES>}, false, EACCES_TEXT, ""},
      {"after the claim", {W, F, rename_error<EXDEV>, no_noreplace}, false, EXDEV_TEXT, ""},
  };
  for (const auto& c : cases) {
    output_sys = c.calls;
    std::string reason;
    {
      output_file out;  // Removes what a failure left as it goes out of scope.
      EXPECT_EQ(write_new(c.replace, &reason, &out), c.reason.empty()) << c.what;
      EXPECT_EQ(out.exists, c.reason == EXISTS) << c.what;
    }
    EXPECT_EQ(reason, c.reason) << c.what;
    EXPECT_EQ(names(), std::vector<std::string>(c.left.empty() ? 0 : 1, "a.evt")) << c.what;
    EXPECT_EQ(content(path("a.evt")), c.left) << c.what;
    struct stat st;
    EXPECT_TRUE(c.left != NEW ||
                (stat(path("a.evt").c_str(), &st) == 0 && (st.st_mode & 0777) == 0604));
    unlink(path("a.evt").c_str());
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
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(remove_stale_temporaries(dir.string(), now), 1);
  EXPECT_EQ(names(), kept);

  // A new run removes them too, and holds the lock on its own.
  struct timespec old[2] = {{now - 3600, 0}, {now - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path(".cutspot-probe-bbbbbb").c_str(), old, 0), 0);
  output_file out;
  std::string reason;
  ASSERT_TRUE(open_output(path("a.evt"), false, 022, &out, &reason)) << reason;
  EXPECT_FALSE(std::filesystem::exists(path(".cutspot-probe-bbbbbb")));
  ASSERT_EQ(utimensat(AT_FDCWD, out.temp_name.c_str(), old, 0), 0);
  EXPECT_EQ(remove_stale_temporaries(dir.string(), now), 0);
  EXPECT_TRUE(std::filesystem::exists(out.temp_name));
  abandon_output(&out);
  for (int fd : locks) close(fd);
}

}  // namespace
}  // namespace cutspot::probe
