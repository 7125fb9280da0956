#include "broadcast_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "broadcast_wave.h"

namespace broadcast {

namespace {

struct colour {
  std::uint8_t y, u, v;
};

// Bright, saturated colours for the spots (the first seven) and darker partners.
constexpr colour PALETTE[] = {{210, 16, 146},  {170, 166, 16}, {145, 54, 34},  {235, 128, 128},
                              {180, 140, 190}, {190, 60, 100}, {151, 44, 201}, {106, 202, 222},
                              {81, 90, 240},   {41, 240, 110}, {60, 160, 80}};
constexpr int BRIGHT_COLOURS = 7;

std::uint8_t clamp8(double v) {
  return static_cast<std::uint8_t>(std::clamp(v, 1.0, 254.0));
}

planes blank(int w, int h) {
  planes p;
  p.width = w;
  p.height = h;
  p.y.resize(static_cast<std::size_t>(w) * h);
  p.u.resize(static_cast<std::size_t>(w / 2) * (h / 2));
  p.v.resize(p.u.size());
  return p;
}

void fill(planes* p, std::uint8_t y, std::uint8_t u, std::uint8_t v) {
  std::fill(p->y.begin(), p->y.end(), y);
  std::fill(p->u.begin(), p->u.end(), u);
  std::fill(p->v.begin(), p->v.end(), v);
}

void fill_rect(planes* p, int x0, int y0, int x1, int y1, colour c) {
  x0 = std::clamp(x0, 0, p->width) & ~1;
  x1 = std::clamp(x1, 0, p->width) & ~1;
  y0 = std::clamp(y0, 0, p->height) & ~1;
  y1 = std::clamp(y1, 0, p->height) & ~1;
  for (int y = y0; y < y1; ++y)
    std::memset(&p->y[static_cast<std::size_t>(y) * p->width + x0], c.y, x1 - x0);
  const int cw = p->width / 2;
  for (int y = y0 / 2; y < y1 / 2; ++y) {
    std::memset(&p->u[static_cast<std::size_t>(y) * cw + x0 / 2], c.u, (x1 - x0) / 2);
    std::memset(&p->v[static_cast<std::size_t>(y) * cw + x0 / 2], c.v, (x1 - x0) / 2);
  }
}

struct wave2 {
  double kx, ky, phase, amp;
  double at(int x, int y) const { return amp * table_sin(kx * x + ky * y + phase); }
};

wave2 random_wave(rng& r, double shortest, double longest, double amp) {
  const double period = r.real(shortest, longest);
  const double angle = r.real(0, 1);
  return {table_cos(angle) / period, table_sin(angle) / period, r.real(), amp};
}

// A programme set: soft structures of several sizes with fine grain, never flat.
planes programme_texture(std::uint64_t seed, int w, int h, double scale) {
  rng r{seed};
  planes t = blank(w, h);
  wave2 luma[] = {
      random_wave(r, 120 * scale, 320 * scale, 0.2), random_wave(r, 50 * scale, 120 * scale, 0.14),
      random_wave(r, 20 * scale, 50 * scale, 0.09), random_wave(r, 6 * scale, 14 * scale, 0.05)};
  const double base = r.real(0.4, 0.55);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double v = base + static_cast<double>(r.next() % 33) / 800.0;
      for (const wave2& k : luma) v += k.at(x, y);
      t.y[static_cast<std::size_t>(y) * w + x] = clamp8(30 + 190 * v);
    }
  }
  const double tint_u = r.real(-14, 14), tint_v = r.real(-14, 14);
  wave2 cu = random_wave(r, 60 * scale, 200 * scale, 24);
  wave2 cv = random_wave(r, 60 * scale, 200 * scale, 24);
  for (int y = 0; y < h / 2; ++y) {
    for (int x = 0; x < w / 2; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * (w / 2) + x;
      t.u[i] = clamp8(128 + tint_u + cu.at(x, y));
      t.v[i] = clamp8(128 + tint_v + cv.at(x, y));
    }
  }
  return t;
}

