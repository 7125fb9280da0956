# A synthetic recording and its event file for the players' recipes; sourced after
# lib.sh, never run.
# shellcheck shell=bash
#
# The recording is 100 seconds of a test picture with two tones, broken four times by
# black, silent stretches as around advertising; the event file describes the same
# picture and sound, so that cutspot finds one mark in each break. Both are written
# under the names a recorder gives them, show.mpg and show.evt.

# The breaks, in milliseconds: start-end, black and silent from start to end.
show_seconds=100
show_breaks=(14000-16000 38000-40000 66000-68500 88000-90000)

# Writes the event file: an audio record every 20 ms (loud 3000, quiet 50 in a break)
# and a video record every 40 ms, 10 ms after the audio (all four samples 230, or 8 in
# a break), in time order.
# Usage: write_show_events FILE
write_show_events() {
  need_tool perl perl-base
  perl -e '
    use strict;
    my ($seconds, @breaks) = @ARGV;
    my @b = map { [split /-/] } @breaks;
    binmode STDOUT;
    print "EVT\0\0\0\0\1";  # The header: cutspot never reads it.
    for (my $ms = 0; $ms < $seconds * 1000; $ms += 10) {
      my $in = grep { $ms >= $_->[0] && $ms < $_->[1] } @b;
      # Big-endian: int64 time in ns, uint32 spare, type, value, four samples.
      print pack("q>NNNC4", $ms * 1000000, 0, 1, $in ? 50 : 3000, 0, 0, 0, 0)
        if $ms % 20 == 0;
      print pack("q>NNNC4", $ms * 1000000, 0, 2, 0, ($in ? 8 : 230) x 4)
        if $ms % 40 == 10;
    }' "$show_seconds" "${show_breaks[@]}" >"$1" || die "could not write the event file $1"
}

# Makes the recording with ffmpeg from its test sources: one video and two audio
# streams, black and silent in the breaks.
#   ps  MPEG program stream: MPEG-2 video, two MP2 tracks (what DVB recorders save as .mpg)
#   ts  MPEG transport stream: H.264 video, one MP2 and one AAC track
# Usage: make_show_recording FILE ps|ts
make_show_recording() {
  local file=$1 kind=$2 when="" b
  need_tool ffmpeg ffmpeg
  for b in "${show_breaks[@]}"; do
    when+="${when:++}between(t,$((${b%-*} / 1000)).$(printf %03d $((${b%-*} % 1000)))"
    when+=",$((${b#*-} / 1000)).$(printf %03d $((${b#*-} % 1000))))"
  done
  local sources=(
    -f lavfi -i "testsrc2=size=160x120:rate=25:duration=$show_seconds,drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='$when'"
    -f lavfi -i "sine=frequency=440:duration=$show_seconds,volume=0:enable='$when'"
    -f lavfi -i "sine=frequency=880:duration=$show_seconds,volume=0:enable='$when'"
    -map 0 -map 1 -map 2
  )
  local codecs
  case $kind in
    ps) codecs=(-c:v mpeg2video -c:a mp2 -f mpeg) ;;
    ts) codecs=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a:0 mp2 -c:a:1 aac -f mpegts) ;;
    *) die "make_show_recording: unknown kind $kind" ;;
  esac
  ffmpeg -nostdin -loglevel error -y "${sources[@]}" "${codecs[@]}" "$file" ||
    die "ffmpeg could not make the test recording $file ($kind)"
}

# Writes the marks of a cut list in milliseconds into FILE, one a line, checking on the
# way that there is one in each break of the recording: else the recording and its event
# file disagree, and the players' checks would prove nothing.
# Usage: show_marks_ms CUT_LIST FILE
show_marks_ms() {
  awk -v breaks="${show_breaks[*]}" '
    BEGIN { n = split(breaks, b, " ") }
    /^[AD][0-9]+:[0-9][0-9]\.[0-9][0-9][0-9]$/ {
      split(substr($0, 2), t, /[:.]/)
      ms = t[1] * 60000 + t[2] * 1000 + t[3]
      found = 0
      for (i = 1; i <= n; i++) {
        split(b[i], r, "-")
        if (ms >= r[1] && ms <= r[2]) { found = i; hits[i]++ }
      }
      if (!found) { print "the mark " $0 " lies in no break" > "/dev/stderr"; bad = 1 }
      print ms
    }
    END {
      for (i = 1; i <= n; i++)
        if (hits[i] != 1) { print "break " b[i] " has " hits[i] + 0 " marks, not 1" > "/dev/stderr"; bad = 1 }
      exit bad
    }' "$1" >"$2" || die "the marks of the synthetic recording do not match its breaks"
}
