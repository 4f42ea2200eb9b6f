#!/usr/bin/env bash
# Pan and zoom against still pictures, the same job side by side in one run: 1920x1080, six
# photos of 6000x4000 (JPEG), 5 s each, 2 s transitions, 30 frames/s, the classic mp4 row.
# Targets: motion on takes at most 1.3x the time of motion off; peak memory under 250 MB.
# Beside them: what the encoder alone costs for each of the two videos, coded again by FFmpeg's
# own tools with the same encoder and rate; the difference is the part of the gap that is the
# encoding of moving pictures rather than the drawing or the face finder.
#
#   bench/motion_bench.sh [--cli PATH] [--work DIR] [--motion STYLE] [--pairs N]
#
# --work keeps the photos for the next run. --pairs N renders N - 1 more pairs after the first
# and prints every pair's ratio and their median beside it (a shared machine's runs scatter by a
# fifth); the targets are checked on the first pair. Exit status 1 when a target is missed, 2 when a
# program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=""; work=""; motion=random; pairs=1
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;; --work) work=$2; shift 2;; --motion) motion=$2; shift 2;;
    --pairs) pairs=$2; shift 2;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[[ "$pairs" =~ ^[1-9][0-9]*$ ]] || { echo "--pairs takes a whole number from 1 on, not \"$pairs\"" >&2; exit 2; }
[ -n "$cli" ] || cli=$here/build/cli/pixaroll-cli
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli (build it or pass --cli)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (apt-get install ffmpeg)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
[ -n "$work" ] || { work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; }
mkdir -p "$work/pics" "$work/out"
cd "$work"
for i in 0 1 2 3 4 5; do
  f=pics/photo-$i.jpg
  [ -f $f ] && continue
  sc=$(awk "BEGIN{print 0.4/($i+1)}")
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
    -i "mandelbrot=s=1500x1000:start_x=-0.745:start_y=0.11:start_scale=$sc,scale=6000:4000:flags=bicubic,noise=alls=6:allf=t,format=yuvj420p" \
    -frames:v 1 -q:v 3 $f
done
pics=(pics/photo-*.jpg)

# Seconds, peak megabytes and processor seconds (all threads) of one render, "S MB CPU".
measure() {
  rm -f out/*
  local t0 t1
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f "%M %U %S" -o mem.txt "$cli" render --pictures "${pics[@]}" --out-dir out --format mp4 --size 1920x1080 \
      --hold 5 --transition 2 --seed 1 --quiet "$@" >/dev/null 2>err.txt; then
    echo "failed: render $*" >&2; tail -5 err.txt >&2; exit 2
  fi
  t1=$(date +%s.%N)
  local kb user sys
  read -r kb user sys <<<"$(tail -1 mem.txt)"
  echo "$(echo "$t1 - $t0" | bc) $(( kb / 1024 )) $(echo "$user + $sys" | bc)"
}

# Seconds FFmpeg's own tools take to code a video's frames again with the encoder and rate of
# the render (its decoding timed alone and taken off).
encoding_alone() {
  local video=$1 rate threads t0 t1 t2
  rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 "$video")
  threads=$(nproc); [ "$threads" -le 8 ] || threads=8
  t0=$(date +%s.%N)
  ffmpeg -nostdin -v error -threads 1 -i "$video" -f null - || exit 2
  t1=$(date +%s.%N)
  ffmpeg -nostdin -v error -threads 1 -i "$video" -c:v mpeg4 -b:v "$rate" -threads "$threads" -f null - || exit 2
  t2=$(date +%s.%N)
  echo "($t2 - $t1) - ($t1 - $t0)" | bc
}

read -r offTime offMem offCpu <<<"$(measure --motion off)"
mv "$(ls out/*.mp4 | head -1)" still.mp4
read -r onTime onMem onCpu <<<"$(measure --motion "$motion")"
offAlone=$(encoding_alone still.mp4)
onAlone=$(encoding_alone "$(ls out/*.mp4 | head -1)")
rm -f still.mp4
ratio=$(awk "BEGIN{printf \"%.3f\", $onTime / $offTime}")
echo "motion off: ${offTime}s (processor ${offCpu}s), peak ${offMem} MB"
echo "motion $motion: ${onTime}s (processor ${onCpu}s), peak ${onMem} MB"
echo "processor time ratio on/off: $(awk "BEGIN{printf \"%.3f\", $onCpu / $offCpu}") (steadier than the time on a shared machine)"
echo "the encoder alone: ${offAlone}s for the still video, ${onAlone}s for the moving one ($(awk "BEGIN{printf \"%+.2f\", ($onAlone - $offAlone) / $offTime}")x motion off: the encoder's share of the gap)"
echo "time ratio on/off: $ratio (target <= 1.3); peak with motion ${onMem} MB (target < 250)"
if [ "$pairs" -gt 1 ]; then
  ratios="$ratio"
  for ((i = 2; i <= pairs; ++i)); do
    read -r t _ _ <<<"$(measure --motion off)"
    read -r u _ _ <<<"$(measure --motion "$motion")"
    ratios="$ratios $(awk "BEGIN{printf \"%.3f\", $u / $t}")"
  done
  echo "time ratios of $pairs pairs: $ratios; median $(echo "$ratios" | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END{print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}')"
fi
status=0
awk "BEGIN{exit !($ratio <= 1.3)}" || { echo "MISSED: motion takes more than 1.3x"; status=1; }
[ "$onMem" -lt 250 ] || { echo "MISSED: peak memory not under 250 MB"; status=1; }
exit $status
