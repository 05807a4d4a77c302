#!/usr/bin/env bash
# Builds the release files of the version in project() and writes them into
# dist/ (or the folder given with --dist DIR, or $DIST_DIR):
#   tagshift-VERSION-windows-x64.zip        tagshift.exe, tagshift-convert.exe,
#                                           readme.txt, LICENSE.txt (stripped)
#   tagshift-VERSION-windows-x64-setup.exe  the same files in an installer
#   tagshift_VERSION_amd64.deb              the Debian package
#   SHA256SUMS                              the checksums of the three
# It installs what it needs from Debian with apt-get (through sudo when not
# run as root), builds Linux (Qt face) and Windows (MinGW-w64, Win32 face)
# in Release and runs no tests (scripts/test-release.sh checks the files).
# The build folders are under $BUILD_DIR, default build/dist.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

dist=${DIST_DIR:-dist}
while [ $# -gt 0 ]; do
  case $1 in
    --dist) dist=${2:?--dist needs a folder}; shift 2 ;;
    --dist=*) dist=${1#--dist=}; shift ;;
    *) echo "usage: scripts/release.sh [--dist DIR]" >&2; exit 2 ;;
  esac
done

# The build's own packages, then the cross compiler, the installer maker, the
# manual-page maker and what CPack's Debian generator calls (dpkg-shlibdeps
# from dpkg-dev, file).
bash scripts/deps.sh build
want=(g++-mingw-w64-x86-64-posix libcli11-dev nsis help2man dpkg-dev file zip)
missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

version=$(sed -n 's/^project(tagshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in project() of CMakeLists.txt" >&2; exit 1; }
# Windows wants four numbers: 0.3 is 0.3.0.0.
file_version=$(echo "$version.0.0.0" | cut -d. -f1-4)
build=${BUILD_DIR:-build/dist}
mkdir -p "$build" "$dist"
build=$(cd "$build" && pwd)
dist=$(cd "$dist" && pwd)
# The time of the last commit stands for the files' times (manual pages,
# the zip's entries), so that the same sources give the same files.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi
zip_name=tagshift-$version-windows-x64.zip
setup_name=tagshift-$version-windows-x64-setup.exe
deb_name=tagshift_${version}_amd64.deb
rm -f "$dist/$zip_name" "$dist/$setup_name" "$dist/$deb_name" "$dist/SHA256SUMS"

# Linux: installed under /usr, which is also the help file's folder compiled
# into the window program; with Debian's hardening flags (CMake's Release
# level of optimisation, no debug information: the package is stripped).
linux=$build/linux
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cxxflags=$(echo " $(flags CPPFLAGS) $(flags CXXFLAGS) " | sed -e 's/ -g / /g' -e 's/ -O2 / /g')
cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTAGSHIFT_BUILD_TESTS=OFF "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)" >/dev/null
cmake --build "$linux" -j 2
(cd "$linux" && cpack -G DEB -B "$linux/package" >/dev/null)
cp "$linux/package/$deb_name" "$dist/"

# Windows: the release folder that the install makes, stripped, is the zip
# and what the installer installs.
windows=$build/windows
cmake -S . -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DTAGSHIFT_BUILD_GUI=OFF -DTAGSHIFT_BUILD_TESTS=OFF >/dev/null
cmake --build "$windows" -j 2
rm -rf "$windows/install"
cmake --install "$windows" --prefix "$windows/install" --strip >/dev/null
files=$windows/install/bin
expected="LICENSE.txt readme.txt tagshift-convert.exe tagshift.exe"
found=$(cd "$files" && ls | sort | tr '\n' ' ')
[ "$found" = "$expected " ] || { echo "release: the Windows install holds '$found', not '$expected'" >&2; exit 1; }
[ -z "${SOURCE_DATE_EPOCH:-}" ] || touch -d "@$SOURCE_DATE_EPOCH" "$files"/*
(cd "$files" && TZ=UTC zip -q -X -D "$dist/$zip_name" tagshift.exe tagshift-convert.exe readme.txt LICENSE.txt)
makensis -V2 -DVERSION="$version" -DFILEVERSION="$file_version" -DFILES="$files" -DICON="$root/resources/icon.ico" \
  -DOUTFILE="$dist/$setup_name" packaging/windows/tagshift.nsi >/dev/null

(cd "$dist" && sha256sum "$zip_name" "$setup_name" "$deb_name" >SHA256SUMS)
echo "Release $version in $dist:"
(cd "$dist" && ls -l "$zip_name" "$setup_name" "$deb_name" SHA256SUMS)
