#include "probe/ffmpeg/media_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

namespace cutspot::probe {
namespace {

int interrupt_requested(void* stop) {
  return stop && *static_cast<const volatile std::sig_atomic_t*>(stop) != 0;
}

// Decoders are told to take the short cuts that leave the marks as with full decoding
// (bench/probe-run measures it): a quarter of the size each way for MPEG-1/2 (the
// DCT's low frequencies alone), and no loop filter wherever there is one (H.264, HEVC),
// since smoothing block edges hardly moves a cell's mean. Skipping the IDCT or whole
// frames moved the samples or the marks, so neither is done.
void tune_video_decoder(AVCodecContext* c, const AVCodec* codec, bool full_decode, int threads) {
  c->thread_count = threads;
  c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (full_decode) return;
  c->skip_loop_filter = AVDISCARD_ALL;
  if (codec->id == AV_CODEC_ID_MPEG1VIDEO || codec->id == AV_CODEC_ID_MPEG2VIDEO) {
    c->lowres = std::min(2, static_cast<int>(codec->max_lowres));
  }
}

bool open_decoder(AVFormatContext* f, int index, const media_request& request, AVCodecContext** out,
                  std::string* reason) {
  AVStream* st = f->streams[index];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) {
    *reason = std::string("no decoder for the ") + avcodec_get_name(st->codecpar->codec_id) +
              " stream #" + std::to_string(index);
    return false;
  }
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) {
    *reason = "out of memory";
    return false;
  }
  *out = c;
  int rc = avcodec_parameters_to_context(c, st->codecpar);
  if (rc >= 0) {
    c->pkt_timebase = st->time_base;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
      tune_video_decoder(c, codec, request.full_decode, request.threads);
    }
    rc = avcodec_open2(c, codec, nullptr);
  }
  if (rc < 0) {
    *reason = std::string("cannot open the ") + codec->name + " decoder: " + av_error_text(rc);
    return false;
  }
  return true;
}

// The n-th (1-based) audio stream, or -1.
int nth_audio_stream(AVFormatContext* f, int n) {
  for (unsigned i = 0; i < f->nb_streams; ++i) {
    if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && --n == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int count_audio_streams(AVFormatContext* f) {
  int n = 0;
  for (unsigned i = 0; i < f->nb_streams; ++i) {
    if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) ++n;
  }
  return n;
}

// The audio track number (1-based among the audio streams) of a stream.
int audio_track_of(AVFormatContext* f, int index) {
  int n = 0;
  for (int i = 0; i <= index; ++i) {
    if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) ++n;
  }
  return n;
}

std::string language_of(const AVStream* st) {
  const AVDictionaryEntry* e = av_dict_get(st->metadata, "language", nullptr, 0);
  return e && e->value[0] ? std::string(", ") + e->value : std::string();
}

// "video: stream #0 (h264 1920x1080, 25 fps); audio: track 2 of 3 (stream #2 mp2, 48000 Hz,
// stereo, deu)": the track number is what -a takes.
std::string describe(AVFormatContext* f, int video, int audio) {
  const AVCodecParameters* v = f->streams[video]->codecpar;
  AVRational rate = f->streams[video]->avg_frame_rate;
  char buf[256];
  std::snprintf(buf, sizeof buf, "video: stream #%d (%s %dx%d", video,
                avcodec_get_name(v->codec_id), v->width, v->height);
  std::string text = buf;
  if (rate.num > 0 && rate.den > 0) {
    std::snprintf(buf, sizeof buf, ", %.4g fps", av_q2d(rate));
    text += buf;
  }
  text += ")";
  if (audio < 0) return text + "; no audio";
  const AVCodecParameters* a = f->streams[audio]->codecpar;
  char layout[64] = "";
  if (av_channel_layout_describe(&a->ch_layout, layout, sizeof layout) < 0) layout[0] = 0;
  std::snprintf(buf, sizeof buf, "; audio: track %d of %d (stream #%d %s, %d Hz, %s",
                audio_track_of(f, audio), count_audio_streams(f), audio,
                avcodec_get_name(a->codec_id), a->sample_rate, layout[0] ? layout : "?");
  return text + buf + language_of(f->streams[audio]) + ")";
}