// A spot's look: a bold pattern in two colours, at least one of them bright.
planes spot_texture(std::uint64_t seed, int w, int h, double scale) {
  rng r{seed};
  planes t = blank(w, h);
  const int pattern = static_cast<int>(r.between(0, 3));
  const colour a = PALETTE[r.between(0, BRIGHT_COLOURS - 1)];
  colour b = PALETTE[r.between(0, std::size(PALETTE) - 1)];
  if (b.y == a.y) b = PALETTE[(r.between(0, 9) + 1) % std::size(PALETTE)];
  const double period = r.real(24, 90) * scale;
  const double angle = r.real();
  const double cx = r.real(0, w), cy = r.real(0, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      switch (pattern) {
        case 0:  // Stripes.
          s = table_sin((x * table_cos(angle) + y * table_sin(angle)) / period);
          break;
        case 1:  // Checks.
          s = ((static_cast<int>(x / period) + static_cast<int>(y / period)) % 2) ? 1 : -1;
          break;
        case 2:  // Rings.
          s = table_sin(std::hypot(x - cx, y - cy) / period);
          break;
        default:  // Waves.
          s = table_sin(x / period + 0.6 * table_sin(y / (1.7 * period)));
          break;
      }
      const double m = std::clamp(0.5 + 1.5 * s, 0.0, 1.0);
      const std::size_t i = static_cast<std::size_t>(y) * w + x;
      t.y[i] = clamp8(a.y + (b.y - a.y) * m);
      if (x % 2 == 0 && y % 2 == 0) {
        const std::size_t c = static_cast<std::size_t>(y / 2) * (w / 2) + x / 2;
        t.u[c] = clamp8(a.u + (b.u - a.u) * m);
        t.v[c] = clamp8(a.v + (b.v - a.v) * m);
      }
    }
  }
  return t;
}

// Back and forth over [0, range], so that panning never runs off the texture.
int bounce(double a, int range) {
  if (range <= 0) return 0;
  double m = std::fmod(a, 2.0 * range);
  if (m < 0) m += 2.0 * range;
  return static_cast<int>(m > range ? 2.0 * range - m : m) & ~1;
}

}  // namespace

picture_maker::picture_maker(const layout& l, const picture_options& o)
    : l_(l), o_(o), cursor_(l), r_{o.seed ^ 0x5eed0f5ee1ULL} {
  const int tw = o.width + 2 * ((o.width / 8) & ~1);
  const int th = o.height + 2 * ((o.height / 8) & ~1);
  const double scale = o.width / 720.0;
  for (int i = 0; i < 8; ++i) pool_.push_back(programme_texture(r_.next(), tw, th, scale));
  for (int y = 0; y < 256; ++y) {
    lift_[y] = clamp8(o.black + (y - 16) * (235.0 - o.black) / 219.0);
  }
  if (o.noise > 0) {
    noise_.resize(static_cast<std::size_t>(o.width) * o.height * 3);
    for (auto& n : noise_) {
      // Three uniforms add up to nearly a normal distribution.
      double s = r_.real() + r_.real() + r_.real() - 1.5;
      n = static_cast<std::int8_t>(std::clamp(std::lround(s * 2.0 * o.noise), -127L, 127L));
    }
  }
}

void picture_maker::new_scene(const piece& p, std::int64_t frame) {
  const double speed = o_.width / 720.0;
  scene_.end = frame + r_.between(4 * FPS, 15 * FPS);
  if (p.kind == piece_kind::spot) {
    spot_texture_ = spot_texture(p.look, pool_[0].width, pool_[0].height, speed);
    scene_.texture = &spot_texture_;
    scene_.end = p.end;
    scene_.vx = r_.real(2, 6) * speed * (r_.chance(0.5) ? 1 : -1);
    scene_.vy = r_.real(0, 3) * speed;
  } else {
    scene_.texture = &pool_[r_.between(0, pool_.size() - 1)];
    scene_.vx = r_.real(-1.5, 1.5) * speed;
    scene_.vy = r_.real(-0.7, 0.7) * speed;
  }
  scene_.x = r_.real(0, 1000) - frame * scene_.vx;
  scene_.y = r_.real(0, 1000) - frame * scene_.vy;
  scene_piece_ = cursor_.piece_index();
}

void picture_maker::copy_window(std::int64_t frame, planes* out) {
  const planes& t = *scene_.texture;
  const int ox = bounce(scene_.x + frame * scene_.vx, t.width - out->width);
  const int oy = bounce(scene_.y + frame * scene_.vy, t.height - out->height);
  for (int y = 0; y < out->height; ++y) {
    std::memcpy(&out->y[static_cast<std::size_t>(y) * out->width],
                &t.y[static_cast<std::size_t>(y + oy) * t.width + ox], out->width);
  }
  const int cw = out->width / 2;
  for (int y = 0; y < out->height / 2; ++y) {
    const std::size_t from = static_cast<std::size_t>(y + oy / 2) * (t.width / 2) + ox / 2;
    std::memcpy(&out->u[static_cast<std::size_t>(y) * cw], &t.u[from], cw);
    std::memcpy(&out->v[static_cast<std::size_t>(y) * cw], &t.v[from], cw);
  }
}

