#!/usr/bin/env bash
# Cross-builds the converter core, the headless converter, the window program
# tagshift.exe and their tests for 64-bit Windows with MinGW-w64, runs the
# tests under wine, checks that the Windows tagshift-convert.exe writes the
# same pages, script files and log lines as the Linux build on
# examples/sample-site, and drives tagshift.exe's windows under wine in a
# virtual screen (Xvfb, with openbox as the window manager).
# The build folder is $BUILD_DIR, default build/windows; the wine prefix lives
# inside it (or at $TAGSHIFT_WINEPREFIX) and is made afresh for every run. TAGSHIFT_SCREENSHOT=file.png also saves a picture of the main
# window there, TAGSHIFT_SCREENSHOT_FILE_TYPES=file.png one of its File types dialog.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The cross compiler, wine and its fonts, GoogleTest's sources, a virtual
# screen with a window manager (and for a screenshot xdotool and ImageMagick),
# from Debian.
want=(g++-mingw-w64-x86-64-posix libcli11-dev wine wine64 fonts-wine googletest cmake ninja-build g++ xvfb openbox x11-utils clang-tidy)
[ -z "${TAGSHIFT_SCREENSHOT:-}${TAGSHIFT_SCREENSHOT_FILE_TYPES:-}" ] || want+=(xdotool imagemagick)
missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}" >&2
  for try in 1 2 3 4 5 6 7 8 9 10; do  # another apt may hold the lock for a while
    if "${sudo[@]}" apt-get update -q >&2 &&
       DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2; then
      break
    fi
    [ "$try" -lt 10 ] || exit 1
    echo "apt failed (locked?); retrying in 30 s" >&2
    sleep 30
  done
fi

build=${BUILD_DIR:-build/windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
toolchain=$root/cmake/mingw-w64.cmake

# The wine prefix: inside the build folder unless TAGSHIFT_WINEPREFIX names
# one (it is made afresh there, whatever it held).
export WINEPREFIX=${TAGSHIFT_WINEPREFIX:-$build/wine-prefix}
case $WINEPREFIX in
  / | "$HOME" | "$HOME/.wine" | "$root" | "$build") echo "TAGSHIFT_WINEPREFIX=$WINEPREFIX: not a prefix of its own" >&2; exit 1 ;;
esac
export WINEDEBUG=-all
export LC_ALL=C.UTF-8  # wine reads and writes the file names as UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
# One wine server for the whole suite instead of one per test, and one
# virtual screen with its window manager for the windows, all stopped at the
# end however the script ends.
screen_pids=()
stop_all() {
  wineserver -k 2>/dev/null || true
  for pid in "${screen_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_all EXIT
# Every run starts from the same prefix, so that a second run gives what the
# first gave: what a run leaves in it (the skip marker in the profile, the
# screen's dpi, the code pages wine records for its fonts) never reaches the
# next. The prefix is made once for this wine, with the fonts wine draws its
# frames and boxes with (Marlett, Tahoma, from Debian's fonts-wine), kept
# untouched beside it and copied afresh for each run.
pristine=$WINEPREFIX.pristine
made_by="$(wine --version) $(dpkg-query -W -f='${Version}' fonts-wine 2>/dev/null || true)"
wineserver -k 2>/dev/null || true  # one left over from an interrupted run
rm -rf "$WINEPREFIX"
if [ ! -f "$pristine.made-by" ] || [ "$(cat "$pristine.made-by")" != "$made_by" ]; then
  # Made where the runs use it: a prefix may hold its own path.
  rm -rf "$pristine" "$pristine.made-by"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  for font in /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf; do
    [ -f "$font" ] || continue
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  wineserver -w
  cp -a "$WINEPREFIX" "$pristine"
  echo "$made_by" >"$pristine.made-by"
else
  cp -a "$pristine" "$WINEPREFIX"
fi
wineserver -p
# The prefix's own services, started here with no output to hold: started by
# a test instead, they would keep its output pipe open after it ended.
wineboot -u >/dev/null 2>&1 || true

# GoogleTest from Debian's sources, built with the same toolchain.
gtest=$build/googletest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest/install" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
    >/dev/null
  cmake --build "$gtest/build" -j 2
  cmake --install "$gtest/build" >/dev/null
fi

cmake -S . -B "$build/tagshift" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$gtest/install" -DTAGSHIFT_BUILD_GUI=OFF -DTAGSHIFT_BUILD_BENCH=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build/tagshift" -j 2 --target tagshift-convert tagshift_core_tests tagshift_ui_tests tagshift \
  tagshift_win32_tests window_driver
bash scripts/tidy.sh --windows "$build/tagshift"  # the naming style of the Windows code
# A test whose program wine failed to start (it happens, rarely, while the
# server is young) is run once more; a real failure fails twice.
ctest --test-dir "$build/tagshift" --output-on-failure -L 'core|ui|win32' -j 2 --repeat until-pass:2 \
  --output-junit junit.xml
perl scripts/list-skipped.pl "$build/tagshift/junit.xml" "Skipped under wine"

# tagshift.exe stands alone: it imports Windows' own DLLs only (no MinGW
# runtime, no C++ library beside it).
exe=$build/tagshift/app/win32/tagshift.exe
x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' >"$build/tagshift-imports.txt"
if grep -v -i -x -E '(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleaut32|oleacc|shell32|msimg32|windowscodecs|uxtheme|advapi32|msvcrt|shlwapi)\.dll' \
  "$build/tagshift-imports.txt"; then
  echo "tagshift.exe needs a DLL that Windows does not have (above)" >&2
  exit 1
fi
x86_64-w64-mingw32-strip -o "$build/tagshift-stripped.exe" "$exe"
echo "tagshift.exe: $(stat -c %s "$build/tagshift-stripped.exe") bytes stripped; imports" \
  "$(tr '\n' ' ' <"$build/tagshift-imports.txt")"
# The release folder: both programs and the readme, side by side.
rm -rf "$build/install"
cmake --install "$build/tagshift" --prefix "$build/install" >/dev/null
for file in tagshift.exe tagshift-convert.exe readme.txt; do
  [ -f "$build/install/bin/$file" ] || { echo "the install lacks bin/$file" >&2; exit 1; }
done

# The same conversion on both systems: the converted sample site of the
# Windows program and of the Linux one must be the same tree, byte for byte,
# under a folder name with a space and letters outside ASCII (as the command
# line's argument). The log and the summary differ only where they carry the
# folder's own path (Z:\... against /...): they are compared with that path
# taken out and the separators after it made alike.
linux=$build/linux
cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAGSHIFT_BUILD_GUI=OFF -DTAGSHIFT_BUILD_TESTS=OFF \
  >/dev/null
cmake --build "$linux" -j 2 --target tagshift-convert
work=$build/compare
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
name="sit\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac"
name=$(printf "$name")
cp -r examples/sample-site "$work/linux/$name"
cp -r examples/sample-site "$work/windows/$name"
"$linux/tagshift-convert" "$work/linux/$name" >"$work/linux.out"
winsite=$(winepath -w "$work/windows/$name")
wine "$build/tagshift/tagshift-convert.exe" "$winsite" >"$work/windows.out"
for side in linux windows; do
  log=$work/$side/${name}_Converted/converter_log.txt
  case $side in
    linux) prefix=$work/linux/$name ;;
    windows) prefix=$winsite ;;
  esac
  cat "$work/$side.out" >>"$log"  # the summary is compared with the log
  # The folder's own path out, and the Windows separators of the rest turned
  # into '/', so that only the site's own names and the bytes remain.
  perl -pe 'BEGIN { $prefix = shift } if ((my $at = index($_, $prefix)) >= 0) {
      my $rest = substr($_, $at + length $prefix); $rest =~ tr{\\}{/}; $_ = substr($_, 0, $at) . "<SITE>" . $rest }' \
    "$prefix" <"$log" >"$work/$side.log"
  mv "$log" "$work/$side.log.original"
