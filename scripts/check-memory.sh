#!/usr/bin/env bash
# Runs the command-line program and the lower-level test programs under valgrind's memcheck and
# fails when any of them reads or writes memory it must not, or loses memory for good.
#   scripts/check-memory.sh            build (build/) and check everything
#   scripts/check-memory.sh --no-build check the programs already built in build/
# Slow (about a minute on top of the build): it is not part of ./test. Exit status 0 = clean,
# 1 = a finding, 2 = the checks could not run. After a failing run the logs of every program stay
# in the folder it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
targets=(pixaroll-cli medialib_tests frameinput_tests engine_tests app_tests app_output_tests)

if [ "${1:-}" != "--no-build" ]; then
  ./scripts/install-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target "${targets[@]}"
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed (scripts/install-deps.sh)" >&2; exit 2; }
cli=$build/cli/pixaroll-cli
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-memcheck-XXXXXX")
keep_logs=0
cleanup() { [ "$keep_logs" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

# Definite leaks count as errors; "possibly lost" and "still reachable" blocks are the
# libraries' own process-lifetime caches (dynamic linker, fontconfig, FFmpeg's static tables).
vg=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --keep-debuginfo=yes
    --errors-for-leak-kinds=definite --error-exitcode=99 --num-callers=30
    --suppressions="$root/tests/valgrind.supp")
export QT_QPA_PLATFORM=offscreen

failures=()
# check NAME EXPECTED_STATUS COMMAND...: runs COMMAND under memcheck; the program's own exit
# status must be EXPECTED_STATUS and memcheck must have found nothing.
check() {
  local name=$1 expected=$2; shift 2
  local log=$work/$name.log status=0
  printf '%-28s' "$name"
  "${vg[@]}" --log-file="$log" "$@" >"$work/$name.out" 2>&1 || status=$?
  if [ "$status" = 99 ] || grep -q "definitely lost: [1-9]" "$log" ||
     ! grep -q "ERROR SUMMARY: 0 errors" "$log"; then
    echo "MEMORY ERRORS (see $log)"
    failures+=("$name")
  elif [ "$status" != "$expected" ]; then
    echo "exit status $status, expected $expected (see $work/$name.out)"
    failures+=("$name")
  else
    echo "clean"
  fi
}

# Inputs: two small pictures (JPEG and BMP), one JPEG cut in half, one short clip with sound.
ff=(ffmpeg -v error -y)
"${ff[@]}" -f lavfi -i testsrc=size=320x240 -frames:v 1 "$work/one.jpg"
"${ff[@]}" -f lavfi -i smptebars=size=200x150 -frames:v 1 -pix_fmt bgr24 "$work/two.bmp"
size=$(stat -c %s "$work/one.jpg")
head -c $((size / 2)) "$work/one.jpg" >"$work/half.jpg"
"${ff[@]}" -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 \
  -t 1 -c:v mpeg4 -c:a pcm_s16le "$work/clip.avi"

render=(render --size 160x120 --rate 25:1 --hold 0.4 --transition 0.4 --seed 3)
check render-two-pictures 0 "$cli" "${render[@]}" --pictures "$work/one.jpg" "$work/two.bmp" --out-dir "$work/out"
check render-broken-picture 1 "$cli" "${render[@]}" --pictures "$work/one.jpg" "$work/half.jpg" --out-dir "$work/out"
check transcode 0 "$cli" transcode "$work/clip.avi" "$work/clip.mp4" -vcodec mpeg4 -s 80x60 -r 10 -an
check transcode-missing-input 1 "$cli" transcode "$work/nothing.avi" "$work/nothing.mp4"

for t in medialib_tests frameinput_tests engine_tests app_tests app_output_tests; do
  bin=$(find "$build/tests" -name "$t" -type f -perm -u+x | head -n 1)
  [ -n "$bin" ] || { echo "no $t in $build: build first" >&2; exit 2; }
  check "$t" 0 "$bin" --gtest_brief=1
done

if [ ${#failures[@]} -gt 0 ]; then
  keep_logs=1
  echo "memory check failed: ${failures[*]} (logs in $work)"
  exit 1
fi
echo "memory check passed"
