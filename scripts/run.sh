#!/usr/bin/env bash
# Builds Tagshift and runs it. With no argument it converts a fresh copy of
# examples/sample-site in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAGSHIFT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
if [ $# -gt 0 ]; then
  exec "$build/tagshift-convert" "$@"
fi
work=$(mktemp -d)
cp -r examples/sample-site "$work/sample-site"
echo "Converting a copy of examples/sample-site in $work" >&2
"$build/tagshift-convert" "$work/sample-site"
