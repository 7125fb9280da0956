// broadcast-gen: synthesises a broadcast recording's raw picture and sound with its truth,
// all from a seed. tools/make-broadcast pipes it through ffmpeg into .ts or .mpg files.
//
//   broadcast-gen --minutes M [--kind sd|hd|analog] [--seed N] [--size WxH] [--blocks N]
//                 [--spots MIN-MAX] [--start-in-block] [--end-in-block]
//                 [--truth FILE] [--wav FILE] [--y4m]
//
//   --minutes M        length of the recording (decimals allowed)
//   --kind K           sd and hd: clean digital; analog: lifted black, picture noise, hiss
//   --size WxH         picture size (default 720x576, hd 1280x720)
//   --blocks N         advertising blocks (default: 1 below 10 minutes, else 2 or 3)
//   --spots MIN-MAX    spots per block (default 3-8)
//   --start-in-block   the recording starts 20 s into a block's second spot
//   --end-in-block     it ends in the middle of a spot of its last block
//   --truth FILE       write the truth (see truth_text in broadcast_layout.h)
//   --wav FILE         write the sound: 16-bit 48 kHz stereo WAV
//   --y4m              then write the picture to standard output as YUV4MPEG2 (4:2:0)
//
// The sound is written in full before the picture starts, so ffmpeg can take the picture
// from a pipe as its first input and the finished WAV file as its second.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "broadcast_layout.h"
#include "broadcast_picture.h"
#include "broadcast_sound.h"

namespace {

using namespace broadcast;

struct options {
  std::string kind = "sd";
  double minutes = 0;
  int width = 0, height = 0;
  std::string truth, wav;
  bool y4m = false;
  layout_options layout;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "broadcast-gen: %s\n", why.c_str());
  std::exit(1);
}

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr,
               "broadcast-gen: %s\n"
               "Usage: broadcast-gen --minutes M [--kind sd|hd|analog] [--seed N] [--size WxH]\n"
               "       [--blocks N] [--spots MIN-MAX] [--start-in-block] [--end-in-block]\n"
               "       [--truth FILE] [--wav FILE] [--y4m]\n",
               why.c_str());
  std::exit(2);
}

bool parse(int argc, char** argv, options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--start-in-block") {
      o->layout.start_in_block = true;
    } else if (name == "--end-in-block") {
      o->layout.end_in_block = true;
    } else if (name == "--y4m") {
      o->y4m = true;
    } else {
      if (i + 1 >= argc) return false;
      const char* v = argv[++i];
      char* end = nullptr;
      if (name == "--kind") {
        o->kind = v;
        if (o->kind != "sd" && o->kind != "hd" && o->kind != "analog") return false;
      } else if (name == "--minutes") {
        o->minutes = std::strtod(v, &end);
        if (*end != '\0' || !(o->minutes > 0 && o->minutes < 600)) return false;
      } else if (name == "--seed") {
        o->layout.seed = std::strtoull(v, &end, 10);
        if (*end != '\0') return false;
      } else if (name == "--blocks") {
        o->layout.blocks = static_cast<int>(std::strtol(v, &end, 10));
        if (*end != '\0' || o->layout.blocks < 1 || o->layout.blocks > 20) return false;
      } else if (name == "--size") {
        o->width = static_cast<int>(std::strtol(v, &end, 10));
        if (*end != 'x') return false;
        o->height = static_cast<int>(std::strtol(end + 1, &end, 10));
        if (*end != '\0' || o->width < 64 || o->height < 64 || o->width > 4096 ||
            o->height > 4096 || o->width % 2 || o->height % 2) {
          return false;
        }
      } else if (name == "--spots") {
        o->layout.min_spots = static_cast<int>(std::strtol(v, &end, 10));
        if (*end != '-') return false;
        o->layout.max_spots = static_cast<int>(std::strtol(end + 1, &end, 10));
        if (*end != '\0' || o->layout.max_spots > 50) return false;
      } else if (name == "--truth") {
        o->truth = v;
      } else if (name == "--wav") {
        o->wav = v;
      } else {
        return false;
      }
    }
  }
  return o->minutes > 0;
}

void put(std::FILE* f, const void* data, std::size_t size, const std::string& what) {
  if (std::fwrite(data, 1, size, f) != size)
    fail("cannot write " + what + ": " + std::strerror(errno));
}

