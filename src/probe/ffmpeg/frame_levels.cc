#include "probe/ffmpeg/frame_levels.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace cutspot::probe {
namespace {

bool jpeg_format(AVPixelFormat f) {
  return f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUVJ422P || f == AV_PIX_FMT_YUVJ444P ||
         f == AV_PIX_FMT_YUVJ440P || f == AV_PIX_FMT_YUVJ411P;
}

std::string pixel_format_name(AVPixelFormat f) {
  const char* name = av_get_pix_fmt_name(f);
  return name ? name : "unknown";
}

}  // namespace

bool luma_plane_of(const AVFrame* frame, luma_plane* out, std::string* reason) {
  auto format = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  constexpr auto refused = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                           AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_FLOAT;
  if (!desc || (desc->flags & refused) || desc->nb_components < 1 || desc->comp[0].plane != 0 ||
      desc->comp[0].depth < 1 || desc->comp[0].depth > 16 || !frame->data[0]) {
    *reason = "pictures in pixel format " + pixel_format_name(format) +
              " cannot be measured (YUV or grey only)";
    return false;
  }
  const AVComponentDescriptor& y = desc->comp[0];
  out->data = frame->data[0];
  out->linesize = frame->linesize[0];
  out->width = frame->width;
  out->height = frame->height;
  out->step = y.step;
  out->offset = y.offset;
  out->depth = y.depth;
  out->shift = y.shift;
  out->big_endian = (desc->flags & AV_PIX_FMT_FLAG_BE) != 0;
  out->full_range = frame->color_range == AVCOL_RANGE_JPEG || jpeg_format(format);
  return true;
}

bool audio_block_of(const AVFrame* frame, audio_block* out, std::string* reason) {
  auto format = static_cast<AVSampleFormat>(frame->format);
  sample_kind kind;
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
      kind = sample_kind::u8;
      break;
    case AV_SAMPLE_FMT_S16:
      kind = sample_kind::s16;
      break;
    case AV_SAMPLE_FMT_S32:
      kind = sample_kind::s32;
      break;
    case AV_SAMPLE_FMT_S64:
      kind = sample_kind::s64;
      break;
    case AV_SAMPLE_FMT_FLT:
      kind = sample_kind::f32;
      break;
    case AV_SAMPLE_FMT_DBL:
      kind = sample_kind::f64;
      break;
    default: {
      const char* name = av_get_sample_fmt_name(format);
      *reason = std::string("audio in sample format ") + (name ? name : "unknown") +
                " cannot be measured";
      return false;
    }
  }
  out->layout.kind = kind;
  out->layout.planar = av_sample_fmt_is_planar(format) != 0;
  out->layout.channels = frame->ch_layout.nb_channels;
  out->data = frame->extended_data;
  out->samples = frame->nb_samples;
  out->sample_rate = frame->sample_rate;
  return true;
}

}  // namespace cutspot::probe
