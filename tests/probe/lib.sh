# Helpers of the recording tests: making small recordings from lavfi sources with the
# ffmpeg command-line tool, and checking what cutspot-probe and cutspot make of them.
# Sourced by the probe-* scripts after PROBE, CUTSPOT, EVT_DUMP and WORK are set.
# shellcheck shell=bash

ffmpeg_q() { ffmpeg -nostdin -v error -y "$@"; }

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# segment_graph OUT SIZE FPS "KIND:FRAMES ..." sets GRAPH to a filter graph with the
# outputs [v] (the pictures), [a] (the programme's sound, stereo) and [t] (a tone that
# never stops, like a second language), and writes OUT.breaks (each black and silent
# segment: its middle and its length in seconds, one a line), OUT.segments (each
# segment: start, end, kind) and OUT.len (the length in seconds). Each segment is a
# whole number of frames. Kinds:
#   P  programme: moving test picture, 440 Hz tone      S  colour bars, pink noise
#   B  break: black, silence                             DL dark but loud
#   QB quiet but bright                                  DQ dark with a faint tone (-49 dBFS)
#   BU the test picture under a full-scale 500 Hz square wave (a burst, as a damaged
#      packet decodes to)
segment_graph() {
  local out=$1 size=$2 fps=$3 segs=$4 list="" n=0 frames=0 v a seg
  GRAPH=""
  : >"$out.breaks"
  : >"$out.segments"
  for seg in $segs; do
    local kind=${seg%%:*} len=${seg#*:} d
    d=$(awk -v f="$len" -v r="$fps" 'BEGIN { printf "%.6f", f / r }')
    case $kind in
      P) v="testsrc2=s=$size:r=$fps:d=$d" a="sine=f=440:sample_rate=48000:d=$d" ;;
      S) v="smptehdbars=s=$size:r=$fps:d=$d" a="anoisesrc=r=48000:a=0.2:c=pink:seed=3:d=$d" ;;
      B) v="color=black:s=$size:r=$fps:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      DL) v="color=black:s=$size:r=$fps:d=$d" a="sine=f=300:sample_rate=48000:d=$d" ;;
      QB) v="testsrc2=s=$size:r=$fps:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      DQ) v="color=black:s=$size:r=$fps:d=$d" a="sine=f=300:sample_rate=48000:d=$d,volume=-28dB" ;;
      BU) v="testsrc2=s=$size:r=$fps:d=$d" a="aevalsrc='if(lt(mod(t\\,0.002)\\,0.001)\\,1\\,-1)':s=48000:d=$d" ;;
      *) fail "unknown segment kind $kind" ;;
    esac
    awk -v s="$frames" -v f="$len" -v r="$fps" -v k="$kind" \
      'BEGIN { printf "%.6f %.6f %s\n", s / r, (s + f) / r, k }' >>"$out.segments"
    if [[ $kind == B ]]; then
      awk -v s="$frames" -v f="$len" -v r="$fps" \
        'BEGIN { printf "%.6f %.6f\n", (s + f / 2) / r, f / r }' >>"$out.breaks"
    fi
    # atrim makes every sound segment exactly as long as its pictures.
    GRAPH+="$v,setsar=1,format=yuv420p[v$n];"
    GRAPH+="$a,aformat=sample_fmts=fltp:channel_layouts=mono,atrim=end_sample=$(
      awk -v f="$len" -v r="$fps" 'BEGIN { printf "%d", f * 48000 / r + 0.5 }')[a$n];"
    list+="[v$n][a$n]"
    n=$((n + 1))
    frames=$((frames + len))
  done
  awk -v f="$frames" -v r="$fps" 'BEGIN { printf "%.6f\n", f / r }' >"$out.len"
  GRAPH+="${list}concat=n=$n:v=1:a=1[v][m];[m]aformat=channel_layouts=stereo[a];"
  GRAPH+="sine=f=1000:sample_rate=48000:d=$(cat "$out.len")[t]"
}

# make_master OUT SIZE FPS "KIND:FRAMES ...": the segments of segment_graph as NUT (raw
# video, PCM; audio 0 the programme's sound, audio 1 the tone), for encode.
make_master() {
  segment_graph "$@"
  ffmpeg_q -filter_complex "$GRAPH" -map '[v]' -map '[a]' -map '[t]' -c:v rawvideo \
    -c:a pcm_s16le -f nut "$1" || fail "cannot make $1"
}

