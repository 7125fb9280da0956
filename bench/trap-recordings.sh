# The recordings that cutspot-probe's measures are chosen on: a programme with the
# scenes that fool a detector of black and silent moments, and spots between black or
# dark grey separators of 3 to 30 frames, in three versions: DVB SD (MPEG-2/MP2 in .ts),
# DVB HD (H.264/AAC in .ts) and an analog recorder's program stream (noise, black
# lifted to about 22, hiss at -56 dBFS). Sourced by bench/probe-run after lib.sh.
# shellcheck shell=bash

# Segment kinds (the truth file's third column says what each must give):
#   P  programme: moving test picture, speech (-20 dBFS) pausing over room tone (-50)
#   S  spot: colour bars, steady loud noise (-16 dBFS)
#   B  separator: black, digital silence                  -> a mark
#   G  separator: dark grey (luma 28), digital silence    -> a mark
#   DD dark scene with lit details (a window, a face; mean luma about 27) and speech
#      pausing over room tone at -58 dBFS                   -> no mark
#   DE the same with room tone at -66 dBFS                  -> no mark
#   FA fade to black and back, the speech dipping to -50 dBFS over room tone at -50
#      (the sound never below -54 dBFS)                    -> no mark
#   FQ the same over room tone at -62 dBFS                   -> a mark is allowed
#   FS fade to black and back, the sound dipping to silence  -> a mark is allowed
#   QB quiet bright: white lines of text on black, room tone at -62 dBFS -> no mark
#   QT quiet bright: the test picture over room tone at -62 dBFS -> no mark
#   K  a single black frame in the programme, speech going on -> no mark
trap_segments="P:250 B:3 S:250 G:5 S:250 B:12 S:300 G:3 S:250 B:25 P:300 DD:250 P:200 FA:90"
trap_segments+=" P:200 FS:90 P:200 FQ:90 P:200 QB:150 P:200 K:1 P:200 DE:250 P:125 QT:100 P:200 B:30"
trap_segments+=" S:250 B:3 S:250 B:8 S:250 G:12 P:300"

# trap_graph SIZE "KIND:FRAMES ..." TRUTH: sets GRAPH to a filter graph with outputs [v]
# and [a] (stereo), 25 frames a second, and writes TRUTH: start, end (seconds) and kind
# of each segment.
trap_graph() {
  local size=$1 segs=$2 truth=$3 list="" n=0 frames=0 seg kind len d v a
  local speech loud
  GRAPH=""
  : >"$truth"
  for seg in $segs; do
    kind=${seg%%:*} len=${seg#*:}
    d=$(awk -v f="$len" 'BEGIN { printf "%.6f", f / 25 }')
    # Speech: pink noise on for 0.7 s, off for 0.4 s; room tone: brown noise.
    speech="anoisesrc=r=48000:c=pink:a=0.5:seed=$((n + 11)):d=$d,volume=3.4dB,volume='if(lt(mod(t\\,1.1)\\,0.7)\\,1\\,0)':eval=frame"
    room() { echo "anoisesrc=r=48000:c=brown:a=0.5:seed=$((n + 29)):d=$d,volume=$1dB"; }
    loud="anoisesrc=r=48000:c=pink:a=0.5:seed=$((n + 5)):d=$d,volume=7.4dB"
    case $kind in
      P | K) v="testsrc2=s=$size:r=25:d=$d" a="${speech}[s$n];$(room -27)[r$n];[s$n][r$n]amix=inputs=2:normalize=0" ;;
      S) v="smptehdbars=s=$size:r=25:d=$d" a="$loud" ;;
      B) v="color=black:s=$size:r=25:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      G) v="color=0x0e0e0e:s=$size:r=25:d=$d" a="anullsrc=r=48000:cl=mono:d=$d" ;;
      DD | DE)
        v="color=0x040404:s=$size:r=25:d=$d,drawbox=x=iw*0.2:y=ih*0.2:w=iw/8:h=ih/8:color=0xc8c8c8:t=fill"
        v+=",drawbox=x=iw*0.6:y=ih*0.6:w=iw/12:h=ih/7:color=0x787878:t=fill"
        a="${speech},volume=-4dB[s$n];$(room "$([[ $kind == DD ]] && echo -35 || echo -43)")[r$n];[s$n][r$n]amix=inputs=2:normalize=0"
        ;;
      FA | FQ | FS)
        v="testsrc2=s=$size:r=25:d=$d,fade=t=out:st=0.4:d=1,fade=t=in:st=2.0:d=1"
        if [[ $kind == FA || $kind == FQ ]]; then
          a="${speech},volume='if(between(t\\,1.2\\,2.2)\\,0.03\\,1)':eval=frame[s$n];"
          a+="$(room "$([[ $kind == FA ]] && echo -27 || echo -39)")[r$n];[s$n][r$n]amix=inputs=2:normalize=0"
        else
          a="${speech}[s$n];$(room -27)[r$n];[s$n][r$n]amix=inputs=2:normalize=0,volume='if(between(t\\,1.2\\,2.2)\\,0\\,1)':eval=frame"
        fi
        ;;
      QB)
        v="color=black:s=$size:r=25:d=$d"
        for y in 0.35 0.45 0.55; do
          v+=",drawbox=x=iw*0.25:y=ih*$y:w=iw/2:h=ih/30:color=white:t=fill"
        done
        a="$(room -39)"
        ;;
      QT) v="testsrc2=s=$size:r=25:d=$d" a="$(room -39)" ;;
      *) echo "unknown trap segment $kind" >&2 && return 1 ;;
    esac
    [[ $kind == K ]] && v="color=black:s=$size:r=25:d=$d"
    awk -v s="$frames" -v f="$len" -v k="$kind" \
      'BEGIN { printf "%.6f %.6f %s\n", s / 25, (s + f) / 25, k }' >>"$truth"
    GRAPH+="$v,setsar=1,format=yuv420p[v$n];"
    GRAPH+="$a,aformat=sample_fmts=fltp:channel_layouts=mono,atrim=end_sample=$(
      awk -v f="$len" 'BEGIN { printf "%d", f * 48000 / 25 + 0.5 }')[a$n];"
    list+="[v$n][a$n]"
    n=$((n + 1))
    frames=$((frames + len))
  done
  GRAPH+="${list}concat=n=$n:v=1:a=1[cv][m];[m]aformat=channel_layouts=stereo[ca]"
}

