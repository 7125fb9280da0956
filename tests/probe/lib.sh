# Helpers of the recording tests: making small recordings from lavfi sources with the
# ffmpeg command-line tool, and checking what cutspot-probe and cutspot make of them.
# Sourced by run-case; needs PROBE, CUTSPOT, EVT_DUMP set.

ffmpeg_q() { ffmpeg -nostdin -v error -y "$@"; }

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# make_master OUT SIZE FPS "KIND:FRAMES ..." writes OUT (raw video, PCM) and OUT.breaks,
# the middle of each black and silent segment in seconds, one a line. Kinds:
#   P  programme: moving test picture, 440 Hz tone      S  colour bars, noise
#   B  break: black, silence                             DL dark but loud
#   QB quiet but bright                                  DQ dark with a faint tone (-45 dBFS)
#   BU a burst of full-scale noise over the test picture
make_master() {
  local out=$1 size=$2 fps=$3 segs=$4 graph="" list="" n=0 frames=0 v a
  : >"$out.breaks"
  for seg in $segs; do
    local kind=${seg%%:*} len=${seg#*:}
    local d
    d=$(awk -v f="$len" -v r="$fps" 'BEGIN { printf "%.6f", f / r }')
    case $kind in
      P) v="testsrc2=s=$size:r=$fps:d=$d" a="sine=f=440:sample_rate=48000:d=$d" ;;
      S) v="smptehdbars=s=$size:r=$fps:d=$d" a="anoisesrc=r=48000:a=0.2:c=pink:seed=3:d=$d" ;;
      B) v="color=black:s=$size:r=$fps:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      DL) v="color=black:s=$size:r=$fps:d=$d" a="sine=f=300:sample_rate=48000:d=$d" ;;
      QB) v="testsrc2=s=$size:r=$fps:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      DQ) v="color=black:s=$size:r=$fps:d=$d" a="sine=f=300:sample_rate=48000:d=$d,volume=-28dB" ;;
      BU) v="testsrc2=s=$size:r=$fps:d=$d" a="anoisesrc=r=48000:a=1:c=white:seed=5:d=$d" ;;
      *) fail "unknown segment kind $kind" ;;
    esac
    if [[ $kind == B ]]; then
      awk -v s="$frames" -v f="$len" -v r="$fps" 'BEGIN { printf "%.3f\n", (s + f / 2) / r }' \
        >>"$out.breaks"
    fi
    graph+="$v,setsar=1,format=yuv420p[v$n];$a,aformat=sample_fmts=fltp:channel_layouts=mono[a$n];"
    list+="[v$n][a$n]"
    n=$((n + 1))
    frames=$((frames + len))
  done
  graph+="${list}concat=n=$n:v=1:a=1[v][m];[m]aformat=channel_layouts=stereo[a]"
  ffmpeg_q -filter_complex "$graph" -map '[v]' -map '[a]' -c:v rawvideo -c:a pcm_s16le \
    -f nut "$out" || fail "cannot make $out"
}

# encode MASTER OUT KIND: the containers and codecs recorders write.
encode() {
  local in=$1 out=$2
  case $3 in
    mpg) ffmpeg_q -i "$in" -c:v mpeg2video -q:v 3 -bf 2 -g 12 -c:a mp2 -b:a 192k -f mpeg "$out" ;;
    ts) ffmpeg_q -i "$in" -c:v libx264 -preset veryfast -g 50 -c:a aac -b:a 128k -f mpegts "$out" ;;
    mp4) ffmpeg_q -i "$in" -c:v libx264 -preset veryfast -g 50 -c:a aac -movflags +faststart "$out" ;;
    mp4-moov-last) ffmpeg_q -i "$in" -c:v libx264 -preset veryfast -g 50 -c:a aac -f mp4 "$out" ;;
    mkv) ffmpeg_q -i "$in" -c:v mpeg4 -q:v 3 -c:a flac -f matroska "$out" ;;
    *) fail "unknown kind $3" ;;
  esac || fail "cannot encode $out"
}

# The marks of cutspot's cut list for an event file, in seconds, one a line.
marks_of() {
  "$CUTSPOT" "$1" >"$1.cut" || fail "cutspot failed on $1"
  sed -n -E 's/^[A-Z]([0-9]+):([0-9]+\.[0-9]+)$/\1 \2/p' "$1.cut" |
    awk '{ printf "%.3f\n", $1 * 60 + $2 }'
}

# check_marks EVT BREAKS [OFFSET]: exactly one mark per break, each within 50 ms of the
# break's middle (plus OFFSET seconds), and no other mark.
check_marks() {
  local evt=$1 breaks=$2 offset=${3:-0}
  marks_of "$evt" >"$evt.marks"
  awk -v off="$offset" '{ printf "%.3f\n", $1 + off }' "$breaks" >"$evt.want"
  paste "$evt.want" "$evt.marks" | tee -a "${ACCURACY_LOG:-/dev/null}" |
    awk -v name="$evt" '
      NF != 2 { print name ": breaks and marks differ in number"; bad = 1; next }
      { e = ($2 - $1) * 1000; if (e < -50 || e > 50) { print name ": mark " $2 " for the break at " $1; bad = 1 } }
      END { exit bad }' >&2 || { cat "$evt.cut" >&2; fail "marks of $evt"; }
}

# check_order EVT: records strictly in time order from 1 ns, video records at most 70 ms
# apart and audio records at most 20 ms apart while both streams run.
check_order() {
  "$EVT_DUMP" "$1" >"$1.txt" || fail "cannot read $1"
  awk -v name="$1" '
    $1 < 1 { print name ": record at " $1; bad = 1 }
    NR > 1 && $1 <= last { print name ": record at " $1 " after " last; bad = 1 }
    { last = $1 }
    $2 == "V" { if (v != "" && $1 - v > 70000000) { print name ": no video record from " v " to " $1; bad = 1 } v = $1 }
    $2 == "A" { if (a != "" && $1 - a > 20000001) { print name ": no audio record from " a " to " $1; bad = 1 } a = $1 }
    END { if (NR < 10) { print name ": only " NR " records"; bad = 1 } exit bad }' "$1.txt" >&2 ||
    fail "record order of $1"
}

# expect_status WANT CMD...: runs CMD with stderr to $WORK/err, fails unless it exits WANT.
expect_status() {
  local want=$1 got=0
  shift
  "$@" 2>"$WORK/err" || got=$?
  [[ $got == "$want" ]] || { cat "$WORK/err" >&2; fail "'$*' exited $got, not $want"; }
}

expect_message() {
  grep -q -- "$1" "$WORK/err" || { cat "$WORK/err" >&2; fail "no message '$1'"; }
}
