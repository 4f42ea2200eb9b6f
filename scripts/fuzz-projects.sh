#!/usr/bin/env bash
# Hostile projects and options for pixaroll-cli, generated from a seed (the same seed makes the
# same runs): mutated slides (missing files, a named pipe, a folder, a device, damaged pictures,
# clips with in and out points of every kind), soundtracks (damaged, cut short, several, looped),
# motion, captions, sizes and rates. Each run goes to project show, frames or render and must
#   - end by itself (a timeout is a failure: something hangs),
#   - not crash, and not be stopped by a sanitizer (status 86 in the sanitizer build),
#   - when it ends with status 0 after render, leave a video that plays (ffprobe reads frames),
#   - when it fails, say so in words that name a file, a key or an option.
#
#   scripts/fuzz-projects.sh [--cli PATH] [--runs N] [--seed S] [--keep DIR]
#
# The defaults (a few hundred runs) take a minute or two; ./test runs them (a CTest test).
# The projects' output values (hold, transition, frame rate and size) are mutated into hostile
# ones too; PIXAROLL_FUZZ_OUTPUT_VALUES=0 leaves them valid.
set -uo pipefail

cli=""
runs=200
seed=1
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2;;
    --runs) runs=$2; shift 2;;
    --seed) seed=$2; shift 2;;
    --keep) keep=$2; shift 2;;
    *) echo "unknown argument $1" >&2; exit 2;;
  esac
done
[ -n "$cli" ] || cli="$(cd "$(dirname "$0")/.." && pwd)/build/cli/pixaroll-cli"
[ -x "$cli" ] || { echo "no pixaroll-cli at $cli" >&2; exit 2; }
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || { echo "ffmpeg and ffprobe are needed" >&2; exit 2; }

if [ -n "$keep" ]; then
  work=$keep; mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-fuzz-XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
media=$work/media
mkdir -p "$media" "$work/runs"
export TMPDIR=$work # whatever a run leaves in the temporary folder goes with the rest
# Qt's runtime folder: a private one, as a desktop session has.
mkdir -p -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

# --- The inputs, made once -----------------------------------------------------------------
make() { ffmpeg -nostdin -v error -y "$@" || { echo "cannot make test input: $*" >&2; exit 2; }; }
make -f lavfi -i testsrc=size=96x64:duration=0.1 -frames:v 1 "$media/a.jpg"
make -f lavfi -i testsrc2=size=64x96:duration=0.1 -frames:v 1 "$media/b.png"
make -f lavfi -i smptebars=size=80x60:duration=0.1 -frames:v 1 "$media/c.bmp"
make -f lavfi -i testsrc=size=64x48:rate=10:duration=1.5 -f lavfi -i sine=duration=1.5 -c:v mpeg4 -c:a aac -shortest "$media/clip.mp4"
make -f lavfi -i sine=frequency=440:duration=2 "$media/song.wav"
make -f lavfi -i sine=frequency=660:duration=3 -c:a libmp3lame "$media/song.mp3"
head -c 2000 "$media/song.mp3" > "$media/cut.mp3"
head -c 3000 "$media/clip.mp4" > "$media/cutclip.mp4"
head -c 900 "$media/a.jpg" > "$media/cut.jpg"
printf 'these are not pictures\n' > "$media/notes.jpg"
printf 'RIFF' > "$media/bad.wav"
mkdir -p "$media/folder.jpg"
rm -f "$media/pipe.jpg" "$media/pipe.mp4"
mkfifo "$media/pipe.jpg" "$media/pipe.mp4"