# encode MASTER OUT KIND: the containers and codecs recorders write. The program stream
# has two audio tracks, the never-silent one first; the others only the programme's.
encode() {
  local in=$1 out=$2 x264=(-c:v libx264 -preset veryfast -g 50)
  case $3 in
    mpg)
      ffmpeg_q -i "$in" -map 0:v -map 0:a:1 -map 0:a:0 -c:v mpeg2video -q:v 3 -bf 2 -g 12 \
        -c:a mp2 -b:a 192k -f vob "$out"
      ;;
    ts) ffmpeg_q -i "$in" -map 0:v -map 0:a:0 "${x264[@]}" -c:a aac -b:a 128k -f mpegts "$out" ;;
    # The 33-bit clock of MPEG wraps 10 seconds into this one.
    ts-wrap)
      ffmpeg_q -i "$in" -map 0:v -map 0:a:0 "${x264[@]}" -c:a aac -b:a 128k \
        -output_ts_offset 95433.7 -f mpegts "$out"
      ;;
    mp4)
      ffmpeg_q -i "$in" -map 0:v -map 0:a:0 "${x264[@]}" -c:a aac -movflags +faststart "$out"
      ;;
    mp4-index-last) ffmpeg_q -i "$in" -map 0:v -map 0:a:0 "${x264[@]}" -c:a aac -f mp4 "$out" ;;
    mkv) ffmpeg_q -i "$in" -map 0:v -map 0:a:0 -c:v mpeg4 -q:v 3 -c:a flac -f matroska "$out" ;;
    no-audio) ffmpeg_q -i "$in" -map 0:v "${x264[@]}" -f matroska "$out" ;;
    no-video) ffmpeg_q -i "$in" -map 0:a:0 -c:a aac -f mpegts "$out" ;;
    *) fail "unknown kind $3" ;;
  esac || fail "cannot encode $out"
}

# Seconds from the container's start to its first picture (audio may start earlier).
video_offset() {
  local v f
  v=$(ffprobe -v error -select_streams v:0 -show_entries stream=start_time -of csv=p=0 "$1")
  f=$(ffprobe -v error -show_entries format=start_time -of csv=p=0 "$1")
  awk -v v="$v" -v f="$f" 'BEGIN { printf "%.6f\n", v - f }'
}

# The marks of cutspot's cut list for an event file, in seconds, one a line.
marks_of() {
  "$CUTSPOT" "$1" >"$1.cut" || fail "cutspot failed on $1"
  tail -n 1 "$1.cut" | grep -qx E || fail "cut list of $1 is not complete"
  sed -n -E 's/^[AD]([0-9]+):([0-9]+\.[0-9]+)$/\1 \2/p' "$1.cut" |
    awk '{ printf "%.3f\n", $1 * 60 + $2 }'
}

# check_marks EVT BREAKS [OFFSET]: exactly one mark per break and no other. A break of a
# second or longer has its mark within 50 ms of its middle (plus OFFSET seconds); a
# shorter one (1 s - length) / 2 later, as cutspot's level mode has it. The table of
# break, mark and error goes to $ACCURACY_LOG if set.
check_marks() {
  local evt=$1 breaks=$2 offset=${3:-0}
  marks_of "$evt" >"$evt.marks"
  awk -v off="$offset" '{ late = $2 < 1 ? (1 - $2) / 2 : 0; printf "%.3f %.3f\n", $1 + off + late, $2 }' \
    "$breaks" >"$evt.want"
  paste -d ' ' "$evt.want" "$evt.marks" |
    awk -v name="$(basename "$evt")" '
      NF != 3 { print name ": breaks and marks differ in number"; bad = 1; next }
      { e = ($3 - $1) * 1000; printf "%s %.3f %.3f %.3f %+.0f\n", name, $1, $2, $3, e > "/dev/stderr"
        if (e < -50 || e > 50) { print name ": mark " $3 " for the break at " $1; bad = 1 } }
      END { exit bad }' >&2 2>>"${ACCURACY_LOG:-/dev/null}" ||
    { cat "$evt.cut" >&2; fail "marks of $evt"; }
}

# check_order EVT: records strictly in time order from 1 ns, video records at most 70 ms
# apart and audio records at most 20 ms apart (plus rounding).
check_order() {
  "$EVT_DUMP" "$1" >"$1.txt" || fail "cannot read $1"
  awk -v name="$1" '
    $1 < 1 { print name ": record at " $1; bad = 1 }
    NR > 1 && $1 <= last { print name ": record at " $1 " after " last; bad = 1 }
    { last = $1 }
    $2 == "V" { if (v != "" && $1 - v > 70000000) { print name ": no video record from " v " to " $1; bad = 1 } v = $1 }
    $2 == "A" { if (a != "" && $1 - a > 20000001) { print name ": no audio record from " a " to " $1; bad = 1 }
                if ($3 > 5000) { print name ": audio value " $3; bad = 1 } a = $1 }
    $2 == "V" && ($3 < 1 || $4 < 1 || $5 < 1 || $6 < 1) { print name ": empty sample at " $1; bad = 1 }
    END { if (NR < 10) { print name ": only " NR " records"; bad = 1 } exit bad }' "$1.txt" >&2 ||
    fail "record order of $1"
}

# expect_status WANT CMD...: runs CMD with standard output to $WORK/stdout and standard
# error to $WORK/err, and fails unless it exits WANT.
expect_status() {
  local want=$1 got=0
  shift
  "$@" >"$WORK/stdout" 2>"$WORK/err" || got=$?
  [[ $got == "$want" ]] || { cat "$WORK/err" >&2; fail "'$*' exited $got, not $want"; }
}

# expect_message TEXT: the last expect_status run said TEXT on standard error.
expect_message() {
  grep -qF -- "$1" "$WORK/err" || { cat "$WORK/err" >&2; fail "no message '$1'"; }
}

# no_event_files DIR: no event file and no temporary file left in DIR.
no_event_files() {
  local left
  left=$(find "$1" -maxdepth 1 \( -name '*.evt' -o -name '.cutspot-probe-*' \) -print)
  [[ -z $left ]] || fail "left behind: $left"
}
