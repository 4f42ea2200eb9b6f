#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail
pkgs=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev
      libavcodec-dev libavformat-dev libavfilter-dev libswscale-dev libswresample-dev
      libavdevice-dev libavutil-dev libjpeg62-turbo-dev libpng-dev libpixman-1-dev libaubio-dev libgtest-dev libbenchmark-dev
      libexif-dev fonts-dejavu-core fonts-noto-core
      libopencv-core-dev libopencv-imgproc-dev libopencv-objdetect-dev opencv-data
      ffmpeg valgrind xvfb xauth xdotool chromium pulseaudio pulseaudio-utils
      dpkg-dev file lintian appstream desktop-file-utils man-db)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
