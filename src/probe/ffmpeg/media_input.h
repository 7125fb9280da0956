// Opening a recording with FFmpeg: the container, the video and audio streams to use and
// their decoders, set up with the speed-ups that keep region means and levels exact
// enough. All FFmpeg objects are owned here and freed with it.
#ifndef CUTSPOT_PROBE_FFMPEG_MEDIA_INPUT_H_
#define CUTSPOT_PROBE_FFMPEG_MEDIA_INPUT_H_

#include <csignal>
#include <string>

#include "probe/run_status.h"

struct AVFormatContext;
struct AVIOContext;
struct AVCodecContext;

namespace cutspot::probe {

struct media_request {
  std::string input;     // "-" for standard input.
  int audio_stream = 0;  // 1-based among the audio streams; 0 lets the library choose.
  int threads = 0;       // Video decoder threads; 0 chooses by the number of processors.
  bool no_audio_ok = false;
  bool full_decode = false;
  const volatile std::sig_atomic_t* stop = nullptr;  // Non-zero aborts blocking reads.
  AVIOContext* io = nullptr;  // Read from this instead of input (the fuzzer's memory); not freed.
};

struct media_input {
  media_input() = default;
  media_input(const media_input&) = delete;
  media_input& operator=(const media_input&) = delete;
  ~media_input();

  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;  // Null without audio.
  int video_index = -1;
  int audio_index = -1;
  std::string description;  // Which streams are used, for the user.
};

// Fails with a reason, or is interrupted by request.stop.
run_status open_media(const media_request& request, media_input* media, std::string* reason);

// FFmpeg's text for an error code.
std::string av_error_text(int code);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_FFMPEG_MEDIA_INPUT_H_
