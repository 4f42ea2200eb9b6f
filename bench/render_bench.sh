#!/usr/bin/env bash
# The whole slideshow job, pixaroll-cli render against MLT's melt rendering the same slideshow,
# side by side in one run, with the ratio of the times and each one's peak memory:
#   audio   640x480 with a 48 kHz stereo soundtrack (AAC 44.1 kHz): ours at most 0.6 of melt's
#           time and at most 100 MB peak
#   silent  1280x720 without sound: ours at most 0.7 of melt's time
# The job: 10 photos of 1600x1200 (JPEG), 5 s each, 2 s transitions, fade in from and out to
# black, 30 frames/s, MPEG-4 at 1200 kb/s in mp4.
#
#   bench/render_bench.sh [--cli PATH] [--base PATH] [--work DIR] [--repeat N] [--only audio|silent]
#
# --base times a second pixaroll-cli (an older build) in the same run, for a before/after ratio.
# --repeat runs every program N times (alternating) and takes each one's median: the machine
# may be shared. --work keeps the pictures and the soundtrack for the next run. Exit status 1
# when a target is missed, 2 when a program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=""; base=""; work=""; repeat=1; only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;; --base) base=$2; shift 2;; --work) work=$2; shift 2;;
    --repeat) repeat=$2; shift 2;; --only) only=$2; shift 2;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[ -n "$cli" ] || cli=$here/build/cli/pixaroll-cli
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli (build it or pass --cli)" >&2; exit 2; }
for t in ffmpeg melt; do command -v $t >/dev/null || { echo "$t is needed (apt-get install $t)" >&2; exit 2; }; done
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
[ -n "$work" ] || { work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; }
mkdir -p "$work/pics" "$work/out"
cd "$work"
n=10
for i in $(seq 0 $((n - 1))); do
  f=pics/pic-$(printf %03d $i).jpg
  [ -f $f ] && continue
  sc=$(awk "BEGIN{print 0.5/($i+1)}")
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
    -i "mandelbrot=s=1600x1200:start_x=-0.745:start_y=0.11:start_scale=$sc,noise=alls=4:allf=t,format=yuvj420p" \
    -frames:v 1 -q:v 3 $f
done
[ -f tone.wav ] || ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
  -i "sine=frequency=440:duration=$((n * 7 + 10)):sample_rate=48000" -ac 2 tone.wav
pics=(pics/pic-*.jpg)
frames=$((n * (150 + 60) + 60 + 2))

# Seconds and peak megabytes of one command, "S MB"; the output folder is emptied first.
measure() {
  rm -f out/*
  local t0 t1
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f "%M" -o mem.txt "$@" >/dev/null 2>err.txt; then
    echo "failed: $*" >&2; tail -5 err.txt >&2; exit 2
  fi
  t1=$(date +%s.%N)
  echo "$(echo "$t1 - $t0" | bc) $(( $(tail -1 mem.txt) / 1024 ))"
}
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

status=0
run_case() { # name size audio(0/1) target-ratio memory-limit-MB(0: none)
  local name=$1 size=$2 audio=$3 target=$4 memLimit=$5
  local W=${size%x*} H=${size#*x} g h r
  g=$W; h=$H; while [ $h -ne 0 ]; do r=$((g % h)); g=$h; h=$r; done
  cat > profile <<P
description=${W}x${H} 30 fps
frame_rate_num=30
frame_rate_den=1
width=$W
height=$H
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=$((W / g))
display_aspect_den=$((H / g))
colorspace=601
P
  local margs=(-profile profile color:black out=59) p
  for p in "${pics[@]}"; do margs+=("$p" out=269 -mix 60 -mixer luma); done
  margs+=(color:black out=59 -mix 60 -mixer luma)
  local aopt=(an=1) oargs=(render --pictures "${pics[@]}" --out-dir out --format mp4 --size "$size" --rate 30:1
                           --bitrate 1200 --hold 5 --transition 2 --seed 1 --quiet)
  if [ "$audio" = 1 ]; then
    margs+=(-audio-track tone.wav out=$((frames - 3))); aopt=(acodec=aac ar=44100 ac=2)
    oargs+=(--audio tone.wav --samplerate 44100)
  fi
  local mt=() mm=() ot=() om=() bt=() bm=() k s m
  for k in $(seq 1 "$repeat"); do
    read -r s m < <(measure melt -quiet "${margs[@]}" -consumer avformat:out/melt.mp4 vcodec=mpeg4 vb=1200k "${aopt[@]}" real_time=-2)
    mt+=("$s"); mm+=("$m")
    read -r s m < <(measure "$cli" "${oargs[@]}"); ot+=("$s"); om+=("$m")
    if [ -n "$base" ]; then read -r s m < <(measure "$base" "${oargs[@]}"); bt+=("$s"); bm+=("$m"); fi
  done
  local melt ours oursMem ratio line
  melt=$(printf '%s\n' "${mt[@]}" | median); ours=$(printf '%s\n' "${ot[@]}" | median)
  oursMem=$(printf '%s\n' "${om[@]}" | sort -n | tail -1)
  ratio=$(awk "BEGIN{printf \"%.2f\", $ours / $melt}")
  printf '%-7s %-9s melt %6.2f s %5d MB   ours %6.2f s %5d MB' "$name" "$size" "$melt" \
    "$(printf '%s\n' "${mm[@]}" | sort -n | tail -1)" "$ours" "$oursMem"
  if [ -n "$base" ]; then
    local before; before=$(printf '%s\n' "${bt[@]}" | median)
    printf '   base %6.2f s %5d MB' "$before" "$(printf '%s\n' "${bm[@]}" | sort -n | tail -1)"
    line=$(awk "BEGIN{printf \"   base/melt %.2f  ours/base %.2f\", $before / $melt, $ours / $before}")
    printf '%s' "$line"
  fi
  printf '\n        ratio ours/melt %s (target %s)' "$ratio" "$target"
  local ok=1
  awk "BEGIN{exit !($ratio <= $target)}" || ok=0
  if [ "$memLimit" -gt 0 ]; then
    printf ', peak %d MB (limit %d MB)' "$oursMem" "$memLimit"
    [ "$oursMem" -le "$memLimit" ] || ok=0
  fi
  if [ $ok = 1 ]; then echo "  ok"; else echo "  MISSED"; status=1; fi
}

echo "job: $n photos 1600x1200, 5 s + 2 s, 30/s, mpeg4 1200k mp4, $frames frames; median of $repeat"
[ "$only" = silent ] || run_case audio 640x480 1 0.6 100
[ "$only" = audio ] || run_case silent 1280x720 0 0.7 0
exit $status
