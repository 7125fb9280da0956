// Arbitrary bytes as a recording: read from memory through a custom AVIOContext, through
// cutspot-probe's whole run (demultiplexing, decoding, the clock, the queue, the
// sequencer) into an event file put in place as the program does, on a RAM file system
// where there is one. Checked on every input: a run that succeeds leaves exactly the
// event file, whole records in strictly increasing time from 1 ns, audio values within
// the scale and video samples of 1 and more; a run that fails leaves nothing at all.
//
// The run takes the recording with or without sound (--no-audio-ok), so that inputs the
// demultiplexer reads without an audio stream still reach the decoders; one thread.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "checks.h"
#include "common/event_record.h"
#include "probe/audio_scale.h"
#include "probe/event_writer.h"
#include "probe/ffmpeg/probe_run.h"
#include "probe/output_file.h"

namespace {

using namespace cutspot;
using namespace cutspot::probe;
using fuzzing::check;

std::string scratch;  // A directory of this process's own.

struct memory_input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

int read_memory(void* opaque, std::uint8_t* buf, int n) {
  auto* in = static_cast<memory_input*>(opaque);
  std::size_t left = in->size - in->pos;
  if (left == 0) return AVERROR_EOF;
  std::size_t take = std::min(left, static_cast<std::size_t>(n));
  std::memcpy(buf, in->data + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

std::int64_t seek_memory(void* opaque, std::int64_t offset, int whence) {
  auto* in = static_cast<memory_input*>(opaque);
  const auto size = static_cast<std::int64_t>(in->size);
  if (whence & AVSEEK_SIZE) return size;
  const int from = whence & ~AVSEEK_FORCE;
  if (from != SEEK_SET && from != SEEK_CUR && from != SEEK_END) return -1;
  const std::int64_t base = from == SEEK_SET   ? 0
                            : from == SEEK_CUR ? static_cast<std::int64_t>(in->pos)
                                               : size;
  if (offset < -base || offset > size - base) return -1;
  in->pos = static_cast<std::size_t>(base + offset);
  return base + offset;
}

// The names in a directory (it must be there).
std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    out.push_back(entry.path().filename());
  }
  return out;
}

void check_event_file(const std::string& name, long long records) {
  std::ifstream in(name, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  check(bytes.size() == EVENT_HEADER_SIZE + static_cast<std::size_t>(records) * EVENT_RECORD_SIZE,
        "the event file's size is not its header and the records written");
  check(bytes.compare(0, 7, "CSPROBE") == 0, "no header");
  check(records > 0, "an event file without records");
  std::int64_t last = 0;
  for (std::size_t at = EVENT_HEADER_SIZE; at < bytes.size(); at += EVENT_RECORD_SIZE) {
    event_record r = decode_event_record(reinterpret_cast<const unsigned char*>(&bytes[at]));
    check(r.timestamp_ns > last, "records not in strictly increasing time from 1 ns");
    last = r.timestamp_ns;
    if (r.type == RECORD_AUDIO) {
      check(r.value <= AUDIO_VALUE_MAX, "an audio value above the scale");
    } else {
      check(r.type == RECORD_VIDEO, "a record of neither type");
      for (unsigned char sample : r.samples) check(sample >= 1, "an empty video sample");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  std::string pattern =
      (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz-probe-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    std::perror("fuzz_probe: mkdtemp");
    std::exit(1);
  }
  scratch = pattern;
  std::atexit([] { rmdir(scratch.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  memory_input in{data, size, 0};
  constexpr int BUFFER = 4096;
  auto* buffer = static_cast<unsigned char*>(av_malloc(BUFFER));
  AVIOContext* io = avio_alloc_context(buffer, BUFFER, 0, &in, read_memory, nullptr, seek_memory);
  check(io != nullptr, "out of memory");

  const std::string target = scratch + "/f.evt";
  output_file out;
  event_writer writer;
  media_request request;
  request.io = io;
  request.threads = 1;
  request.no_audio_ok = true;
  probe_hooks hooks;
  hooks.opened = [&](std::string* why) {
    if (!open_output(target, false, 022, &out, why)) return false;
    start_events(writer, out.fd);
    return true;
  };
  probe_result result = run_probe(request, hooks, writer);
  std::string reason;
  bool ok = result.status == run_status::ok && flush_events(writer, &reason) &&
            commit_output(&out, &reason);
  if (!ok) abandon_output(&out);

  std::vector<std::string> left = names_in(scratch);
  if (ok) {
    check(left == std::vector<std::string>{"f.evt"}, "a run that succeeded left other files");
    check(result.pictures > 0, "an event file without pictures");
    check_event_file(target, writer.records);
    unlink(target.c_str());
  } else {
    check(left.empty(), "a run that failed left a file", result.reason);
    check(!result.reason.empty() || !reason.empty(), "a failure without a reason");
  }
  av_freep(&io->buffer);
  avio_context_free(&io);
  return 0;
}
