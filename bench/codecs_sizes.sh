#!/usr/bin/env bash
# The file size of a 1-minute 1920x1080 slideshow in each of today's codecs at their default
# quality and preset, the figures of README's table: 8 photos of 1600x1200, the default hold and
# transitions (5 s + 2 s: 1742 frames at 30/s, 58 s) with a soundtrack. The rows run one at a
# time (HEVC and AV1 take minutes each); the processor seconds are printed beside the size.
#   bench/codecs_sizes.sh [--cli PATH] [FORMAT ...]     (default: mp4-h264 mp4-hevc webm-vp9 webm-av1)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$here/build/cli/pixaroll-cli
[ "${1:-}" = --cli ] && { cli=$2; shift 2; }
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli" >&2; exit 2; }
cli=$(readlink -f "$cli") # the renders happen in a scratch folder
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
formats=("$@"); [ ${#formats[@]} -gt 0 ] || formats=(mp4-h264 mp4-hevc webm-vp9 webm-av1)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"; mkdir pics out
n=8
for i in $(seq 0 $((n - 1))); do
  ffmpeg -nostdin -v error -f lavfi -i "mandelbrot=s=1600x1200:start_scale=$(awk "BEGIN{print 3/($i+1)}"),format=yuvj420p" \
    -frames:v 1 -q:v 3 pics/p$i.jpg
done
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 60 -ac 2 tone.wav
for f in "${formats[@]}"; do
  rm -rf out/*
  /usr/bin/time -f "%U %S" -o cpu.txt "$cli" render --pictures pics/*.jpg --out-dir out --format "$f" \
    --size 1920x1080 --rate 30:1 --audio tone.wav --quiet >/dev/null 2>err.txt || { echo "$f failed" >&2; tail -5 err.txt >&2; exit 2; }
  file=$(ls out/*)
  printf '%-9s %6.1f MB  %5d frames  %6.0f s of processor time\n' "$f" \
    "$(echo "$(stat -c %s "$file") / 1000000" | bc -l)" \
    "$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$file")" \
    "$(awk '{print $1 + $2}' cpu.txt)"
done
