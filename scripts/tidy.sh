#!/usr/bin/env bash
# Checks the program's own code (not the tests or benchmarks) against
# .clang-tidy: the naming style of CONTRIBUTING.md. Usage:
#   scripts/tidy.sh BUILD            the Linux sources, with BUILD's compile commands
#   scripts/tidy.sh --windows BUILD  the Windows sources, with a MinGW build's
set -euo pipefail
cd "$(dirname "$0")/.."
windows=false
if [ "${1:-}" = --windows ]; then windows=true; shift; fi
build=${1:?usage: scripts/tidy.sh [--windows] BUILD}
command -v clang-tidy >/dev/null || { echo "clang-tidy is missing (Debian package clang-tidy)" >&2; exit 1; }
# The build's compile commands, written on the next configure if missing.
[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

extra=()
if $windows; then
  mapfile -t files < <(git ls-files 'app/win32/*.cpp' 'cli/*Windows.cpp' 'fs/*Windows.cpp')
  # clang parses the MinGW build's commands with MinGW's own C++ headers.
  gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  extra=(--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++)
  for dir in "$gcc/include/c++" "$gcc/include/c++/x86_64-w64-mingw32" "$gcc/include/c++/backward"; do
    extra+=("--extra-arg=-isystem$dir")
  done
else
  mapfile -t files < <(git ls-files 'app/*.cpp' 'cli/*.cpp' 'convert/*.cpp' 'fs/*.cpp' 'ui/*.cpp' |
    grep -v -e '^app/win32/' -e 'Windows\.cpp$')
fi
printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet "${extra[@]}" 2>&1 |
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings' >"$build/tidy.log" || true
if grep -q -E 'error:|warning:' "$build/tidy.log"; then
  cat "$build/tidy.log" >&2
  echo "clang-tidy: the names above break the style of CONTRIBUTING.md" >&2
  exit 1
fi
echo "clang-tidy: ${#files[@]} files of program code keep the naming style"
