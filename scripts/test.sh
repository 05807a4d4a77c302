#!/usr/bin/env bash
# Builds Tagshift and runs the whole test suite, then lists every skipped
# test with its reason. On CI (CI=true) the core and ui
# tests run a second time, built with the address and undefined-behaviour
# sanitizers, and the core tests (whose runs use workers) a third time, built
# with the thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

# acorn, with which the core tests parse the generated scripts as ES5: from
# the npm registry, at the version tests/package-lock.json names, into the
# build folder. Without it that check reports itself skipped.
node_modules_for() {
  mkdir -p "$1/tests/node"
  cp tests/package.json tests/package-lock.json "$1/tests/node/"
  (cd "$1/tests/node" && npm ci --no-audit --no-fund --loglevel=error) ||
    echo "npm ci failed: the ES5 check of the generated scripts will be skipped" >&2
}
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
bash scripts/tidy.sh "$build"  # the naming style of the program's code
node_modules_for "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --output-junit junit.xml
skipped_reports=("$build/junit.xml")

if [ "${CI:-}" = true ] || [ "${TAGSHIFT_SANITIZE:-}" = ON ]; then
  sanitize=build/sanitize
  cmake -S . -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGSHIFT_BUILD_GUI=OFF \
    -DTAGSHIFT_BUILD_BENCH=OFF -DTAGSHIFT_SANITIZE=ON >/dev/null
  cmake --build "$sanitize" -j "$(nproc)" --target tagshift-convert tagshift_core_tests tagshift_ui_tests
  node_modules_for "$sanitize"
  ctest --test-dir "$sanitize" --output-on-failure -L "core|ui" -j "$(nproc)" --output-junit junit.xml
  skipped_reports+=("$sanitize/junit.xml")

  threads=build/sanitize-thread
  cmake -S . -B "$threads" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGSHIFT_BUILD_GUI=OFF \
    -DTAGSHIFT_BUILD_BENCH=OFF -DTAGSHIFT_SANITIZE_THREAD=ON >/dev/null
  cmake --build "$threads" -j "$(nproc)" --target tagshift-convert tagshift_core_tests
  node_modules_for "$threads"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir "$threads" --output-on-failure -L core -j "$(nproc)" --output-junit junit.xml
  skipped_reports+=("$threads/junit.xml")
fi

# Every test that did not run, with the reason it gave.
for report in "${skipped_reports[@]}"; do
  perl scripts/list-skipped.pl "$report" "Skipped in ${report%/junit.xml}"
done

# Then the Windows build under wine and the release files.
# TAGSHIFT_TEST_ONLY=linux leaves both out, for a quick run on Linux alone.
if [ "${TAGSHIFT_TEST_ONLY:-}" = linux ]; then
  echo "TAGSHIFT_TEST_ONLY=linux: scripts/test-windows.sh and scripts/test-release.sh left out" >&2
else
  bash scripts/test-windows.sh
  bash scripts/test-release.sh
fi
