#!/usr/bin/env bash
# Makes the release files with scripts/release.sh into a scratch folder and
# checks them as a user would get them:
# - the zip, unpacked into a fresh folder whose name holds a blank and letters
#   outside ASCII: both programs' --version and a conversion of
#   examples/sample-site under wine, and the window driver's start-up checks
#   on the unpacked tagshift.exe (in a virtual screen);
# - the installer, run silently in a fresh wine prefix: the Start-menu
#   shortcut and the uninstaller, the installed tagshift.exe shows its
#   disclaimer, and the silent uninstaller leaves no file of Tagshift behind,
#   skip markers included;
# - the package: lintian without errors, desktop-file-validate, appstreamcli
#   validate, dpkg -i, then tagshift-convert --version, man -w, the help file,
#   and dpkg --purge leaves nothing of it;
# - one version everywhere: project(), the file names, the package, the
#   exes' resources, --version of all four programs, the help file, NEWS.md,
#   the changelog and the metainfo.
# The window driver comes from scripts/test-windows.sh's build
# ($WINDOWS_BUILD_DIR, default build/windows), which it brings up to date.
# Build folder: $BUILD_DIR, default build/release-check.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

want=(wine wine64 fonts-wine xvfb openbox x11-utils lintian desktop-file-utils appstream man-db unzip)
missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
if dpkg-query -W -f='${Status}' tagshift 2>/dev/null | grep -q "install ok installed"; then
  echo "test-release: the package tagshift is installed already; remove it first (dpkg -r tagshift)" >&2
  exit 1
fi

build=${BUILD_DIR:-build/release-check}
mkdir -p "$build"
build=$(cd "$build" && pwd)
dist=$build/dist
rm -rf "$dist"
BUILD_DIR=$build bash scripts/release.sh --dist "$dist"
version=$(sed -n 's/^project(tagshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$dist/tagshift-$version-windows-x64.zip
setup=$dist/tagshift-$version-windows-x64-setup.exe
deb=$dist/tagshift_${version}_amd64.deb

passed=0
failed=0
check() {  # check WHAT COMMAND...: one line of the result
  local what=$1
  shift
  if "$@"; then
    echo "PASS: $what"
    passed=$((passed + 1))
  else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}
(cd "$dist" && check "SHA256SUMS holds the three files" sha256sum --quiet -c SHA256SUMS)

# The window driver, from the Windows test build.
winbuild=${WINDOWS_BUILD_DIR:-build/windows}
[ -f "$winbuild/tagshift/build.ninja" ] ||
  { echo "test-release: no Windows test build in $winbuild: run scripts/test-windows.sh first" >&2; exit 1; }
cmake --build "$winbuild/tagshift" -j 2 --target window_driver
driver=$(cd "$winbuild/tagshift/tests/win32" && pwd)/window_driver.exe

# A fresh wine prefix of its own, one server and a virtual screen for it.
export WINEPREFIX=$build/wine-prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# No Mono or Gecko dialogs, and no menu entries or icons made on the Linux
# side for the Start-menu shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The new prefix made and every component registered before anything runs
# in it (its first window would otherwise wait for that).
wineboot -u >/dev/null 2>&1 || true
wineserver -w
wineserver -p
pids=()
installed_package=no
stop_all() {
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ "$installed_package" = no ] || "${sudo[@]}" dpkg --purge tagshift >/dev/null 2>&1 || true
}
trap stop_all EXIT
for font in /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf; do
  [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$display
for try in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)

# --- The zip ---------------------------------------------------------------
check_zip() {
  local folder=$build/zip/$(printf 'T\xc3\xa9l\xc3\xa9chargements \xe6\x97\xa5\xe6\x9c\xac')
  rm -rf "$build/zip"
  mkdir -p "$folder"
  unzip -q "$zip" -d "$folder"
  check "the zip holds the two programs, readme.txt and LICENSE.txt" \
    test "$(cd "$folder" && ls | sort | tr '\n' ' ')" = "LICENSE.txt readme.txt tagshift-convert.exe tagshift.exe "
  check "readme.txt and LICENSE.txt have CR LF line ends" \
    perl -e 'for (@ARGV) { open my $f, "<:raw", $_ or exit 1; local $/; my $t = <$f>; exit 1 if $t =~ /(?<!\r)\n/ or $t !~ /\r\n/ }' \
    "$folder/readme.txt" "$folder/LICENSE.txt"
  check "the programs are stripped" \
    test -z "$(x86_64-w64-mingw32-objdump -h "$folder/tagshift.exe" "$folder/tagshift-convert.exe" | grep -F .debug_)"
  wine "$folder/tagshift-convert.exe" --version >"$build/convert-version.txt"
  cp -r examples/sample-site "$build/zip/site"
  wine "$folder/tagshift-convert.exe" "$(winepath -w "$build/zip/site")" >"$build/zip/convert.out"
  check "the unpacked tagshift-convert.exe converts examples/sample-site" \
    grep -q "Process Complete" "$build/zip/site_Converted/converter_log.txt"
  wine "$folder/tagshift.exe" --version >"$build/window-version.txt"
  wine "$folder/tagshift.exe" --help >"$build/window-help.txt"
  check "tagshift.exe --help writes its usage to the output it was given" grep -q '^Usage: tagshift \[FOLDER\]' \
    "$build/window-help.txt"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  check "the window driver's start-up checks on the unpacked tagshift.exe" \
    wine "$driver" --startup "$(winepath -w "$folder/tagshift.exe")" "$(winepath -w "$build/zip/work")"
}
check_zip