done
diff -r "$work/linux/${name}_Converted" "$work/windows/${name}_Converted"
cmp "$work/linux.log" "$work/windows.log"
pages=$(grep -c "Processing File:" "$work/linux.log" || true)
files=$(find "$work/linux/${name}_Converted" -type f | wc -l)
echo "Windows and Linux conversions of examples/sample-site: the same $files files besides the log;" \
  "the same log ($pages pages) and summary but for the folder's path"

# The window program, driven from inside wine: the disclaimer and its skip
# marker, Tab order and screen-reader names, hover, the folder chooser, and
# the command-line start on a copy of the same site, whose conversion must
# equal the headless converter's above.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
screen_pids+=($!)
export DISPLAY=:$display
for try in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
screen_pids+=($!)
gui=$build/gui
rm -rf "$gui"
mkdir -p "$gui/work"
cp -r examples/sample-site "$gui/$name"
# The screen's dpi, as a Windows user sets it: 96 for the run, then 144 for
# a second look at the layout.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
set_dpi 96
wine "$build/tagshift/tests/win32/window_driver.exe" "$(winepath -w "$exe")" "$(winepath -w "$gui/work")" \
  "$(winepath -w "$gui/$name")" "$(winepath -w "$work/windows/${name}_Converted")"
set_dpi 144
layout=0
wine "$build/tagshift/tests/win32/window_driver.exe" --layout "$(winepath -w "$exe")" "$(winepath -w "$gui/work")" ||
  layout=$?
set_dpi 96
[ "$layout" -eq 0 ]

# A picture of the main window for people, on request, and of its "File
# types" dialog (opened with Alt+F).
# The window with its frame: openbox's frame is the window's parent.
frame_shot() {  # window id, output file
  import -window root "$gui/screen.png"
  local frame geometry
  frame=$(xwininfo -id "$1" -children | awk '/Parent window id:/ { print $4 }')
  geometry=$(xwininfo -id "$frame" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 }
    /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } END { printf "%dx%d+%d+%d", w, h, x, y }')
  convert "$gui/screen.png" -crop "$geometry" +repage "$2"
  echo "Saved $2"
}
wait_window() {  # title
  local found=""
  for try in $(seq 100); do
    found=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}
if [ -n "${TAGSHIFT_SCREENSHOT:-}${TAGSHIFT_SCREENSHOT_FILE_TYPES:-}" ]; then
  mkdir -p "$gui/shot"
  cp "$exe" "$gui/shot/"
  : >"$gui/shot/skip.col"
  wine "$gui/shot/tagshift.exe" >/dev/null 2>&1 &
  window=$(wait_window Tagshift)
  sleep 3  # shown, activated by the window manager, the focus frame drawn
  [ -z "${TAGSHIFT_SCREENSHOT:-}" ] || frame_shot "$window" "$(realpath -m "$TAGSHIFT_SCREENSHOT")"
  if [ -n "${TAGSHIFT_SCREENSHOT_FILE_TYPES:-}" ]; then
    xdotool windowactivate --sync "$window" key alt+f
    dialog=$(wait_window "File types")
    sleep 2
    frame_shot "$dialog" "$(realpath -m "$TAGSHIFT_SCREENSHOT_FILE_TYPES")"
  fi
fi
