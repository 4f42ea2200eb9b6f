#!/usr/bin/env bash
# Renders a short slideshow in every container row and opens each file in headless Chromium:
# the video element must report the frame size, and the frame drawn to a canvas after seeking to
# the middle must match ffmpeg's decode of the same moment (mean difference within a few levels).
# The rows of today's codecs must pass; the classic rows are listed with what the browser does
# with them. Besides the rows, the video render makes without any choice (H.264 at 1920x1080)
# and the demo (H.264 at 1280x720 with motion and captions) must play, and a show whose held
# pictures are written once ("held": two pictures, H.264) must show the right picture after seeks
# to five points: the fade in, inside the first hold, the transition, inside the second hold
# after it (no frame is written there: the seek must find the one before) and the fade out.
# Exits 0 when every video
# that must play does, 1 otherwise; without chromium it says so and exits 0.
#   scripts/check-browser-playback.sh [path/to/pixaroll-cli]
#   scripts/check-browser-playback.sh --files VIDEO...   checks videos made elsewhere (the window's,
#                                                        say): every one must play
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
given=()
if [ "${1:-}" = "--files" ]; then
  shift
  given=("$@")
  [ ${#given[@]} -gt 0 ] || { echo "check-browser-playback: --files needs at least one video"; exit 2; }
  cli=/bin/true
else
  cli=${1:-$here/build/cli/pixaroll-cli}
fi
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "check-browser-playback: skipped, chromium is not installed"
  exit 0
fi
[ -x "$cli" ] || { echo "check-browser-playback: no $cli (build first)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-browser-XXXXXX")
server_pid=""; browser_pid=""
cleanup() {
  [ -z "$browser_pid" ] || kill "$browser_pid" 2>/dev/null || true
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# One picture held 2 s: the middle of the video is the held picture. The tone is shorter than
# the video, so the middle of the file is the middle of the pictures.
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=640x480 -frames:v 1 "$work/picture.png"
ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=2 -ac 2 "$work/tone.wav"
rows=(mp4 swf flv wmv mov mp4-h264 mp4-hevc webm-vp9 webm-av1)
must_play=(mp4-h264 webm-vp9 webm-av1 default demo held)
declare -A seeks_of
declare -A size_of
mkdir "$work/www"
files=()
if [ ${#given[@]} -gt 0 ]; then
  rows=(); must_play=()
  for i in "${!given[@]}"; do
    row="video$i"
    ext=${given[$i]##*.}
    cp "${given[$i]}" "$work/www/$row.$ext"
    files+=("$row.$ext"); rows+=("$row"); must_play+=("$row")
    size_of[$row]=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "${given[$i]}")
    echo "$row: ${given[$i]} (${size_of[$row]})"
  done
fi
for row in "${rows[@]}"; do
  [ ${#given[@]} -eq 0 ] || break
  size_of[$row]=320x240
  mkdir "$work/$row"
  file=$("$cli" render --pictures "$work/picture.png" --audio "$work/tone.wav" --out-dir "$work/$row" \
         --format "$row" --size 320x240 --hold 2 --transition 0.5 --preset fast --sequential --quiet 2>/dev/null | tail -n 1)
  ext=${file##*.}
  cp "$file" "$work/www/$row.$ext"
  files+=("$row.$ext")
done
# What a newcomer gets: render with no choice but the pictures, song and times.
if [ ${#given[@]} -eq 0 ]; then
mkdir "$work/default"
file=$("$cli" render --pictures "$work/picture.png" --audio "$work/tone.wav" --out-dir "$work/default" \
       --hold 2 --transition 0.5 --sequential --quiet 2>/dev/null | tail -n 1)
cp "$file" "$work/www/default.mp4"
files+=(default.mp4); size_of[default]=1920x1080
# The showcase: "PATH (N frames)".
mkdir "$work/demo"
file=$("$cli" demo "$work/demo" --quiet 2>/dev/null | tail -n 1)
cp "${file% (*}" "$work/www/demo.mp4"
files+=(demo.mp4); size_of[demo]=1280x720
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=640x480 -vf negate -frames:v 1 "$work/second.png"
mkdir "$work/held"
file=$("$cli" render --pictures "$work/picture.png" "$work/second.png" --audio "$work/tone.wav" --out-dir "$work/held" \
       --format mp4-h264 --size 320x240 --hold 2 --transition 0.5 --preset fast --sequential --quiet 2>/dev/null | tail -n 1)
cp "$file" "$work/www/held.mp4"
files+=("held.mp4@0.25@1.5@2.75@3.6@5.2"); size_of[held]=320x240
rows+=(default demo held)
fi

cat > "$work/www/index.html" <<'HTML'
<!doctype html><html><body><video id="v" muted preload="auto"></video><canvas id="c"></canvas>
<script>
const files = location.hash.slice(1).split(",");
const v = document.getElementById("v"), c = document.getElementById("c");
function post(path, body) { return fetch(path, {method: "POST", body: body}); }
function once(name, ms) {
  return new Promise((ok, fail) => {
    const t = setTimeout(() => fail(new Error("no " + name + " within " + ms + " ms")), ms);
    v.addEventListener(name, () => { clearTimeout(t); ok(); }, {once: true});
    v.addEventListener("error", () => { clearTimeout(t); fail(new Error("media error " + (v.error ? v.error.code : "?"))); }, {once: true});
  });
}
// "name.ext" is checked at the middle; "name.ext@T1@T2..." at each of those seconds.
async function check(entry) {
  const parts = entry.split("@"), file = parts[0];
  const times = parts.slice(1).map(Number);
  let count = Math.max(1, times.length);
  for (let k = 0; k < count; ++k) {
    const info = {file: file, seek: k, width: 0, height: 0, time: -1, error: ""};
    try {
      if (k === 0) {
        v.src = file;
        await once("loadedmetadata", 8000);
      }
      info.width = v.videoWidth; info.height = v.videoHeight;
      if (!info.width) throw new Error("no picture (0x0), sound only");
      v.currentTime = times.length ? times[k] : v.duration / 2;
      await once("seeked", 8000);
      await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));
      info.time = v.currentTime;
      c.width = info.width; c.height = info.height;
      const g = c.getContext("2d", {willReadFrequently: true});
      g.drawImage(v, 0, 0);
      await post("/pixels?file=" + encodeURIComponent(file + "#" + k), g.getImageData(0, 0, c.width, c.height).data);
    } catch (e) { info.error = String(e.message || e); count = k + 1; }
    await post("/result", JSON.stringify(info));
  }
}
(async () => { for (const f of files) await check(f); await post("/done", ""); })();
</script></body></html>
HTML

# A small server: the files, and the endpoints the page posts its findings to. It compares
# each canvas with ffmpeg's decode of the same moment and writes one line per row.
cat > "$work/server.py" <<'PY'
import http.server, json, subprocess, sys, os, urllib.parse, threading
root, report = sys.argv[1], sys.argv[2]
pixels = {}
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **k): super().__init__(*a, directory=root, **k)
    def log_message(self, *a): pass
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        url = urllib.parse.urlparse(self.path)
        if url.path == "/pixels":
            pixels[urllib.parse.parse_qs(url.query)["file"][0]] = body
        elif url.path == "/result":
            info = json.loads(body)
            info["diff"] = -1
            if not info["error"]:
                # The moment as a player at 30 frames a second shows it (a picture written once
                # lasts until the next one), the frame before and after included: the browser's
                # time may fall either side of a frame's start.
                start = max(0.0, info["time"] - 0.034)
                raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", os.path.join(root, info["file"]),
                                      "-vf", "fps=30", "-ss", "%.4f" % start, "-frames:v", "3", "-f", "rawvideo",
                                      "-pix_fmt", "rgba", "-"], capture_output=True).stdout
                canvas = pixels.get(info["file"] + "#" + str(info["seek"]), b"")
                size = len(canvas)
                if size and raw and len(raw) % size == 0:
                    best = -1
                    for f in range(len(raw) // size):
                        frame = raw[f * size:(f + 1) * size]
                        total = sum(abs(a - b) for i, (a, b) in enumerate(zip(frame, canvas)) if i % 4 != 3)
                        d = total / (size * 3 / 4)
                        best = d if best < 0 else min(best, d)
                    info["diff"] = best
                else:
                    info["error"] = "canvas of %d bytes, ffmpeg frames of %d" % (size, len(raw))
            with open(report, "a") as f:
                f.write(json.dumps(info) + "\n")
        elif url.path == "/done":
            open(report + ".done", "w").close()
        self.send_response(204); self.end_headers()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
python3 "$work/server.py" "$work/www" "$work/report" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/port")
list=$(IFS=,; echo "${files[*]}")
mkdir "$work/profile"
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --autoplay-policy=no-user-gesture-required \
  --user-data-dir="$work/profile" "http://127.0.0.1:$port/index.html#$list" >/dev/null 2>&1 &
browser_pid=$!
for _ in $(seq 600); do [ -e "$work/report.done" ] && break; sleep 0.1; done
[ -e "$work/report.done" ] || echo "check-browser-playback: chromium did not finish within 60 s"

status=0
echo "row          frame size  canvas vs ffmpeg  result"
for row in "${rows[@]}"; do
  lines=$(grep "\"file\": \"$row\." "$work/report" 2>/dev/null || true)
  must=no; for m in "${must_play[@]}"; do [ "$m" = "$row" ] && must=yes; done
  # Every seek of the row: the largest difference, the first error.
  read -r size diff error < <(python3 -c '
import json, sys
rows = [json.loads(l) for l in sys.argv[1].splitlines() if l.strip()]
if not rows: print("- -1 no answer from the page"); sys.exit()
bad = [r for r in rows if r["error"]]
worst = max(rows, key=lambda r: r["diff"])
i = bad[0] if bad else worst
text = i["error"] or "-"
if not bad and len(rows) > 1: text = "-"
print("%dx%d" % (i["width"], i["height"]), "%.2f" % (i["diff"] if not bad else -1), text)' "$lines")
  if [ "$error" = "-" ] && python3 -c "import sys; sys.exit(0 if 0 <= float('$diff') <= 4 else 1)" && [ "$size" = "${size_of[$row]}" ]; then
    verdict="plays: picture matches"
  elif [ "$error" = "-" ]; then
    verdict="plays, but the picture differs"
  else
    verdict="not shown: $error"
  fi
  case "$row" in
    mp4-hevc) note=" (Chromium shows HEVC only through a hardware decoder; Safari, phones and TVs play it)";;
    held) note=" (at each of 5 seeks)";;
    *) note="";;
  esac
  printf '%-12s %-11s %-17s %s%s\n' "$row" "$size" "$diff" "$verdict" "$note"
  if [ "$must" = yes ] && [ "$verdict" != "plays: picture matches" ]; then status=1; fi
done
exit "$status"
