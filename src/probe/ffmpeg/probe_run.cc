#include "probe/ffmpeg/probe_run.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

extern "C" {
#include <libavutil/opt.h>
}

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "common/time_units.h"
#include "probe/coverage.h"
#include "probe/ffmpeg/frame_levels.h"
#include "probe/record_pipeline.h"

namespace cutspot::probe {
namespace {

constexpr AVRational NS = {1, NS_PER_SECOND};
constexpr std::int64_t DEFAULT_PICTURE_NS = 40'000'000;
constexpr std::int64_t LONGEST_PICTURE_NS = NS_PER_SECOND;
// Shorter than this against the container's own length counts as truncated.
constexpr std::int64_t TRUNCATION_SLACK_US = 2'000'000;

struct packet_deleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct frame_deleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

// Everything one run keeps between packets.
struct run_state {
  const media_request* request;
  const probe_hooks* hooks;
  media_input media;
  probe_result result;
  record_pipeline records;
  std::int64_t reached_us = INT64_MIN;  // Furthest packet end in container time.
};

std::int64_t picture_duration_ns(const run_state& s, const AVFrame* f) {
  const AVStream* st = s.media.format->streams[s.media.video_index];
  std::int64_t d = 0;
  if (f->pkt_duration > 0) d = av_rescale_q(f->pkt_duration, st->time_base, NS);
  if (d <= 0 && st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0) {
    d = av_rescale_q(1, av_inv_q(st->avg_frame_rate), NS);
  }
  if (d <= 0) d = DEFAULT_PICTURE_NS;
  return std::min(d, LONGEST_PICTURE_NS);
}

bool fail(run_state& s, std::string reason, run_status status = run_status::failed) {
  s.result.status = status;
  s.result.reason = std::move(reason);
  return false;
}

bool drain(run_state& s, bool at_end) {
  std::string reason;
  return drain_records(s.records, at_end, &reason) || fail(s, reason);
}

bool frame_damaged(const AVFrame* f) {
  return (f->flags & AV_FRAME_FLAG_CORRUPT) != 0 || f->decode_error_flags != 0;
}

bool take_picture(run_state& s, const AVFrame* f) {
  if (frame_damaged(f)) {
    ++s.result.damaged;
    return true;
  }
  if (f->best_effort_timestamp == AV_NOPTS_VALUE) return true;
  luma_plane plane;
  std::string reason;
  if (!luma_plane_of(f, &plane, &reason)) return fail(s, reason);
  const AVStream* st = s.media.format->streams[s.media.video_index];
  add_picture(s.records, plane, av_rescale_q(f->best_effort_timestamp, st->time_base, NS),
              picture_duration_ns(s, f));
  return true;
}

bool take_sound(run_state& s, const AVFrame* f) {
  if (frame_damaged(f)) {
    ++s.result.damaged;
    return true;
  }
  audio_block block;
  std::string reason;
  if (!audio_block_of(f, &block, &reason)) return fail(s, reason);
  std::int64_t duration = 0;
  if (f->best_effort_timestamp != AV_NOPTS_VALUE) {
    const AVStream* st = s.media.format->streams[s.media.audio_index];
    duration = f->sample_rate > 0 ? av_rescale(f->nb_samples, NS_PER_SECOND, f->sample_rate) : 0;
    block.time_ns = av_rescale_q(f->best_effort_timestamp, st->time_base, NS);
  }
  add_sound(s.records, block, duration);
  return true;
}

// Sends one packet (null: end of stream) and takes every frame it gives.
bool decode(run_state& s, AVCodecContext* c, const AVPacket* pkt, AVFrame* frame) {
  int rc = avcodec_send_packet(c, pkt);
  if (rc < 0 && rc != AVERROR_EOF) {
    if (pkt) ++s.result.damaged;  // The decoder refused it; the next one may do.
    return true;
  }
  bool video = c == s.media.video;
  for (;;) {
    rc = avcodec_receive_frame(c, frame);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      ++s.result.damaged;
      return true;
    }
    bool ok = video ? take_picture(s, frame) : take_sound(s, frame);
    av_frame_unref(frame);
    if (!ok) return false;
  }
}

// Recording time 0 is the container's start, where players put it too; without one,
// the first packet's time.
void set_origin(run_state& s, const AVPacket* pkt) {
  if (s.records.started) return;
  std::int64_t origin;
  if (s.media.format->start_time != AV_NOPTS_VALUE) {
    origin = av_rescale_q(s.media.format->start_time, AVRational{1, AV_TIME_BASE}, NS);
  } else {
    std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE) return;
    origin = av_rescale_q(ts, s.media.format->streams[pkt->stream_index]->time_base, NS);
  }
  start_pipeline(s.records, origin);
}

void note_progress(run_state& s, const AVPacket* pkt) {
  std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts == AV_NOPTS_VALUE) return;
  const AVStream* st = s.media.format->streams[pkt->stream_index];
  std::int64_t end = av_rescale_q(ts + std::max<std::int64_t>(pkt->duration, 0), st->time_base,
                                  AVRational{1, AV_TIME_BASE});
  s.reached_us = std::max(s.reached_us, end);
  if (!s.hooks->progress) return;
  const AVFormatContext* f = s.media.format;
  double total = f->duration > 0 ? static_cast<double>(f->duration) / AV_TIME_BASE : 0;
  double done =
      static_cast<double>(std::max<std::int64_t>(s.records.clock.latest_ns, 0)) / NS_PER_SECOND;
  s.hooks->progress(done, total);
}

