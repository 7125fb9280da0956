#include "probe/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cutspot::probe {
namespace {

std::string directory_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string errno_text(int err) {
  return std::strerror(err);
}

}  // namespace

std::string default_event_name(std::string_view recording) {
  std::size_t slash = recording.rfind('/');
  std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = recording.rfind('.');
  if (dot != std::string_view::npos && dot > base) recording = recording.substr(0, dot);
  return std::string(recording) + ".evt";
}

bool open_output(const std::string& target, bool replace, mode_t umask_bits, output_file* out,
                 std::string* reason) {
  out->target = target;
  out->replace = replace;
  out->temp_name.clear();
  out->exists = false;
  out->direct = false;
  if (target == "-") {
    out->fd = STDOUT_FILENO;
    return true;
  }
  struct stat st;
  // A device or a pipe (/dev/stdout, a FIFO) is written to as it is: there is no file
  // to lose, and renaming over it would replace the device itself.
  bool special = stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  if (special || target.starts_with("/dev/")) {
    out->fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (out->fd < 0) {
      *reason = "cannot open " + target + ": " + errno_text(errno);
      return false;
    }
    out->direct = true;
    return true;
  }
  if (!replace && lstat(target.c_str(), &st) == 0) {
    out->exists = true;
    *reason = target + " exists; use --force to replace it";
    return false;
  }
  std::string pattern = directory_of(target) + "/.cutspot-probe-XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd < 0) {
    *reason = "cannot create a file in " + directory_of(target) + ": " + errno_text(errno);
    return false;
  }
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
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      *reason = "cannot write the event file: " + errno_text(errno);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
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
  int fd = out->fd;
  out->fd = -1;
  int err = fsync(fd) != 0 ? errno : 0;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    *reason = "cannot write the event file: " + errno_text(err);
    unlink(out->temp_name.c_str());
    out->temp_name.clear();
    return false;
  }
  int rc;
  if (out->replace) {
    rc = rename(out->temp_name.c_str(), out->target.c_str());
  } else {
    // link() fails with EEXIST instead of replacing, so a file that appeared while the
    // recording was read survives.
    rc = link(out->temp_name.c_str(), out->target.c_str());
    if (rc == 0) {
      unlink(out->temp_name.c_str());
    } else if (errno == EPERM || errno == EOPNOTSUPP) {
      // File systems without hard links: check, then rename.
      struct stat st;
      if (lstat(out->target.c_str(), &st) == 0) {
        errno = EEXIST;
      } else {
        rc = rename(out->temp_name.c_str(), out->target.c_str());
      }
    }
  }
  if (rc != 0) {
    int err = errno;
    unlink(out->temp_name.c_str());
    out->temp_name.clear();
    out->exists = err == EEXIST;
    *reason = out->exists ? out->target + " exists; use --force to replace it"
                          : "cannot write " + out->target + ": " + errno_text(err);
    return false;
  }
  out->temp_name.clear();
  return true;
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