# --- The installer ---------------------------------------------------------
check_installer() {
  local drive=$WINEPREFIX/drive_c
  local user
  user=$(ls "$drive/users" | grep -v -x -e Public -e public | head -1)
  local programs=$drive/users/$user/AppData/Local/Programs/Tagshift
  local appdata=$drive/users/$user/AppData/Roaming
  local shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/Tagshift.lnk"
  # Paths inside the prefix only: the build folder's own name may hold "tagshift".
  (cd "$drive" && find . | sort) >"$build/before-install.txt"
  wine "$setup" /S
  check "the silent installer puts the programs into the user's Programs folder" \
    test -f "$programs/tagshift.exe" -a -f "$programs/tagshift-convert.exe" -a -f "$programs/readme.txt"
  check "the uninstaller is installed" test -f "$programs/uninstall.exe"
  check "the Start-menu shortcut exists" test -f "$shortcut"
  # The shortcut's working folder (UTF-16 in the link) is the program's folder.
  check "the shortcut starts the program in its installed folder" perl -e '
    open my $f, "<:raw", $ARGV[0] or exit 1; local $/; (my $t = <$f>) =~ s/\0//g; exit(index($t, $ARGV[1]) >= 0 ? 0 : 1)' \
    "$shortcut" 'AppData\Local\Programs\Tagshift'
  check "Apps & features lists it" wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tagshift' /v DisplayVersion
  # The installed program, started in its folder as the shortcut does.
  (cd "$programs" && wine tagshift.exe >/dev/null 2>&1) &
  local program=$!
  local seen=no
  # grep reads the whole tree: one that stopped at the first match would
  # leave xwininfo writing into a closed pipe, and pipefail would take its
  # SIGPIPE for a window not found.
  for try in $(seq 100); do
    if xwininfo -root -tree 2>/dev/null | grep -c -F '"Pagemend Disclaimer"' >/dev/null; then seen=yes; break; fi
    sleep 0.2
  done
  check "the installed tagshift.exe shows its disclaimer" test "$seen" = yes
  kill "$program" 2>/dev/null || true
  wine taskkill /f /im tagshift.exe >/dev/null 2>&1 || true
  # Skip markers where the program leaves them: beside itself, or in
  # %APPDATA%\Tagshift when its folder could not be written.
  : >"$programs/skip.col"
  mkdir -p "$appdata/Tagshift"
  : >"$appdata/Tagshift/skip.col"
  wine "$programs/uninstall.exe" /S
  # The uninstaller goes on from a copy of itself and returns at once.
  for try in $(seq 150); do [ -e "$programs" ] || break; sleep 0.2; done
  (cd "$drive" && find . | sort) >"$build/after-uninstall.txt"
  comm -13 "$build/before-install.txt" "$build/after-uninstall.txt" | grep -i 'tagshift' >"$build/left-behind.txt" || true
  check "the silent uninstaller leaves no file of Tagshift behind" test ! -s "$build/left-behind.txt"
  [ ! -s "$build/left-behind.txt" ] || cat "$build/left-behind.txt" >&2
  check "Apps & features no longer lists it" \
    bash -c '! wine reg query "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tagshift" >/dev/null 2>&1'
}
check_installer

