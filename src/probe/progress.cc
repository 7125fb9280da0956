#include "probe/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cutspot::probe {
namespace {

// Including the carriage return; the longest line is shorter.
constexpr std::size_t LINE_WIDTH = 48;

std::string clock_text(double seconds) {
  long s = seconds > 0 ? std::lround(seconds) : 0;
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  }
  return buf;
}

}  // namespace

std::string progress_line(double done_s, double total_s, double wall_s) {
  double speed = wall_s > 0 ? done_s / wall_s : 0;
  char buf[128];
  if (total_s > 0) {
    double part = std::clamp(done_s / total_s, 0.0, 1.0);
    int n = std::snprintf(buf, sizeof buf, "\r%3d%%", static_cast<int>(part * 100));
    if (speed > 0) {
      std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %.1fx real time, %s left",
                    speed, clock_text(std::max(total_s - done_s, 0.0) / speed).c_str());
    }
  } else {
    std::snprintf(buf, sizeof buf, "\r%s done, %.1fx real time", clock_text(done_s).c_str(), speed);
  }
  std::string line = buf;
  if (line.size() < LINE_WIDTH) line.append(LINE_WIDTH - line.size(), ' ');
  return line;
}

std::string progress_clear() {
  return "\r" + std::string(LINE_WIDTH - 1, ' ') + "\r";
}

}  // namespace cutspot::probe
