#!/usr/bin/env bash
# A newcomer's first video, made in the real window on a virtual display with a fresh home
# folder: the window starts with three photos and a song named on its command line, Start is
# pressed (Alt+S), and then
#   - the preview window lies beside the main window, over none of it (geometry from the display);
#   - the video written is 1920x1080 H.264 with stereo AAC sound, every frame decodes, and
#     headless Chromium shows its picture (scripts/check-browser-playback.sh --files).
#   scripts/window-first-run.sh [PROGRAM]     (default: build/app/window/pixaroll)
# Needs xvfb-run, xdotool, ffmpeg and chromium (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/app/window/pixaroll}")
work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-first-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/in"
for i in 1 2 3; do
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1600x1200,hue=h=$((i * 90))" -frames:v 1 "$work/in/photo$i.jpg"
done
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=330:duration=30" -ac 2 "$work/in/song.wav"
export HOME=$work/home
unset XDG_CONFIG_HOME QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  set -u
  program=$0 in=$1
  # The window'"'"'s own output (and the file manager it starts at the end) goes to a log.
  "$program" "$in/photo1.jpg" "$in/photo2.jpg" "$in/photo3.jpg" "$in/song.wav" > "$in/window.log" 2>&1 & pid=$!
  for i in $(seq 300); do
    wid=$(xdotool search --name "Zemo Pixaroll Free Ver" 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "${wid:-}" ] || { echo "FAIL: no window"; cat "$in/window.log"; kill $pid; exit 1; }
  sleep 1
  ini=$HOME/.config/zemopixaroll.ini
  grep -q "^videosize=1920x1080" "$ini" || { echo "FAIL: the first run did not choose 1920x1080"; cat "$ini"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$wid"; xdotool key --window "$wid" alt+s
  for i in $(seq 150); do
    preview=$(xdotool search --name "^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]" 2>/dev/null | head -n 1) && [ -n "$preview" ] && break
    sleep 0.2
  done
  [ -n "${preview:-}" ] || { echo "FAIL: no preview window"; kill $pid; exit 1; }
  eval "$(xdotool getwindowgeometry --shell "$wid" | sed "s/^/main_/")"
  eval "$(xdotool getwindowgeometry --shell "$preview" | sed "s/^/pre_/")"
  echo "main window ${main_WIDTH}x${main_HEIGHT}+${main_X}+${main_Y}, preview ${pre_WIDTH}x${pre_HEIGHT}+${pre_X}+${pre_Y}"
  if [ $((pre_X + pre_WIDTH)) -gt "$main_X" ] && [ "$pre_X" -lt $((main_X + main_WIDTH)) ] &&
     [ $((pre_Y + pre_HEIGHT)) -gt "$main_Y" ] && [ "$pre_Y" -lt $((main_Y + main_HEIGHT)) ]; then
    echo "FAIL: the preview lies over the main window"; kill $pid; exit 1
  fi
  # The end of the run: the preview goes away.
  for i in $(seq 1800); do
    xdotool search --name "^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]" >/dev/null 2>&1 || break
    sleep 0.2
  done
  sleep 1
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
  exit 0
' "$program" "$work/in"
video=$(ls "$HOME"/pixaroll/*.mp4 2>/dev/null | head -n 1)
[ -n "$video" ] || { echo "FAIL: no video in $HOME/pixaroll"; exit 1; }
streams=$(ffprobe -v error -show_entries stream=codec_name,width,height,channels -of csv=p=0 "$video")
echo "$video: $(echo $streams)"
echo "$streams" | grep -qx "h264,1920,1080" || { echo "FAIL: not 1920x1080 H.264"; exit 1; }
echo "$streams" | grep -qx "aac,2" || { echo "FAIL: no stereo AAC sound"; exit 1; }
errors=$(ffmpeg -nostdin -v error -i "$video" -f null - 2>&1 | head -n 3)
[ -z "$errors" ] || { echo "FAIL: decoding gave errors: $errors"; exit 1; }
scripts/check-browser-playback.sh --files "$video"
echo "OK: the first run made a 1920x1080 H.264 video in stereo that Chromium shows"