void put_le(std::vector<unsigned char>* out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void write_wav(const layout& l, const sound_options& so, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fail("cannot create " + path + ": " + std::strerror(errno));
  const auto data = static_cast<std::uint32_t>(l.frames * SAMPLES_PER_FRAME * 4);
  std::vector<unsigned char> h = {'R', 'I', 'F', 'F'};
  put_le(&h, 36 + data, 4);
  for (char c : std::string("WAVEfmt ")) h.push_back(static_cast<unsigned char>(c));
  put_le(&h, 16, 4);
  put_le(&h, 1, 2);  // PCM.
  put_le(&h, 2, 2);
  put_le(&h, SAMPLE_RATE, 4);
  put_le(&h, SAMPLE_RATE * 4, 4);
  put_le(&h, 4, 2);
  put_le(&h, 16, 2);
  for (char c : std::string("data")) h.push_back(static_cast<unsigned char>(c));
  put_le(&h, data, 4);
  put(f, h.data(), h.size(), path);
  sound_maker sound(l, so);
  std::vector<std::int16_t> block(SAMPLES_PER_FRAME * 2);
  std::vector<unsigned char> bytes(block.size() * 2);
  for (std::int64_t frame = 0; frame < l.frames; ++frame) {
    sound.render(frame, block.data());
    for (std::size_t i = 0; i < block.size(); ++i) {
      const auto v = static_cast<std::uint16_t>(block[i]);
      bytes[2 * i] = static_cast<unsigned char>(v & 0xff);
      bytes[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
    put(f, bytes.data(), bytes.size(), path);
  }
  if (std::fclose(f) != 0) fail("cannot write " + path + ": " + std::strerror(errno));
}

void write_y4m(const layout& l, const picture_options& po) {
  // 720x576 is PAL's 4:3 picture with its non-square pixels.
  const char* aspect = po.width == 720 && po.height == 576 ? "16:15" : "1:1";
  const std::string header = "YUV4MPEG2 W" + std::to_string(po.width) + " H" +
                             std::to_string(po.height) + " F25:1 Ip A" + aspect + " C420jpeg\n";
  put(stdout, header.data(), header.size(), "the picture");
  picture_maker pictures(l, po);
  planes p;
  for (std::int64_t frame = 0; frame < l.frames; ++frame) {
    pictures.render(frame, &p);
    put(stdout, "FRAME\n", 6, "the picture");
    put(stdout, p.y.data(), p.y.size(), "the picture");
    put(stdout, p.u.data(), p.u.size(), "the picture");
    put(stdout, p.v.data(), p.v.size(), "the picture");
  }
  if (std::fflush(stdout) != 0)
    fail(std::string("cannot write the picture: ") + std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse(argc, argv, &o)) usage("bad or missing options");
  if (o.width == 0) {
    o.width = o.kind == "hd" ? 1280 : 720;
    o.height = o.kind == "hd" ? 720 : 576;
  }
  o.layout.frames = static_cast<std::int64_t>(o.minutes * 60 * FPS + 0.5);
  std::string reason;
  const layout l = make_layout(o.layout, &reason);
  if (l.pieces.empty()) fail(reason);

  picture_options po;
  po.width = o.width;
  po.height = o.height;
  po.seed = o.layout.seed;
  sound_options so;
  so.seed = o.layout.seed;
  if (o.kind == "analog") {
    rng r{o.layout.seed ^ 0xa4a1064ULL};
    po.black = static_cast<int>(r.between(28, 35));
    po.noise = 3.5;
    so.hiss_db = r.real(-60, -50);
  }

  if (!o.truth.empty()) {
    std::string about = "# The truth of a synthetic broadcast recording, made by: broadcast-gen";
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--truth" || a == "--wav") {
        ++i;
      } else if (a != "--y4m") {
        about += " " + a;
      }
    }
    char looks[160];
    std::snprintf(looks, sizeof looks, "\n# Picture %dx%d at %d fps, black at luma %d; ", po.width,
                  po.height, FPS, po.black);
    about += looks;
    if (so.hiss_db < 0) {
      std::snprintf(looks, sizeof looks, "hiss at %.1f dBFS.\n", so.hiss_db);
    } else {
      std::snprintf(looks, sizeof looks, "no hiss.\n");
    }
    about += looks;
    std::FILE* f = std::fopen(o.truth.c_str(), "w");
    if (!f) fail("cannot create " + o.truth + ": " + std::strerror(errno));
    const std::string text = truth_text(l, about);
    put(f, text.data(), text.size(), o.truth);
    if (std::fclose(f) != 0) fail("cannot write " + o.truth + ": " + std::strerror(errno));
  }
  if (!o.wav.empty()) write_wav(l, so, o.wav);
  if (o.y4m) write_y4m(l, po);
  return 0;
}
