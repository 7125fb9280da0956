// The pictures of a synthetic broadcast (broadcast_layout.h), frame by frame, as 8-bit
// YUV 4:2:0 on the TV scale. Textures are made once per scene or spot and only moved
// and mapped per frame, so that a half-hour recording renders in seconds of CPU.
#ifndef CUTSPOT_TOOLS_BROADCAST_PICTURE_H_
#define CUTSPOT_TOOLS_BROADCAST_PICTURE_H_

#include <array>
#include <cstdint>
#include <vector>

#include "broadcast_layout.h"

namespace broadcast {

struct picture_options {
  int width = 720;  // Even.
  int height = 576;
  std::uint64_t seed = 1;
  int black = 16;      // The luma of black: lifted (28-35) for an analog recorder.
  double noise = 0.0;  // Standard deviation of the picture noise in luma steps.
};

struct planes {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y, u, v;  // Chroma at half width and height.
};

class picture_maker {
 public:
  picture_maker(const layout& l, const picture_options& options);
  // Frames must be asked for in increasing order.
  void render(std::int64_t frame, planes* out);

 private:
  struct scene {
    const planes* texture = nullptr;
    std::int64_t end = 0;  // Frame where the next scene starts.
    double x = 0, y = 0, vx = 0, vy = 0;
  };
  void new_scene(const piece& p, std::int64_t frame);
  void copy_window(std::int64_t frame, planes* out);
  void programme(const piece& p, const trap* t, std::int64_t frame, planes* out);
  void bumper(const piece& p, std::int64_t frame, planes* out);
  void finish(double gain, planes* out);

  const layout& l_;
  picture_options o_;
  layout_cursor cursor_;
  rng r_;
  std::vector<planes> pool_;  // The programme's recurring sets.
  planes spot_texture_;
  scene scene_;
  std::size_t scene_piece_ = static_cast<std::size_t>(-1);
  std::vector<std::int8_t> noise_;
  std::array<std::uint8_t, 256> lift_{};  // Black 16 to the recorder's black.
  int window_x_ = 0, window_y_ = 0;       // The lit window of the current dark scene.
  const trap* window_trap_ = nullptr;
};

}  // namespace broadcast

#endif  // CUTSPOT_TOOLS_BROADCAST_PICTURE_H_
