#!/usr/bin/env bash
# Pictures the main window with its player pane for the README.
#   scripts/player-screenshot.sh [OUT.png] [PROGRAM]   (defaults: docs/player.png, build/app/window/pixaroll)
# Four pictures drawn by ffmpeg's test sources in a throw-away folder, the player shown; offscreen
# with a throw-away settings folder, so the real settings are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/player.png}
program=${2:-build/app/window/pixaroll}
mkdir -p "$(dirname "$out")"
work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-player-shot-XXXXXX")
trap 'rm -rf "$work"' EXIT
n=0
for source in testsrc2 smptehdbars mandelbrot rgbtestsrc; do
  n=$((n + 1))
  ffmpeg -v error -f lavfi -i "$source=size=1280x720" -frames:v 1 "$work/picture-$n.jpg"
done
mkdir -p "$work/home"
cli=${program%/app/window/pixaroll}/cli/pixaroll-cli
[ -x "$cli" ] || cli=build/cli/pixaroll-cli
"$cli" project save "$work/show.pixaroll" --pictures "$work"/picture-*.jpg --size 1280x720 --fit blur \
  --motion zoom-in --hold 3 --transition 1 >/dev/null
HOME=$work/home XDG_CONFIG_HOME=$work/.config QT_QPA_PLATFORM=offscreen \
  "$program" --player --screenshot "$out" "$work/show.pixaroll"
echo "$out"
