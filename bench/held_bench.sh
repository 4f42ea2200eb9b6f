#!/usr/bin/env bash
# Held pictures written once, side by side in one run: 10 photos of 1600x1200, 5 s holds, 2 s
# transitions, 1920x1080 30 frames/s, "mp4 (H.264)" at its default (x264 medium, CRF 23) with a
# stereo AAC soundtrack.
#   held        pixaroll-cli render as it is (a held picture encoded once)
#   constant    the same with --constant-frame-rate (every frame encoded)
#   floor       ffmpeg encoding the constant-rate frames (decoded once into a raw file) with the
#               same encoder, options and sound
#   melt        MLT's melt making the same slideshow (luma mixes, same encoder settings)
# Targets: held <= 0.45 x melt's time and <= 0.6 x the floor's; held's peak memory <= 1.1 x the
# floor's. Motion (zoom-in on every picture) against melt with its affine filter keyframed from
# the whole picture to a 1.15x zoom over each picture's time: <= 0.6 x melt's time, peak memory
# <= melt's. --base PATH times an older pixaroll-cli's render (every frame) against ours with
# --constant-frame-rate in --pairs N alternating pairs: the constant-rate path must be no slower.
# Times are processor seconds (user + system): the machine may be shared.
#   bench/held_bench.sh [--cli PATH] [--base PATH] [--pairs N] [--no-motion]
# Exit status 1 when a target is missed, 2 when a program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$here/build/cli/pixaroll-cli; base=""; pairs=3; motion=1
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;; --base) base=$2; shift 2;; --pairs) pairs=$2; shift 2;;
    --no-motion) motion=0; shift;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli" >&2; exit 2; }
[ -z "$base" ] || [ -x "$base" ] || { echo "no pixaroll-cli at $base" >&2; exit 2; }
cli=$(readlink -f "$cli"); [ -z "$base" ] || base=$(readlink -f "$base")
for t in ffmpeg melt bc; do command -v $t >/dev/null || { echo "$t is needed (apt-get install $t)" >&2; exit 2; }; done
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"; mkdir pics out
n=10
for i in $(seq 0 $((n - 1))); do
  ffmpeg -nostdin -v error -f lavfi -i "mandelbrot=s=1600x1200:start_scale=$((i + 1)),format=yuvj420p" \
    -frames:v 1 -q:v 3 pics/p$i.jpg
done
hold=150; mix=60
# Black, each picture faded in and out over the transitions, black: n holds, n + 1 transitions.
frames=$((n * hold + (n + 1) * mix))
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=44100" -t "$(echo "$frames / 30" | bc -l)" -ac 2 tone.wav
threads=$(nproc); [ "$threads" -le 8 ] || threads=8

# "seconds megabytes" of a command: processor time and peak resident memory.
measure() {
  /usr/bin/time -f "%U %S %M" -o cpu.txt "$@" >/dev/null 2>err.txt || { echo "failed: $*" >&2; tail -5 err.txt >&2; exit 2; }
  awk '{printf "%.2f %d\n", $1 + $2, $3 / 1024}' cpu.txt
}
pics=(); for i in $(seq 0 $((n - 1))); do pics+=(pics/p$i.jpg); done
rargs=(render --pictures "${pics[@]}" --out-dir out --format mp4-h264 --size 1920x1080 --rate 30:1
       --hold 5 --transition 2 --sequential --audio tone.wav --samplerate 44100 --quiet)

cat > profile <<P
description=1920x1080 30 fps
frame_rate_num=30
frame_rate_den=1
width=1920
height=1080
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=16
display_aspect_den=9
colorspace=709
P
# melt's show: a picture lasts hold + 2 mixes (it is on screen through both transitions).
meltShow() { # extra arguments after each picture
  local args=(-quiet -profile profile color:black out=$((mix - 1)))
  for p in "${pics[@]}"; do args+=("$p" out=$((hold + 2 * mix - 1)) "$@" -mix $mix -mixer luma); done
  args+=(color:black out=$((mix - 1)) -mix $mix -mixer luma -audio-track tone.wav out=$((frames - 1))
         -consumer avformat:out/melt.mp4 vcodec=libx264 preset=medium crf=23 acodec=aac ar=44100 ac=2 real_time=-2)
  printf '%s\n' "${args[@]}"
}
mapfile -t melt_plain < <(meltShow)
mapfile -t melt_affine < <(meltShow -attach-cut affine "transition.rect=0=0%/0%:100%x100%;-1=-7.5%/-7.5%:115%x115%" transition.distort=0)