# --- The package -----------------------------------------------------------
check_package() {
  local status=0
  lintian --fail-on error "$deb" >"$build/lintian.txt" 2>&1 || status=$?
  cat "$build/lintian.txt"
  check "lintian finds no error" test "$status" -eq 0
  local contents=$build/deb
  rm -rf "$contents"
  dpkg-deb -x "$deb" "$contents"
  check "the desktop entry is valid" desktop-file-validate "$contents/usr/share/applications/tagshift.desktop"
  check "the AppStream metadata is valid" \
    appstreamcli validate --no-net "$contents/usr/share/metainfo/io.github.tagshift.Tagshift.metainfo.xml"
  "${sudo[@]}" dpkg -i "$deb" >/dev/null
  installed_package=yes
  dpkg -L tagshift | sort >"$build/package-files.txt"
  /usr/bin/tagshift-convert --version >"$build/deb-convert-version.txt"
  env -u DISPLAY /usr/bin/tagshift --version >"$build/deb-window-version.txt"
  check "man -w tagshift-convert finds the manual page" test "$(man -w tagshift-convert)" = /usr/share/man/man1/tagshift-convert.1.gz
  check "man -w tagshift finds the manual page" test "$(man -w tagshift)" = /usr/share/man/man1/tagshift.1.gz
  check "the help file is at /usr/share/tagshift/readme.txt" cmp -s readme.txt /usr/share/tagshift/readme.txt
  # Where the program looks for the help file, when it names its data folder.
  local named
  named=$(strings -a /usr/bin/tagshift | grep -E '^/.*/share/tagshift/?$' | sort -u || true)
  if [ -n "$named" ]; then
    check "the program looks for the help file where the package puts it" test "$named" = /usr/share/tagshift
  else
    echo "NOTE: the program names no help folder of its own (only its own folder and the current one)"
  fi
  "${sudo[@]}" dpkg --purge tagshift >/dev/null
  installed_package=no
  local left=""
  while read -r path; do
    if [ -L "$path" ] || [ -f "$path" ]; then left+="$path "; fi
  done <"$build/package-files.txt"
  for path in /usr/share/tagshift /usr/share/doc/tagshift; do
    if [ -e "$path" ]; then left+="$path "; fi
  done
  check "dpkg --purge leaves nothing of the package${left:+: $left}" test -z "$left"
}
check_package

# --- One version -----------------------------------------------------------
# The version resource's strings (UTF-16 after their names) and its fixed
# numbers (after the signature 0xFEEF04BD).
resource() {
  perl -e 'open my $f, "<:raw", $ARGV[0] or die; local $/; my $b = <$f>;
    my $key = join "", map { "$_\0" } split //, "$ARGV[1]\0";
    my $at = index $b, $key; exit 1 if $at < 0; $at += length $key; $at++ while substr($b, $at, 1) eq "\0" && ($at % 4);
    my ($value) = substr($b, $at) =~ /^((?:[^\0]\0)*)/; $value =~ s/\0//g; print "$value\n"' "$1" "$2"
}
fixed_version() {
  perl -e 'open my $f, "<:raw", $ARGV[0] or die; local $/; my $b = <$f>; my $at = index $b, pack "V", 0xFEEF04BD;
    exit 1 if $at < 0; my ($ms, $ls) = unpack "V2", substr($b, $at + 8, 8); printf "%d.%d.%d.%d\n", $ms >> 16, $ms & 0xffff, $ls >> 16, $ls & 0xffff' "$1"
}
folder=$(ls -d "$build"/zip/T*)
expect() {  # expect WHAT ACTUAL EXPECTED
  check "$1 is '$3'" test "$2" = "$3"
}
expect "the package's version" "$(dpkg-deb -f "$deb" Version)" "$version"
expect "tagshift-convert --version (Debian)" "$(cat "$build/deb-convert-version.txt")" "tagshift-convert $version"
expect "tagshift --version (Debian)" "$(cat "$build/deb-window-version.txt")" "tagshift $version"
expect "tagshift-convert.exe --version" "$(cat "$build/convert-version.txt")" "tagshift-convert $version"
expect "tagshift.exe --version" "$(cat "$build/window-version.txt")" "tagshift $version"
for exe in tagshift.exe tagshift-convert.exe; do
  expect "$exe's FileVersion" "$(resource "$folder/$exe" FileVersion)" "$version"
  expect "$exe's ProductVersion" "$(resource "$folder/$exe" ProductVersion)" "$version"
  expect "$exe's fixed file version" "$(fixed_version "$folder/$exe")" "$version.0.0"
  expect "$exe's CompanyName" "$(resource "$folder/$exe" CompanyName)" "The Tagshift developers"
  check "$exe names its copyright" test -n "$(resource "$folder/$exe" LegalCopyright)"
done
expect "the installer's ProductVersion" "$(resource "$setup" ProductVersion)" "$version"
expect "the help file's title" "$(head -1 readme.txt | tr -d '\r')" "Tagshift $version - help"
expect "NEWS.md's newest entry" "$(grep -m1 '^## ' NEWS.md | cut -d' ' -f2)" "$version"
expect "the changelog's newest entry" "$(head -1 packaging/debian/changelog | sed 's/.*(\(.*\)).*/\1/')" "$version"
expect "the metainfo's newest release" \
  "$(grep -m1 -o '<release version="[^"]*"' resources/io.github.tagshift.Tagshift.metainfo.xml | cut -d'"' -f2)" "$version"

echo "Release files: $(cd "$dist" && stat -c '%n %s' "$(basename "$zip")" "$(basename "$setup")" "$(basename "$deb")" SHA256SUMS | tr '\n' ';')"
echo "release check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
