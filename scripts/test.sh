#!/usr/bin/env bash
# Builds Tagshift and runs the whole test suite, then lists every skipped
# test with its reason. On CI (CI=true) the core and ui
# tests run a second time, built with the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --output-junit junit.xml
skipped_reports=("$build/junit.xml")

if [ "${CI:-}" = true ] || [ "${TAGSHIFT_SANITIZE:-}" = ON ]; then
  sanitize=build/sanitize
  cmake -S . -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGSHIFT_BUILD_GUI=OFF \
    -DTAGSHIFT_BUILD_BENCH=OFF -DTAGSHIFT_SANITIZE=ON >/dev/null
  cmake --build "$sanitize" -j "$(nproc)" --target tagshift-convert tagshift_core_tests tagshift_ui_tests
  ctest --test-dir "$sanitize" --output-on-failure -L "core|ui" -j "$(nproc)" --output-junit junit.xml
  skipped_reports+=("$sanitize/junit.xml")
fi

# Last: every test that did not run, with the reason it gave.
for report in "${skipped_reports[@]}"; do
  perl scripts/list-skipped.pl "$report" "Skipped in ${report%/junit.xml}"
done