# The floor's frames: the constant-rate render decoded once.
"$cli" "${rargs[@]}" --constant-frame-rate >/dev/null
ffmpeg -nostdin -v error -i "out/slideshow-_(new).mp4" -f rawvideo -pix_fmt yuv420p frames.yuv
rm -rf out/*
read -r held heldMem < <(measure "$cli" "${rargs[@]}"); rm -rf out/*
read -r constant constantMem < <(measure "$cli" "${rargs[@]}" --constant-frame-rate); rm -rf out/*
read -r floor floorMem < <(measure ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s 1920x1080 -r 30 -i frames.yuv \
  -i tone.wav -c:v libx264 -preset medium -crf 23 -profile:v high -threads "$threads" -c:a aac -ar 44100 -ac 2 \
  -movflags +faststart out/floor.mp4); rm -rf out/*
read -r melt meltMem < <(measure melt "${melt_plain[@]}"); rm -rf out/*
rm -f frames.yuv

status=0
check() { # name value target
  local ok; ok=$(awk "BEGIN{print ($2 <= $3) ? \"ok\" : \"MISSED\"}")
  printf '  %-26s %5.2f  (target <= %s) %s\n' "$1" "$2" "$3" "$ok"; [ "$ok" = ok ] || status=1
}
ratio() { echo "$1 / $2" | bc -l; }
printf '%d photos, 1920x1080 H.264 CRF 23 with sound, %d frames (processor s, peak MB):\n' "$n" "$frames"
printf '  held %.2f s %d MB, constant %.2f s %d MB, floor %.2f s %d MB, melt %.2f s %d MB\n' \
  "$held" "$heldMem" "$constant" "$constantMem" "$floor" "$floorMem" "$melt" "$meltMem"
check "held / melt" "$(ratio "$held" "$melt")" 0.45
check "held / floor" "$(ratio "$held" "$floor")" 0.6
check "held memory / floor's" "$(ratio "$heldMem" "$floorMem")" 1.1

if [ "$motion" = 1 ]; then
  read -r moving movingMem < <(measure "$cli" "${rargs[@]}" --motion zoom-in --zoom 1.15); rm -rf out/*
  read -r affine affineMem < <(measure melt "${melt_affine[@]}"); rm -rf out/*
  printf 'zoom-in on every picture: ours %.2f s %d MB, melt affine %.2f s %d MB\n' "$moving" "$movingMem" "$affine" "$affineMem"
  check "motion / melt affine" "$(ratio "$moving" "$affine")" 0.6
  check "motion memory / melt's" "$(ratio "$movingMem" "$affineMem")" 1.0
fi

if [ -n "$base" ]; then
  ct=() bt=()
  for k in $(seq 1 "$pairs"); do
    read -r s _ < <(measure "$cli" "${rargs[@]}" --constant-frame-rate); ct+=("$s"); rm -rf out/*
    read -r s _ < <(measure "$base" "${rargs[@]}"); bt+=("$s"); rm -rf out/*
  done
  printf 'constant rate against the base build, %d pairs: ours %s, base %s\n' "$pairs" "${ct[*]}" "${bt[*]}"
  # No slower: our best pair within the spread of the base's own runs.
  oursBest=$(printf '%s\n' "${ct[@]}" | sort -n | head -1); baseWorst=$(printf '%s\n' "${bt[@]}" | sort -n | tail -1)
  check "constant best / base worst" "$(ratio "$oursBest" "$baseWorst")" 1.0
fi
exit "$status"
