#!/usr/bin/env bash
# Pictures the main window as a first run shows it, for the README.
#   scripts/screenshot.sh [OUT.png] [PROGRAM]   (defaults: docs/window.png, build/app/window/pixaroll)
# Runs offscreen with a throw-away settings folder, so the real settings are never touched; the
# home folder shown is a made-up /home/user (nothing is created there).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/window.png}
program=${2:-build/app/window/pixaroll}
mkdir -p "$(dirname "$out")"
home=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-shot-XXXXXX")
trap 'rm -rf "$home"' EXIT
HOME=/home/user XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen "$program" --screenshot "$out"
echo "$out"
