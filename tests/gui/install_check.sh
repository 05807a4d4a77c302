#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets:
# both programs, readme.txt in share/tagshift (where "I need help!" looks
# after the current folder and the program's own), the desktop entry, its
# icons and metadata, the manual pages and the documents; then runs both
# installed programs, --help and --version without a display.
# Usage: install_check.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install failed"; }

for f in bin/tagshift bin/tagshift-convert; do
  [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
cmp -s "$source/readme.txt" "$prefix/share/tagshift/readme.txt" ||
  fail "share/tagshift/readme.txt is missing or differs from readme.txt"
[ ! -e "$prefix/bin/readme.txt" ] || fail "readme.txt is still installed into bin/"
desktop=$prefix/share/applications/tagshift.desktop
[ -f "$desktop" ] || fail "the desktop entry is missing"
# A folder handed to the entry reaches the command-line start; the entry
# never claims folders for itself.
grep -qx 'Exec=tagshift %f' "$desktop" || fail "the desktop entry does not start tagshift with the folder given"
! grep -q '^MimeType=.*inode/directory' "$desktop" || fail "the desktop entry would open every folder"
grep -qx 'Icon=tagshift' "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
icons=$prefix/share/icons/hicolor
[ -s "$icons/scalable/apps/tagshift.svg" ] || fail "the scalable icon is missing"
for size in 16 32 48 64 128 256; do
  # The width and height of the PNG's header.
  measured=$(perl -e 'open my $f, "<:raw", $ARGV[0] or exit; read $f, my $h, 24; printf "%dx%d", unpack "x16NN", $h' \
    "$icons/${size}x$size/apps/tagshift.png")
  [ "$measured" = "${size}x$size" ] || fail "the ${size}x$size icon is missing or measures '$measured'"
done
for f in share/metainfo/io.github.tagshift.Tagshift.metainfo.xml share/man/man1/tagshift.1.gz \
  share/man/man1/tagshift-convert.1.gz share/doc/tagshift/copyright share/doc/tagshift/changelog.gz \
  share/doc/tagshift/NEWS.md; do
  [ -s "$prefix/$f" ] || fail "$f is missing"
done
zcat "$prefix/share/man/man1/tagshift.1.gz" | grep -q -- '--version' || fail "tagshift.1 does not describe --version"

# --help and --version are answered before the window program needs a display.
(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tagshift" --version) >"$work/version.out" 2>&1 ||
  { cat "$work/version.out" >&2; fail "tagshift --version failed without a display"; }
version=$(sed -n 's/^project(tagshift VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$(cat "$work/version.out")" = "tagshift $version" ] || fail "tagshift --version says '$(cat "$work/version.out")'"
(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tagshift" --help) >"$work/help.out" 2>&1 ||
  fail "tagshift --help failed without a display"
grep -q '^Usage: tagshift \[FOLDER\]' "$work/help.out" || fail "tagshift --help printed no usage"

# The headless converter converts a copy of the sample site.
cp -r "$source/examples/sample-site" "$work/site"
"$prefix/bin/tagshift-convert" "$work/site" >"$work/convert.out" || fail "tagshift-convert failed"
[ -f "$work/site_Converted/converter_log.txt" ] || fail "tagshift-convert wrote no log"

# The window program starts from a folder without readme.txt, with a fresh
# home, and is still running (waiting on its window) when stopped: once on
# the disclaimer, once with the marker kept in the user's configuration
# straight on the main window.
mkdir -p "$work/home" "$work/elsewhere"
for marker in none config; do
  if [ "$marker" = config ]; then
    mkdir -p "$work/home/.config/tagshift"
    : >"$work/home/.config/tagshift/skip.col"
  fi
  status=0
  (cd "$work/elsewhere" && env -u XDG_CONFIG_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
    timeout 3 "$prefix/bin/tagshift") >"$work/run.out" 2>&1 || status=$?
  [ "$status" -eq 124 ] || { cat "$work/run.out" >&2; fail "tagshift ended by itself (status $status, marker: $marker)"; }
done
[ ! -e "$prefix/bin/skip.col" ] || fail "a start without a tick wrote a marker"
echo "install check: passed ($prefix)"