// An MP4 file starts with its "ftyp" box; its index comes at the end when the file was
// written without "faststart", so a file cut short has none.
bool starts_like_mp4(const std::string& name) {
  struct stat st;
  if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;  // A FIFO would block.
  unsigned char head[8] = {};
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return n == sizeof head && std::memcmp(head + 4, "ftyp", 4) == 0;
}

}  // namespace

std::string av_error_text(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

run_status open_media(const media_request& request, media_input* media, std::string* reason) {
  AVFormatContext* f = avformat_alloc_context();
  if (!f) {
    *reason = "out of memory";
    return run_status::failed;
  }
  f->interrupt_callback.callback = interrupt_requested;
  f->interrupt_callback.opaque = const_cast<std::sig_atomic_t*>(request.stop);
  // "file:" keeps names with a colon from being taken for network protocols, and the
  // white list keeps playlists from fetching anything.
  std::string url = request.input == "-" ? "pipe:0" : "file:" + request.input;
  if (request.io) {
    f->pb = request.io;
    f->flags |= AVFMT_FLAG_CUSTOM_IO;
    url.clear();
  }
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file,pipe", 0);
  int rc = avformat_open_input(&f, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) {
    // A signal also ends a blocking open (of a FIFO, say) with EINTR.
    if (rc == AVERROR_EXIT || (request.stop && *request.stop)) {
      *reason = "interrupted";
      return run_status::interrupted;
    }
    if (!request.io && request.input != "-" && starts_like_mp4(request.input)) {
      *reason =
          "an MP4 file without its index (cut short before it was finished?): " + av_error_text(rc);
    } else {
      *reason = "not a recording that can be read (" + av_error_text(rc) + ")";
    }
    return run_status::failed;
  }
  media->format = f;
  rc = avformat_find_stream_info(f, nullptr);
  if (rc < 0) {
    *reason = "cannot find the streams (" + av_error_text(rc) + ")";
    return run_status::failed;
  }
  media->video_index = av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (media->video_index < 0) {
    *reason = "no video stream in the recording";
    return run_status::failed;
  }
  if (request.audio_stream > 0) {
    media->audio_index = nth_audio_stream(f, request.audio_stream);
    if (media->audio_index < 0) {
      *reason = "no audio track " + std::to_string(request.audio_stream) + " (the recording has " +
                std::to_string(count_audio_streams(f)) + ")";
      return run_status::failed;
    }
  } else {
    media->audio_index =
        av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, media->video_index, nullptr, 0);
    if (media->audio_index < 0) media->audio_index = -1;
  }
  if (media->audio_index < 0 && !request.no_audio_ok) {
    *reason =
        "no audio stream: cutspot finds breaks by silence, so its cut list would be meaningless "
        "(--no-audio-ok writes the event file anyway)";
    return run_status::failed;
  }
  if (!open_decoder(f, media->video_index, request, &media->video, reason)) {
    return run_status::failed;
  }
  if (media->audio_index >= 0 &&
      !open_decoder(f, media->audio_index, request, &media->audio, reason)) {
    return run_status::failed;
  }
  // Packets of other streams are never looked at.
  for (unsigned i = 0; i < f->nb_streams; ++i) {
    if (static_cast<int>(i) != media->video_index && static_cast<int>(i) != media->audio_index) {
      f->streams[i]->discard = AVDISCARD_ALL;
    }
  }
  media->description = describe(f, media->video_index, media->audio_index);
  return run_status::ok;
}

media_input::~media_input() {
  avcodec_free_context(&video);
  avcodec_free_context(&audio);
  avformat_close_input(&format);
}

}  // namespace cutspot::probe
