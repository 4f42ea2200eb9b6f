#!/usr/bin/env bash
# Captions' cost in a whole render: the same slideshow with and without a caption on every slide,
# rendered by pixaroll-cli into the default mp4 row (1920x1080, eight photos of 1600x1200, 3 s
# holds, 1 s transitions, 30 frames/s). Prints the processor time of both runs and their ratio;
# the target is at most 1.05. bench/caption_bench (built with the benchmarks) times the frame
# drawing alone, without the encoder.
#
#   bench/caption_bench.sh [--cli PATH]
#
# Exit status 1 when the target is missed, 2 when a program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$here/build/cli/pixaroll-cli
[ "${1:-}" = --cli ] && cli=$2
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli (build it or pass --cli)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (apt-get install ffmpeg)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=1600x1200:rate=1 -frames:v 8 "$work/p%d.jpg" || exit 2
project() { # $1: file, $2: 1 for captions
  local slides="" i
  for i in 1 2 3 4 5 6 7 8; do
    local caption=""
    [ "$2" = 1 ] && caption=", \"caption\": \"Photo $i \\u2013 2023-07-21 11:25, by the river\""
    slides+="${slides:+, }{ \"picture\": \"p$i.jpg\"$caption }"
  done
  cat > "$1" <<JSON
{ "format": "pixaroll-project", "version": 2,
  "output": { "frameSize": "1920x1080", "frameRate": "30:1", "hold": "3", "transition": "1", "seed": 2026 },
  "slides": [ $slides ] }
JSON
}
project "$work/plain.pixaroll" 0
project "$work/captioned.pixaroll" 1
cpu() { # seconds of processor time of one render
  /usr/bin/time -f "%U %S" -o "$work/time" "$cli" render --project "$1" --out-dir "$work/out" --quiet >/dev/null || exit 2
  awk '{ print $1 + $2 }' "$work/time"
}
without=$(cpu "$work/plain.pixaroll")
with=$(cpu "$work/captioned.pixaroll")
ratio=$(awk -v a="$with" -v b="$without" 'BEGIN { printf "%.3f", a / b }')
echo "render without captions: ${without} s processor time"
echo "render with captions:    ${with} s processor time"
echo "ratio with/without: $ratio (target <= 1.05)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.05) }' || exit 1
