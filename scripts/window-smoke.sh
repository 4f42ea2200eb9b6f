#!/usr/bin/env bash
# Starts the window on a virtual display with a fresh home folder, checks its caption and its
# settings file, then closes it through Exit and Yes, as a user would.
#   scripts/window-smoke.sh [PROGRAM]     (default: build/app/window/pixaroll)
# Needs xvfb-run and xdotool (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/app/window/pixaroll}")
home=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-smoke-XXXXXX")
trap 'rm -rf "$home"' EXIT
export HOME=$home
unset XDG_CONFIG_HOME QT_QPA_PLATFORM
xvfb-run -a bash -c '
  set -u
  "$0" & pid=$!
  for i in $(seq 50); do
    wid=$(xdotool search --name "^Zemo Pixaroll Free Ver" 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "${wid:-}" ] || { echo "FAIL: no window"; kill $pid; exit 1; }
  echo "window: $(xdotool getwindowname "$wid")"
  [ -s "$HOME/.config/zemopixaroll.ini" ] || { echo "FAIL: no settings file"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$wid"; xdotool key --window "$wid" alt+e
  for i in $(seq 50); do
    box=$(xdotool search --name "^Warning$" 2>/dev/null | head -n 1) && [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "${box:-}" ] || { echo "FAIL: no close question"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$box"; xdotool key --window "$box" y
  for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
  if kill -0 $pid 2>/dev/null; then echo "FAIL: still running"; kill $pid; exit 1; fi
  grep -q "^PhotoDelay=5" "$HOME/.config/zemopixaroll.ini" || { echo "FAIL: delays not stored"; exit 1; }
  echo "OK: closed through Exit and Yes"
' "$program"
