#!/usr/bin/env bash
# "mp4 (H.264)" at its default preset (balanced: x264 medium, CRF 23) at 1920x1080 with a
# soundtrack, side by side in one run:
#   ours        pixaroll-cli render, letterbox framing
#   blur        the same with blur framing: at most 1.15x ours
#   floor       ffmpeg encoding the same frames (decoded once from our output into a raw file)
#               with the same encoder and options: ours at most 1.2x the floor
#   melt        MLT's melt making the same slideshow with vcodec=libx264, same preset and CRF:
#               ours below melt's time
# Times are processor seconds. Where ours goes (perf, letterbox): about three quarters in x264,
# a tenth in the kernel zeroing freshly mapped frame memory, 2 % converting BGRX to yuv420p, the
# rest decoding, drawing and AAC. Blur framing makes its background once per picture (a few
# milliseconds); what it adds beyond that is the encoder's work on bars that are no longer flat
# black. perf of the blur run: pixman 0.5 % of the samples, x264 79 % (78 % with letterbox), the
# rest as with letterbox. On a shared machine single runs of either framing scatter by +-10 %:
# take --repeat 5 or more before reading the blur ratio.
# The job: 2 photos of 1600x1200, 2 s each, 1 s transitions, 30 frames/s.
#   bench/codecs_bench.sh [--cli PATH] [--base PATH] [--repeat N]
# --base times a second pixaroll-cli (an older build) in the same run, for a before/after ratio.
# --repeat runs every program N times (alternating) and takes each one's median: the machine
# may be shared. Exit status 1 when a target is missed, 2 when a program failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$here/build/cli/pixaroll-cli; base=""; repeat=1
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;; --base) base=$2; shift 2;; --repeat) repeat=$2; shift 2;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli" >&2; exit 2; }
[ -z "$base" ] || [ -x "$base" ] || { echo "no pixaroll-cli at $base" >&2; exit 2; }
cli=$(readlink -f "$cli"); [ -z "$base" ] || base=$(readlink -f "$base") # the runs happen in a scratch folder
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"; mkdir pics out
for i in 0 1; do
  ffmpeg -nostdin -v error -f lavfi -i "mandelbrot=s=1600x1200:start_scale=$((i + 1)),format=yuvj420p" \
    -frames:v 1 -q:v 3 pics/p$i.jpg
done
frames=$((2 * (60 + 30) + 30 + 2))
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=44100" -t "$(echo "$frames / 30" | bc -l)" -ac 2 tone.wav
threads=$(nproc); [ "$threads" -le 8 ] || threads=8

# Processor seconds (user + system) of a command: the machine may be shared, and the wall clock
# then measures the neighbours.
seconds() {
  /usr/bin/time -f "%U %S" -o cpu.txt "$@" >/dev/null 2>err.txt || { echo "failed: $*" >&2; tail -5 err.txt >&2; exit 2; }
  awk '{print $1 + $2}' cpu.txt
}
rargs=(render --pictures pics/p0.jpg pics/p1.jpg --out-dir out --format mp4-h264 --size 1920x1080 --rate 30:1
       --hold 2 --transition 1 --sequential --audio tone.wav --samplerate 44100 --quiet)

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# melt reads its frame format from a profile; without a description line it crashes at start.
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
margs=(-quiet -profile profile color:black out=29 pics/p0.jpg out=119 -mix 30 -mixer luma
       pics/p1.jpg out=119 -mix 30 -mixer luma color:black out=29 -mix 30 -mixer luma
       -audio-track tone.wav out=$((frames - 3))
       -consumer avformat:melt.mp4 vcodec=libx264 preset=medium crf=23 acodec=aac ar=44100 ac=2 real_time=-2)
havemelt=0; command -v melt >/dev/null && havemelt=1

# The floor's frames: our letterbox output decoded once.
"$cli" "${rargs[@]}" --fit letterbox >/dev/null
ffmpeg -nostdin -v error -i "out/slideshow-_(new).mp4" -f rawvideo -pix_fmt yuv420p frames.yuv
rm -rf out/*
ot=() bt=() ft=() mt=() xt=() xbt=()
for k in $(seq 1 "$repeat"); do
  ot+=("$(seconds "$cli" "${rargs[@]}" --fit letterbox)"); rm -rf out/*
  bt+=("$(seconds "$cli" "${rargs[@]}" --fit blur)"); rm -rf out/*
  if [ -n "$base" ]; then
    xt+=("$(seconds "$base" "${rargs[@]}" --fit letterbox)"); rm -rf out/*
    xbt+=("$(seconds "$base" "${rargs[@]}" --fit blur)"); rm -rf out/*
  fi
  ft+=("$(seconds ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s 1920x1080 -r 30 -i frames.yuv -i tone.wav \
    -c:v libx264 -preset medium -crf 23 -profile:v high -level 4.0 -threads "$threads" -c:a aac -ar 44100 -ac 2 \
    -movflags +faststart floor.mp4)")
  [ "$havemelt" = 0 ] || mt+=("$(seconds melt "${margs[@]}")")
done
ours=$(printf '%s\n' "${ot[@]}" | median); blur=$(printf '%s\n' "${bt[@]}" | median)
floor=$(printf '%s\n' "${ft[@]}" | median)
melt="-"; [ "$havemelt" = 0 ] || melt=$(printf '%s\n' "${mt[@]}" | median)
status=0
check() { # name value target
  local ok; ok=$(awk "BEGIN{print ($2 <= $3) ? \"ok\" : \"MISSED\"}")
  printf '  %-16s %5.2f  (target <= %s) %s\n' "$1" "$2" "$3" "$ok"; [ "$ok" = ok ] || status=1
}
printf 'mp4 (H.264) 1920x1080, %d frames with sound, median of %d: ours %.2f s, blur %.2f s, floor %.2f s, melt %s s\n' \
  "$frames" "$repeat" "$ours" "$blur" "$floor" "$melt"
if [ -n "$base" ]; then
  before=$(printf '%s\n' "${xt[@]}" | median); beforeBlur=$(printf '%s\n' "${xbt[@]}" | median)
  printf '  base: letterbox %.2f s, blur %.2f s; base/floor %.2f, base blur/letterbox %.2f, ours/base %.2f, blur ours/base %.2f\n' \
    "$before" "$beforeBlur" "$(echo "$before / $floor" | bc -l)" "$(echo "$beforeBlur / $before" | bc -l)" \
    "$(echo "$ours / $before" | bc -l)" "$(echo "$blur / $beforeBlur" | bc -l)"
fi
check "ours / floor" "$(echo "$ours / $floor" | bc -l)" 1.2
check "blur / letterbox" "$(echo "$blur / $ours" | bc -l)" 1.15
if [ "$melt" = - ]; then echo "  melt is not installed: no comparison"
else check "ours / melt" "$(echo "$ours / $melt" | bc -l)" 0.999; fi
exit "$status"