# make_trap_recording OUT KIND: KIND sd (MPEG-2/MP2 .ts), hd (H.264/AAC .ts, 1280x720) or
# analog (MPEG-2/MP2 program stream, noise, lifted black, hiss). OUT.truth gets the
# segments. Made once; kept while the recipe is the same.
make_trap_recording() {
  local out=$1 kind=$2 size=720x576 post_v="[cv]null[v]" post_a="[ca]asetnsamples=n=1152:p=0[a]" enc
  local recipe
  case $kind in
    sd) enc=(-c:v mpeg2video -b:v 5M -maxrate 9M -bufsize 1835k -g 12 -bf 2 -c:a mp2 -b:a 192k -f mpegts) ;;
    hd)
      size=1280x720 post_a="[ca]asetnsamples=n=1024:p=0[a]"
      enc=(-c:v libx264 -preset veryfast -crf 20 -g 50 -c:a aac -b:a 128k -f mpegts)
      ;;
    analog)
      post_v="[cv]lutyuv=y='16+(val-16)*0.92+6',noise=alls=12:allf=t+u[v]"
      post_a="anoisesrc=r=48000:c=white:a=0.5:seed=99,volume=-42.2dB,aformat=sample_fmts=fltp:channel_layouts=stereo[h];[ca][h]amix=inputs=2:normalize=0:duration=first,asetnsamples=n=1152:p=0[a]"
      enc=(-c:v mpeg2video -b:v 6M -maxrate 9M -bufsize 1835k -g 12 -bf 2 -c:a mp2 -b:a 192k -f vob)
      ;;
    *) echo "unknown trap recording kind $kind" >&2 && return 1 ;;
  esac
  trap_graph "$size" "$trap_segments" "$out.truth" || return 1
  recipe="$GRAPH;$post_v;$post_a ${enc[*]}"
  if [[ -f $out && -f $out.recipe && $(cat "$out.recipe") == "$recipe" ]]; then return 0; fi
  nice ffmpeg -nostdin -v error -y -filter_complex "$GRAPH;$post_v;$post_a" -map '[v]' -map '[a]' \
    "${enc[@]}" "$out" || return 1
  printf '%s\n' "$recipe" >"$out.recipe"
}

# score_traps MARKS TRUTH: one table row from cutspot's marks (seconds, one a line) and
# the truth file: separators found of all, and the marks elsewhere by the kind of segment
# they fall in, or follow by up to 0.6 s: cutspot marks a quiet dark moment shorter than
# a second (1 s - length) / 2 after its middle.
score_traps() {
  awk '
    FNR == NR { mark[++m] = $1; next }
    { s[++n] = $1; e[n] = $2; k[n] = $3 }
    END {
      split("DD DE FA FQ FS QB QT K P S", kinds, " ")
      for (i = 1; i <= m; i++) {
        home = 0
        for (j = 1; j <= n; j++) if (mark[i] >= s[j] && mark[i] < e[j]) home = j
        if ((k[home] == "P" || k[home] == "S") && home > 1 && mark[i] <= s[home] + 0.6) home--
        for (j = 1; j <= n; j++)
          if ((k[j] == "B" || k[j] == "G") && mark[i] >= s[j] && mark[i] <= e[j] + 0.6) home = j
        if (k[home] == "B" || k[home] == "G") found[home] = 1
        else wrong[k[home]]++
      }
      for (j = 1; j <= n; j++) if (k[j] == "B" || k[j] == "G") {
        total[k[j]]++; if (found[j]) hit[k[j]]++
      }
      printf "| %d/%d | %d/%d |", hit["B"], total["B"], hit["G"], total["G"]
      for (i = 1; i <= 10; i++) printf " %s |", wrong[kinds[i]] ? wrong[kinds[i]] : "."
      printf "\n"
    }' "$1" "$2"
}
