#include "probe/progress.h"

#include <cmath>
#include <cstdio>

namespace cutspot::probe {
namespace {

constexpr int LINE_WIDTH = 48;

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
    double part = done_s / total_s;
    part = part < 0 ? 0 : (part > 1 ? 1 : part);
    std::string left = speed > 0 ? clock_text((total_s - done_s) / speed) + " left" : "";
    std::snprintf(buf, sizeof buf, "\r%3d%% %.1fx real time, %s", static_cast<int>(part * 100),
                  speed, left.c_str());
  } else {
    std::snprintf(buf, sizeof buf, "\r%s done, %.1fx real time", clock_text(done_s).c_str(),
                  speed);
  }
  std::string line = buf;
  if (line.size() < LINE_WIDTH) line.append(LINE_WIDTH - line.size(), ' ');
  return line;
}

std::string progress_clear() { return "\r" + std::string(LINE_WIDTH, ' ') + "\r"; }

}  // namespace cutspot::probe
