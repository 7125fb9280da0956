#include "probe/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "common/write_all.h"

namespace cutspot::probe {
namespace {

int rename_noreplace(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

std::string directory_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string errno_text(int err) {
  return std::strerror(err);
}

std::string exists_text(const std::string& target) {
  return target + " exists; use --force to replace it";
}

// Where the file system cannot rename without replacing (FUSE, some network file
// systems), an exclusive create claims the name first; the rename then replaces only
// that empty file of ours. Its inode is kept to remove it again if the rename fails.
int claim_and_rename(const std::string& from, const std::string& to) {
  int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat mine;
  bool known = fstat(fd, &mine) == 0;
  close(fd);
  if (output_sys.rename(from.c_str(), to.c_str()) == 0) return 0;
  int err = errno;
  struct stat now;
  if (known && lstat(to.c_str(), &now) == 0 && now.st_dev == mine.st_dev &&
      now.st_ino == mine.st_ino) {
    unlink(to.c_str());
  }
  errno = err;
  return -1;
}

int move_into_place(const output_file& out) {
  if (out.replace) return output_sys.rename(out.temp_name.c_str(), out.target.c_str());
  if (output_sys.rename_noreplace(out.temp_name.c_str(), out.target.c_str()) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
  return claim_and_rename(out.temp_name, out.target);
}

}  // namespace

const output_calls REAL_OUTPUT_CALLS = {::write, ::fsync, ::rename, rename_noreplace};
output_calls output_sys = REAL_OUTPUT_CALLS;

std::string default_event_name(std::string_view recording) {
  std::size_t slash = recording.rfind('/');
  std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = recording.rfind('.');
  if (dot != std::string_view::npos && dot > base) recording = recording.substr(0, dot);
  return std::string(recording) + ".evt";
}

bool names_open_descriptor(const std::string& path) {
  std::string name = path;
  // Each step resolves the directory and looks at the last component, which may be a
  // link (/dev/stdout -> /proc/self/fd/1); a descriptor's own link is never followed,
  // since it leads to whatever file is open.
  for (int hops = 0; hops < 16; ++hops) {
    char dir[PATH_MAX];
    if (!realpath(directory_of(name).c_str(), dir)) return false;
    if (std::string_view(dir).starts_with("/proc/")) return true;
    std::string here = std::string(dir) + "/" + base_of(name);
    char link[PATH_MAX];
    ssize_t n = readlink(here.c_str(), link, sizeof link - 1);
    if (n <= 0) return false;
    link[n] = 0;
    name = link[0] == '/' ? std::string(link) : std::string(dir) + "/" + link;
  }
  return false;
}

int remove_stale_temporaries(const std::string& dir, std::time_t now) {
  DIR* d = opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  while (const dirent* e = readdir(d)) {
    std::string_view name = e->d_name;
    if (!name.starts_with(TEMP_PREFIX) || name.size() != std::strlen(TEMP_PREFIX) + 6) continue;
    std::string path = dir + "/" + e->d_name;
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    // A live run holds the lock from just after it made the file: an unlocked file
    // that old has no run left to finish it.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime <= now - STALE_AFTER_S &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0) {
      ++removed;
    }
    close(fd);
  }
  closedir(d);
  return removed;
}

bool check_output(const std::string& target, bool replace, output_file* out, std::string* reason) {
  out->target = target;
  out->replace = replace;
  out->temp_name.clear();
  out->exists = false;
  out->direct = false;
  if (target == "-") return true;
  struct stat st;
  // A device or a pipe (/dev/stdout, a FIFO) is written to as it is: there is no file
  // to lose, and renaming over it would replace the device itself. What decides is the
  // file's type, not its directory: /dev/shm holds ordinary files.
  bool special = stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  if (special || names_open_descriptor(target)) {
    out->direct = true;
    return true;
  }
  if (!replace && lstat(target.c_str(), &st) == 0) {
    out->exists = true;
    *reason = exists_text(target);
    return false;
  }
  return true;
}

bool open_output(const std::string& target, bool replace, mode_t umask_bits, output_file* out,
                 std::string* reason) {
  if (!check_output(target, replace, out, reason)) return false;
  if (target == "-") {
    out->fd = STDOUT_FILENO;
    return true;
  }
  if (out->direct) {
    out->fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (out->fd < 0) {
      out->direct = false;
      *reason = "cannot open " + target + ": " + errno_text(errno);
      return false;
    }
    return true;
  }
  std::string dir = directory_of(target);
  remove_stale_temporaries(dir, time(nullptr));
  std::string pattern = dir + "/" + TEMP_PREFIX + "XXXXXX";
  int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    *reason = "cannot create a file in " + dir + ": " + errno_text(errno);
    return false;
  }
  // Where locks are not supported the file is simply never taken for stale.
  flock(fd, LOCK_EX | LOCK_NB);
  if (fchmod(fd, 0644 & ~umask_bits) != 0) {
    int err = errno;
    close(fd);
    unlink(pattern.c_str());
    *reason = "cannot set the mode of " + pattern + ": " + errno_text(err);
    return false;
  }
  out->fd = fd;
  out->temp_name = pattern;
  return true;
}

bool write_all(int fd, const unsigned char* data, std::size_t size, std::string* reason) {
  int err = cutspot::write_all(fd, data, size, output_sys.write);
  if (err != 0) *reason = "cannot write the event file: " + errno_text(err);
  return err == 0;
}

bool commit_output(output_file* out, std::string* reason) {
  if (out->direct) {
    out->direct = false;
    if (close(out->fd) != 0) {
      out->fd = -1;
      *reason = "cannot write the event file: " + errno_text(errno);
      return false;
    }
    out->fd = -1;
    return true;
  }
  if (out->temp_name.empty()) return true;
  // An error that fsync or close report is the last word on the data: the file is not
  // kept. Closing drops the lock; a fresh time keeps the file from being taken for stale.
  int fd = out->fd;
  out->fd = -1;
  int err = output_sys.fsync(fd) != 0 ? errno : 0;
  if (err == 0 && futimens(fd, nullptr) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    *reason = "cannot write the event file: " + errno_text(err);
    unlink(out->temp_name.c_str());
    out->temp_name.clear();
    return false;
  }
  sigset_t all, before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  int rc = move_into_place(*out);
  err = errno;
  if (rc != 0) unlink(out->temp_name.c_str());
  sigprocmask(SIG_SETMASK, &before, nullptr);
  out->temp_name.clear();
  if (rc == 0) return true;
  out->exists = err == EEXIST;
  *reason = out->exists ? exists_text(out->target)
                        : "cannot write " + out->target + ": " + errno_text(err);
  return false;
}

output_file::~output_file() {
  abandon_output(this);
}

void abandon_output(output_file* out) {
  if (out->direct) {
    close(out->fd);
    out->fd = -1;
    out->direct = false;
  }
  if (out->temp_name.empty()) return;
  if (out->fd >= 0) close(out->fd);
  out->fd = -1;
  unlink(out->temp_name.c_str());
  out->temp_name.clear();
}

}  // namespace cutspot::probe
