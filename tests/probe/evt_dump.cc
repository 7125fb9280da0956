// Prints an event file's records as text, one a line: "<ns> A <value>" or
// "<ns> V <s0> <s1> <s2> <s3>", for the recording tests to check with plain shell tools.
// Exits 1 if the file cannot be read or ends within a record.
#include <cstdio>

#include "common/event_record.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: evt_dump FILE\n");
    return 2;
  }
  std::FILE* f = std::fopen(argv[1], "rb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  unsigned char header[cutspot::EVENT_HEADER_SIZE];
  if (std::fread(header, 1, sizeof header, f) != sizeof header) {
    std::fprintf(stderr, "%s: no header\n", argv[1]);
    return 1;
  }
  unsigned char buf[cutspot::EVENT_RECORD_SIZE];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) == sizeof buf) {
    cutspot::event_record r = cutspot::decode_event_record(buf);
    if (r.type == cutspot::RECORD_AUDIO) {
      std::printf("%lld A %u\n", static_cast<long long>(r.timestamp_ns), r.value);
    } else {
      std::printf("%lld V %u %u %u %u\n", static_cast<long long>(r.timestamp_ns), r.samples[0],
                  r.samples[1], r.samples[2], r.samples[3]);
    }
  }
  std::fclose(f);
  if (n != 0) {
    std::fprintf(stderr, "%s: ends within a record\n", argv[1]);
    return 1;
  }
  return 0;
}
