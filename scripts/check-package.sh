#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: lintian finds no error, the
# desktop entry and the AppStream metadata validate, apt installs it with what it needs, the
# installed pixaroll-cli renders the demo, a .pixaroll project is of the project type the desktop
# entry opens, its manual page shows, and it removes cleanly.
#   scripts/check-package.sh [BUILD_DIR]   (default build, reused when it exists)
# Installs and removes the package "pixaroll" on this machine: root, or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
fail() { echo "check-package: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' pixaroll 2>/dev/null | grep -q 'install ok installed'; then
  fail "the package pixaroll is installed already; remove it first (apt-get remove pixaroll)"
fi

deb=$(scripts/build-package.sh "$build")
echo "package: $deb"
work=$(mktemp -d "${TMPDIR:-/tmp}/pixaroll-package-XXXXXX")
installed=0
cleanup() {
  [ "$installed" = 1 ] && $SUDO apt-get remove --purge -y -qq pixaroll >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# Warnings are shown; an error fails. (As root lintian only notes that it should not be.)
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$report" || true
[ "$status" = 0 ] || fail "lintian reports errors"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/zemopixaroll.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml || fail "AppStream metadata"
projectType=application/x-pixaroll-project
grep -q "^MimeType=.*$projectType;" "$work/root/usr/share/applications/zemopixaroll.desktop" ||
  fail "the desktop entry does not open $projectType"
mimeFile=$work/root/usr/share/mime/packages/zemopixaroll.xml
[ -f "$mimeFile" ] || fail "no shared MIME info in the package (share/mime/packages/zemopixaroll.xml)"
# The database compiles from it alone, warning about nothing.
mimeCheck=$work/mime-check/share
mkdir -p "$mimeCheck/mime/packages" && cp "$mimeFile" "$mimeCheck/mime/packages/"
mimeReport=$(XDG_DATA_HOME="$mimeCheck" XDG_DATA_DIRS="$mimeCheck" update-mime-database "$mimeCheck/mime" 2>&1) ||
  fail "update-mime-database: $mimeReport"
[ -z "$mimeReport" ] || fail "update-mime-database: $mimeReport"
grep -q "^$projectType\$" "$mimeCheck/mime/types" || fail "$projectType is not in the compiled database"

$SUDO apt-get install -y -qq "$deb" >/dev/null || fail "apt-get cannot install $deb"
installed=1
[ -x /usr/bin/pixaroll ] && [ -x /usr/bin/pixaroll-cli ] || fail "the programs are not in /usr/bin"
/usr/bin/pixaroll --version | grep -q "^Zemo Pixaroll " || fail "pixaroll --version"
/usr/bin/pixaroll-cli --version | grep -q "^Zemo Pixaroll " || fail "pixaroll-cli --version"

mkdir "$work/demo"
(cd "$work" && /usr/bin/pixaroll-cli demo "$work/demo" --quiet) || fail "the installed pixaroll-cli cannot render the demo"
video=$(ls "$work"/demo/*.mp4)
if command -v ffprobe >/dev/null; then
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$video")
  [ "${frames:-0}" -gt 0 ] || fail "the demo video has no frames"
  echo "demo: $video ($frames frames)"
fi

# A project saved by the installed program is of the project type, by its name and by its content;
# the type is asked of the shared MIME database as a desktop asks it (xdg-mime on a desktop without
# one of its own asks file(1), which knows no desktop's types).
(cd "$work" && /usr/bin/pixaroll-cli project save "$work/show.pixaroll" --pictures missing.jpg >/dev/null 2>&1) ||
  fail "the installed pixaroll-cli cannot save a project"
cp "$work/show.pixaroll" "$work/show-without-extension"
for file in show.pixaroll show-without-extension; do
  type=$(XDG_DATA_HOME="$work/data-home" XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$work/$file")
  [ "$type" = "$projectType" ] || fail "xdg-mime query filetype $file gives \"$type\", not $projectType"
done
echo "project type: $projectType"

page=$(MANPAGER=cat MANWIDTH=80 man pixaroll-cli 2>&1) || fail "man pixaroll-cli: $page"
grep -q "pixaroll-cli render" <<<"$page" || fail "the manual page of pixaroll-cli lacks its commands"
MANPAGER=cat man pixaroll >/dev/null || fail "man pixaroll"

$SUDO apt-get remove --purge -y -qq pixaroll >/dev/null || fail "apt-get cannot remove pixaroll"
installed=0
left=$(ls -d /usr/bin/pixaroll* /usr/share/man/man1/pixaroll* /usr/share/doc/pixaroll \
       /usr/share/bash-completion/completions/pixaroll* /usr/share/metainfo/*Pixaroll* \
       /usr/share/mime/packages/zemopixaroll.xml 2>/dev/null || true)
[ -z "$left" ] || fail "left behind after removal: $left"
grep -q "^$projectType\$" /usr/share/mime/types && fail "the MIME database still has $projectType after removal"
dpkg-query -W -f='${Status}' pixaroll 2>/dev/null | grep -q 'installed' && fail "dpkg still lists pixaroll"
echo "check-package: all checks passed"
