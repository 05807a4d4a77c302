#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets:
# both programs, readme.txt next to the window program (where its "I need
# help!" looks when the current directory has none), the desktop entry and
# its icon; then runs both installed programs.
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
cmp -s "$source/readme.txt" "$prefix/bin/readme.txt" || fail "bin/readme.txt is missing or differs from readme.txt"
desktop=$prefix/share/applications/tagshift.desktop
[ -f "$desktop" ] || fail "the desktop entry is missing"
grep -qx 'Exec=tagshift' "$desktop" || fail "the desktop entry does not start tagshift"
grep -qx 'Icon=tagshift' "$desktop" || fail "the desktop entry names another icon"
[ -s "$prefix/share/icons/hicolor/scalable/apps/tagshift.svg" ] || fail "the icon is missing"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi

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
