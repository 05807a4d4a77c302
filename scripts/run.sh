#!/usr/bin/env bash
# Builds Tagshift and opens its window; with a FOLDER argument the window
# converts FOLDER as it opens. Without a display (neither DISPLAY nor
# WAYLAND_DISPLAY set) it runs the headless converter instead: FOLDER, or a
# fresh copy of examples/sample-site in a temporary folder.
set -euo pipefail
# A relative FOLDER is the caller's, not the repository's: make every
# argument that is not an option absolute before leaving the caller's folder.
args=()
for arg in "$@"; do
  case $arg in
    -*) args+=("$arg") ;;
    *) args+=("$(realpath -ms -- "$arg")") ;;
  esac
done
set -- ${args[@]+"${args[@]}"}
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAGSHIFT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/app/tagshift" "$@"
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the headless converter instead of the window" >&2
if [ $# -gt 0 ]; then
  exec "$build/tagshift-convert" "$@"
fi
work=$(mktemp -d)
cp -r examples/sample-site "$work/sample-site"
echo "Converting a copy of examples/sample-site in $work" >&2
"$build/tagshift-convert" "$work/sample-site"
