// The FFmpeg side of the levels: what a decoded frame holds, in the plain terms of
// region_means.h and audio_windows.h. Formats those cannot read are refused by name.
#ifndef CUTSPOT_PROBE_FFMPEG_FRAME_LEVELS_H_
#define CUTSPOT_PROBE_FFMPEG_FRAME_LEVELS_H_

#include <string>

#include "probe/audio_windows.h"
#include "probe/region_means.h"

struct AVFrame;

namespace cutspot::probe {

// The luma plane of a YUV or grey picture; other pixel formats give false and a reason.
bool luma_plane_of(const AVFrame* frame, luma_plane* out, std::string* reason);

// The samples of an audio frame (time_ns left unset); unknown formats give false.
bool audio_block_of(const AVFrame* frame, audio_block* out, std::string* reason);

}  // namespace cutspot::probe

#endif  // CUTSPOT_PROBE_FFMPEG_FRAME_LEVELS_H_
