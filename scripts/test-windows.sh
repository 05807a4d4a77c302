#!/usr/bin/env bash
# Cross-builds the converter core, the headless converter and the core tests
# for 64-bit Windows with MinGW-w64, runs the tests under wine, and checks
# that the Windows tagshift-convert.exe writes the same pages, script files
# and log lines as the Linux build on examples/sample-site.
# The build folder is $BUILD_DIR, default build/windows; the wine prefix lives
# inside it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The cross compiler, wine and GoogleTest's sources, from Debian.
want=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build g++)
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

export WINEPREFIX=$build/wine-prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8  # wine reads and writes the file names as UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
# One wine server for the whole suite instead of one per test, stopped at
# the end however the script ends.
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # one left over from an interrupted run
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -u >/dev/null 2>&1 || true  # creates the prefix on the first run

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
  -DCMAKE_PREFIX_PATH="$gtest/install" -DTAGSHIFT_BUILD_GUI=OFF -DTAGSHIFT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build/tagshift" -j 2 --target tagshift-convert tagshift_core_tests
ctest --test-dir "$build/tagshift" --output-on-failure -L core -j 2

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
