#!/usr/bin/env bash
# Draws the disclaimer and the main window, side by side, into
# docs/disclaimer-and-main-window.png (the picture in the README).
# BUILD_DIR chooses the build folder (default build/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BUILD_DIR:-build/screenshots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target tagshift_startup_screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/tests/gui/tagshift_startup_screenshot" docs/disclaimer-and-main-window.png