// A container that states its length (MP4, Matroska) but whose packets stop well short
// of it was cut off. Program and transport streams have their length measured from
// their last packets (or guessed from the bit rate), so there the check cannot tell.
bool check_complete(run_state& s) {
  const AVFormatContext* f = s.media.format;
  std::string missing = missing_media(s.records, s.media.audio && !s.request->no_audio_ok);
  if (!missing.empty()) return fail(s, missing);
  // A transport stream is whole packets (of 188 bytes, 192 with time codes, 204 with
  // error correction, as the demultiplexer found); recorders write nothing else, so
  // anything more was cut off. From a pipe, what was read is the size.
  if (f->pb && f->iformat && std::string_view(f->iformat->name) == "mpegts") {
    std::int64_t packet = 0;
    if (av_opt_get_int(const_cast<AVFormatContext*>(f), "ts_packetsize", AV_OPT_SEARCH_CHILDREN,
                       &packet) < 0 ||
        packet <= 0) {
      packet = 188;
    }
    std::int64_t size =
        (f->pb->seekable & AVIO_SEEKABLE_NORMAL) ? avio_size(f->pb) : avio_tell(f->pb);
    if (size > 0 && size % packet != 0) {
      return fail(s, "the recording ends within a transport stream packet (truncated?)");
    }
  }
  if (f->duration > 0 && f->duration_estimation_method == AVFMT_DURATION_FROM_STREAM &&
      s.reached_us != INT64_MIN) {
    std::int64_t start = f->start_time != AV_NOPTS_VALUE ? f->start_time : 0;
    std::int64_t reached = s.reached_us - start;
    if (reached < f->duration - TRUNCATION_SLACK_US) {
      char buf[160];
      std::snprintf(buf, sizeof buf,
                    "the recording ends early: its packets stop at %.1f s of %.1f s (truncated?)",
                    static_cast<double>(reached) / AV_TIME_BASE,
                    static_cast<double>(f->duration) / AV_TIME_BASE);
      return fail(s, buf);
    }
  }
  // Lengths guessed from the bit rate are too rough to judge by.
  bool length_known =
      f->duration > 0 && (f->duration_estimation_method == AVFMT_DURATION_FROM_STREAM ||
                          f->duration_estimation_method == AVFMT_DURATION_FROM_PTS);
  std::string fault = coverage_fault(
      s.records.pictures, length_known ? av_rescale(f->duration, NS_PER_SECOND, AV_TIME_BASE) : 0);
  if (!fault.empty()) return fail(s, fault);
  return true;
}

// MP4 files written without "faststart" keep their index after the pictures: the
// demuxer finds it by reading to the end and then has to seek back, which a pipe cannot.
bool mp4_on_pipe(const AVFormatContext* f) {
  return f->pb && !(f->pb->seekable & AVIO_SEEKABLE_NORMAL) && f->iformat &&
         std::string_view(f->iformat->name).find("mp4") != std::string_view::npos;
}

bool read_all(run_state& s) {
  std::unique_ptr<AVPacket, packet_deleter> pkt(av_packet_alloc());
  std::unique_ptr<AVFrame, frame_deleter> frame(av_frame_alloc());
  if (!pkt || !frame) return fail(s, "out of memory");
  for (;;) {
    int rc = av_read_frame(s.media.format, pkt.get());
    if (rc == AVERROR_EOF) break;
    if (rc < 0) {
      if (rc == AVERROR_EXIT) return fail(s, "interrupted", run_status::interrupted);
      if (mp4_on_pipe(s.media.format)) {
        return fail(s,
                    "an MP4 file that keeps its index at the end cannot be read from a pipe; "
                    "give its name instead");
      }
      return fail(s, "cannot read the recording: " + av_error_text(rc));
    }
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> unref(pkt.get(), av_packet_unref);
    AVCodecContext* c = pkt->stream_index == s.media.video_index   ? s.media.video
                        : pkt->stream_index == s.media.audio_index ? s.media.audio
                                                                   : nullptr;
    if (!c) continue;
    set_origin(s, pkt.get());
    if (pkt->flags & AV_PKT_FLAG_CORRUPT) {
      ++s.result.damaged;
      continue;
    }
    if (!decode(s, c, pkt.get(), frame.get())) return false;
    note_progress(s, pkt.get());
    if (!drain(s, false)) return false;
    if (s.request->stop && *s.request->stop) {
      return fail(s, "interrupted", run_status::interrupted);
    }
  }
  if (!decode(s, s.media.video, nullptr, frame.get())) return false;
  if (s.media.audio && !decode(s, s.media.audio, nullptr, frame.get())) return false;
  end_sound(s.records);
  if (!check_complete(s)) return false;
  return drain(s, true);
}

}  // namespace

probe_result run_probe(const media_request& request, const probe_hooks& hooks,
                       event_writer& writer) {
  run_state s;
  s.request = &request;
  s.hooks = &hooks;
  s.records.writer = &writer;
  std::string reason;
  s.result.status = open_media(request, &s.media, &s.result.reason);
  if (s.result.status != run_status::ok) return s.result;
  if (hooks.note) hooks.note(s.media.description);
  if (hooks.opened && !hooks.opened(&reason)) {
    fail(s, reason);
  } else {
    read_all(s);
  }
  s.result.pictures = s.records.picture_count;
  s.result.windows = s.records.window_count;
  s.result.clock_jumps = s.records.clock.jumps;
  s.result.late = s.records.order.late;
  return s.result;
}

}  // namespace cutspot::probe