RANDOM=$seed
# The values come from one generator that never runs in a subshell (a subshell would take the
# numbers with it): pick sets REPLY.
pick() {
  local name=$1
  [ $((RANDOM % 16)) = 0 ] && declare -p "bad${name^}" >/dev/null 2>&1 && name="bad${name^}"
  local -n list=$name
  REPLY=${list[RANDOM % ${#list[@]}]}
}

# Each value comes from its good list, and now and then (one in sixteen) from its bad one: most
# projects get past the loading and reach the frames, the clips, the music and the encoder.
pictures=("$media/a.jpg" "$media/b.png" "$media/c.bmp" "$media/clip.mp4" "$media/clip.mp4" "../media/b.png")
badPictures=("$media/cutclip.mp4" "$media/cut.jpg" "$media/notes.jpg" "$media/folder.jpg" "$media/pipe.jpg"
             "$media/pipe.mp4" "/dev/null" "$media/missing.jpg" "")
songs=("$media/song.wav" "$media/song.mp3" "$media/song.wav")
badSongs=("$media/cut.mp3" "$media/bad.wav" "$media/missing.mp3" "$media/pipe.mp4" "$media/clip.mp4" "$media/folder.jpg")
holds=(0 0.1 0.3 1 '"0.4"')
badHolds=(2.5 -1 '"x"' null '[]' 99999)
clipPoints=(0.2 0.5 1 1.4 1.5 2 9)
badClipPoints=(0 -1 '"1"' null)
sounds=('"mix"' '"mute"' '"alone"')
badSounds=('"loud"' 3)
effects=(1 5 60 176 '"random"')
badEffects=(0 177 -3 '"x"')
motions=('"off"' '"zoom-in"' '"zoom-out"' '"pan"' '"random"')
badMotions=('"spin"' 7)
captions=('"Hello"' '"A caption long enough to wrap over the frame twice at least"' '"\u00e9t\u00e9 \u263a"')
badCaptions=('""' 5)
sizes=('"64x48"' '"96x64"' '"32x32"' '"66x50"')
rates=('"10:1"' '"5:1"' '"25:2"')
outputHolds=(0 0.1 0.3 1 '"0.4"')
if [ "${PIXAROLL_FUZZ_OUTPUT_VALUES:-1}" = 1 ]; then
  badSizes=('"x"' '"0x0"' '"2x2"' '"65536x2"' '"99999999999x5"' 5)
  badRates=('"x"' '"0:0"' '"1:0"' '"30000:1001"' 30)
  badOutputHolds=(-1 '"x"' '""' null 1e12 '"1e12"' 1e308 4294967296)
fi

# A slide: a picture and some of the slide's own keys, into SLIDE.
slide() {
  pick pictures
  SLIDE="{\"picture\": \"$REPLY\""
  if [ $((RANDOM % 3)) = 0 ]; then pick holds; SLIDE+=", \"hold\": $REPLY"; fi
  if [ $((RANDOM % 4)) = 0 ]; then pick effects; SLIDE+=", \"effect\": $REPLY"; fi
  if [ $((RANDOM % 4)) = 0 ]; then pick captions; SLIDE+=", \"caption\": $REPLY"; fi
  if [ $((RANDOM % 5)) = 0 ]; then pick motions; SLIDE+=", \"motion\": {\"style\": $REPLY}"; fi
  if [ $((RANDOM % 3)) = 0 ]; then
    local parts=""
    if [ $((RANDOM % 2)) = 0 ]; then pick clipPoints; parts+="\"in\": $REPLY"; fi
    if [ $((RANDOM % 2)) = 0 ]; then pick clipPoints; parts+="${parts:+, }\"out\": $REPLY"; fi
    if [ $((RANDOM % 3)) = 0 ]; then pick sounds; parts+="${parts:+, }\"sound\": $REPLY"; fi
    SLIDE+=", \"clip\": {$parts}"
  fi
  SLIDE+="}"
}

# A whole project, into PROJECT.
project() {
  local n=$((1 + RANDOM % 4)) t=$((RANDOM % 3)) slides="" tracks="" k
  for ((k = 0; k < n; ++k)); do slide; slides+="${slides:+, }$SLIDE"; done
  for ((k = 0; k < t; ++k)); do pick songs; tracks+="${tracks:+, }{\"file\": \"$REPLY\"}"; done
  PROJECT='{"format": "pixaroll-project", "version": 1,'$'\n'' "output": {'
  pick sizes; PROJECT+="\"frameSize\": $REPLY"
  pick rates; PROJECT+=", \"frameRate\": $REPLY"
  pick outputHolds; PROJECT+=", \"hold\": $REPLY"
  pick outputHolds; PROJECT+=", \"transition\": $REPLY"
  [ $((RANDOM % 3)) = 0 ] && PROJECT+=', "loopMusic": true'
  [ $((RANDOM % 4)) = 0 ] && PROJECT+=', "breakWhenNoPictures": true'
  [ $((RANDOM % 4)) = 0 ] && PROJECT+=', "fitToMusic": true'
  [ $((RANDOM % 5)) = 0 ] && PROJECT+=', "beats": true'
  if [ $((RANDOM % 4)) = 0 ]; then pick motions; PROJECT+=", \"motion\": $REPLY"; fi
  PROJECT+="},"$'\n'" \"slides\": [$slides],"$'\n'" \"soundtracks\": [$tracks]}"
}

# Options that go beside the project, on the command line: for frames and render, and for
# render only.
options=("" "" "" "--clip-in 2=0.5" "--clip-out 2=0" "--clip-out 1=1" "--clip-sound 2=alone" "--fit blur" "--fit fill"
         "--motion zoom-in" "--fit-to-music" "--beats" "--hold 0.2" "--transition 0" "--captions-date-taken"
         "--sort name" "--audio $media/song.wav $media/cut.mp3" "--audio $media/song.mp3")
renderOptions=("" "" "--loop-music" "--break-when-no-pictures" "--fade-out auto" "--loudness -16" "--mono")
formats=(mp4 mp4 flv mp4-h264 webm-vp9)

failures=0
fail() {
  failures=$((failures + 1))
  echo "FAIL run $1: $2"
  echo "  command: $3"
  echo "  project: $4"
  sed 's/^/  | /' "$5" | head -n 20
}

# Words an error must hold one of: a file it is about, a key, an option or a slide.
names_something() {
  local out=$1 project=$2
  grep -qF -- "$project" "$out" && return 0
  grep -qF -- "$media" "$out" && return 0
  # A choice that needs a soundtrack and has none names what is missing.
  grep -qF -- 'need a soundtrack' "$out" && return 0
  # A size the row's encoder cannot take is named with the size and the encoder.
  grep -qE -- 'the frame size [0-9-]+x[0-9-]+ ' "$out" && return 0
  grep -qE -- '(--[a-z-]+|slide [0-9]+|Slide [0-9]+|soundtrack [0-9]+|picture [0-9]+|output\.|"[a-zA-Z.]+"|/dev/null|\.(jpg|png|bmp|mp4|mp3|wav))' "$out"
}

start=$(date +%s)
for ((run = 1; run <= runs; ++run)); do
  file=$work/runs/p$run.pixaroll
  project
  printf '%s\n' "$PROJECT" > "$file"
  out=$work/runs/out$run
  pick options
  read -r -a more <<< "$REPLY"
  case $((RANDOM % 6)) in
    0) command=(project show "$file"); more=();;
    1|2|3) command=(frames --every 0 --project "$file");;
    *) pick formats; format=$REPLY
       pick sizes; size=${REPLY//\"/}
       pick renderOptions; read -r -a also <<< "$REPLY"
       more+=("${also[@]}")
       command=(render --quiet --project "$file" --out-dir "$out" --format "$format" --size "$size" --rate 10:1);;
  esac
  log=$work/runs/log$run
  timeout 60 "$cli" "${command[@]}" "${more[@]}" > "$log" 2>&1
  status=$?
  shown="${command[*]} ${more[*]}"
  case $status in
    0)
      if [ "${command[0]}" = render ]; then
        video=$(grep -v '^pixaroll-cli' "$log" | tail -n 1)
        frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
                   -of csv=p=0 "$video" 2>/dev/null)
        [ -n "$frames" ] && [ "$frames" -gt 0 ] 2>/dev/null ||
          fail "$run" "ended with status 0 without a playable video ($video)" "$shown" "$file" "$log"
      fi;;
    1|2)
      names_something "$log" "$file" || fail "$run" "failed without naming a file, key or option" "$shown" "$file" "$log";;
    124) fail "$run" "did not end within 60 s" "$shown" "$file" "$log";;
    86) fail "$run" "stopped by the sanitizer" "$shown" "$file" "$log";;
    *) fail "$run" "ended with status $status" "$shown" "$file" "$log";;
  esac
  rm -rf "$out"
done
# Nothing left in the temporary folder but this script's own.
leftovers=$(find "$work" -mindepth 1 -maxdepth 1 ! -name media ! -name runs ! -name runtime | head -n 5)
if [ -n "$leftovers" ]; then
  echo "FAIL: the runs left files in the temporary folder:"; echo "$leftovers"
  failures=$((failures + 1))
fi
echo "fuzz: $runs runs from seed $seed in $(( $(date +%s) - start )) s, $failures failure(s)"
[ "$failures" = 0 ]
