#!/usr/bin/env bash
# A 4K HEVC phone clip in a 1920x1080 slideshow, pixaroll-cli render measured in one run:
#   clip      photo, the clip (3840x2160 HEVC, 30 frames/s, 4 s), photo: peak memory at most
#             400 MB; frames per second and the ratio to real time printed
#   photos    the same slideshow with a photo in the clip's place: the clip's cost as a ratio
#   blur      the clip slideshow with blur framing (the background blurred anew for every
#             clip picture): its time as a ratio of the letterboxed one
# 1 s holds, 0.5 s transitions, 30 frames/s, the classic mp4 row.
#
#   bench/clip_bench.sh [--cli PATH] [--work DIR]
#
# --work keeps the clip and the photos for the next run. Exit status 1 when the memory target
# is missed, 2 when a program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=""; work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;; --work) work=$2; shift 2;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[ -n "$cli" ] || cli=$here/build/cli/pixaroll-cli
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli (build it or pass --cli)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (apt-get install ffmpeg)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
[ -n "$work" ] || { work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; }
mkdir -p "$work/out"
cd "$work"
seconds=4
if [ ! -f clip.mp4 ]; then
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
    -i "testsrc2=s=3840x2160:r=30:d=$seconds" -f lavfi -i "sine=frequency=1000:duration=$seconds" \
    -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p -tag:v hvc1 -c:a aac clip.mp4
fi
for p in a b c; do
  [ -f $p.jpg ] || ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc=s=1600x1200" -frames:v 1 -q:v 3 $p.jpg
done

# run NAME ARGS...: prints "NAME seconds peak-kB"
run() {
  local name=$1; shift
  rm -rf out/*
  local t0 t1
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f "%M" -o mem.txt "$cli" render --quiet --out-dir out --format mp4 --size 1920x1080 --rate 30:1 \
       --hold 1 --transition 0.5 --sequential "$@" > log.txt 2>&1; then
    cat log.txt >&2; exit 2
  fi
  t1=$(date +%s.%N)
  echo "$name $(awk "BEGIN{print $t1 - $t0}") $(tail -n 1 mem.txt)"
}
# Frames: fade-in 15, per slide its hold and a 15-frame transition, 2 black frames.
clip_frames=$((15 + 2 + 3 * 15 + 30 + $seconds * 30 + 30))
photo_frames=$((15 + 2 + 3 * 15 + 3 * 30))
read -r _ clip_s clip_kb < <(run clip --pictures a.jpg clip.mp4 c.jpg)
read -r _ photo_s photo_kb < <(run photos --pictures a.jpg b.jpg c.jpg)
read -r _ blur_s blur_kb < <(run blur --pictures a.jpg clip.mp4 c.jpg --fit blur)
awk -v cs="$clip_s" -v ck="$clip_kb" -v cf="$clip_frames" -v ps="$photo_s" -v pf="$photo_frames" -v pk="$photo_kb" \
    -v bs="$blur_s" -v bk="$blur_kb" -v sec="$seconds" 'BEGIN {
  printf "clip slideshow   %4d frames  %6.2f s  %6.1f frames/s  %5.2fx real time  peak %4.0f MB\n", cf, cs, cf / cs, (cf / 30) / cs, ck / 1024
  printf "photo slideshow  %4d frames  %6.2f s  %6.1f frames/s  peak %4.0f MB\n", pf, ps, pf / ps, pk / 1024
  printf "per-frame cost, clip run / photo run: %.2f\n", (cs / cf) / (ps / pf)
  printf "blur framing     %4d frames  %6.2f s  peak %4.0f MB; time ratio blur / letterbox: %.2f\n", cf, bs, bk / 1024, bs / cs
  if (ck / 1024 > 400 || bk / 1024 > 400) { print "MISSED: peak memory above 400 MB"; exit 1 }
}'