void picture_maker::programme(const piece& p, const trap* t, std::int64_t frame, planes* out) {
  if (scene_piece_ != cursor_.piece_index() || frame >= scene_.end) new_scene(p, frame);
  copy_window(frame, out);
  const int w = out->width, h = out->height;
  if (t && t->kind == trap_kind::dark) {
    for (auto& y : out->y) y = static_cast<std::uint8_t>(16 + (y - 16) * 9 / 100);
    for (auto& c : out->u) c = static_cast<std::uint8_t>(128 + (c - 128) * 3 / 10);
    for (auto& c : out->v) c = static_cast<std::uint8_t>(128 + (c - 128) * 3 / 10);
    if (window_trap_ != t) {
      window_trap_ = t;
      window_x_ = static_cast<int>(r_.between(w / 10, w * 8 / 10));
      window_y_ = static_cast<int>(r_.between(h / 10, h * 7 / 10));
    }
    fill_rect(out, window_x_, window_y_, window_x_ + w / 12, window_y_ + h / 9, {200, 110, 150});
  } else if (t && t->kind == trap_kind::quietbright) {
    for (auto& y : out->y) y = static_cast<std::uint8_t>(150 + (y - 16) * 35 / 100);
  }
  // The station logo: programme only, so it is evidence of the programme.
  fill_rect(out, w * 80 / 100, h * 6 / 100, w * 92 / 100, h * 15 / 100, {235, 128, 128});
  fill_rect(out, w * 83 / 100, h * 8 / 100, w * 89 / 100, h * 13 / 100, {150, 100, 170});
}

void picture_maker::bumper(const piece& p, std::int64_t frame, planes* out) {
  const int w = out->width, h = out->height;
  const double i = static_cast<double>(frame - p.start);
  const double n = static_cast<double>(p.end - p.start);
  const colour ground = {static_cast<std::uint8_t>(40 + p.look % 30), 165, 115};
  fill(out, ground.y, ground.u, ground.v);
  const int band = static_cast<int>(i * 8 * w / 720) % w;
  fill_rect(out, band, 0, band + w / 20, h, {90, 150, 120});
  const double s = std::min(1.0, (i + 1) / (0.4 * n));
  const int bw = static_cast<int>(s * w / 3), bh = static_cast<int>(s * h / 3);
  fill_rect(out, (w - bw) / 2, (h - bh) / 2, (w + bw) / 2, (h + bh) / 2, {235, 128, 128});
  fill_rect(out, (w - bw / 2) / 2, (h - bh / 2) / 2, (w + bw / 2) / 2, (h + bh / 2) / 2,
            {120, 170, 100});
}

void picture_maker::finish(double gain, planes* out) {
  if (gain < 1.0 || o_.black != 16) {
    std::array<std::uint8_t, 256> luma, chroma;
    for (int v = 0; v < 256; ++v) {
      luma[v] = lift_[clamp8(16 + (v - 16) * gain)];
      chroma[v] = clamp8(128 + (v - 128) * gain);
    }
    for (auto& y : out->y) y = luma[y];
    if (gain < 1.0) {
      for (auto& c : out->u) c = chroma[c];
      for (auto& c : out->v) c = chroma[c];
    }
  }
  if (noise_.empty()) return;
  const std::size_t size = out->y.size();
  const std::size_t at = static_cast<std::size_t>(r_.between(0, static_cast<std::int64_t>(size)));
  for (std::size_t i = 0; i < size; ++i) out->y[i] = clamp8(out->y[i] + noise_[at + i]);
  for (std::size_t i = 0; i < out->u.size(); ++i) {
    out->u[i] = clamp8(out->u[i] + noise_[at + size + i] / 2);
    out->v[i] = clamp8(out->v[i] + noise_[at + size + out->u.size() + i] / 2);
  }
}

void picture_maker::render(std::int64_t frame, planes* out) {
  if (out->width != o_.width || out->height != o_.height) *out = blank(o_.width, o_.height);
  const piece& p = cursor_.piece_at(frame);
  const trap* t = cursor_.trap_at(frame);
  double gain = 1.0;
  switch (p.kind) {
    case piece_kind::programme:
      programme(p, t, frame, out);
      if (t && t->kind == trap_kind::blackframe) fill(out, 16, 128, 128);
      if (t && t->kind == trap_kind::fade) gain = fade_gain(*t, static_cast<double>(frame) + 0.5);
      break;
    case piece_kind::spot:
      if (scene_piece_ != cursor_.piece_index()) new_scene(p, frame);
      copy_window(frame, out);
      break;
    case piece_kind::bumper:
      bumper(p, frame, out);
      break;
    case piece_kind::separator:
    case piece_kind::boundary:
      fill(out, static_cast<std::uint8_t>(p.grey), 128, 128);
      break;
  }
  finish(gain, out);
}

}  // namespace broadcast
