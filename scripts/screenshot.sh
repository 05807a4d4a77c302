#!/usr/bin/env bash
# Renders the main window to docs/window-idle.png (at rest), its File types
# dialog to docs/file-types-qt.png, and
# docs/window-after-run.png (after converting a copy of examples/sample-site,
# with the pointer's hover feedback on the donation badge and the Convert
# label). Uses Qt's offscreen platform, so no display is needed.
# Usage: scripts/screenshot.sh [OUTPUT_FOLDER]   (default: docs)
# The build folder is $BUILD_DIR, default build/screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BUILD_DIR:-build/screenshot}
out=${1:-docs}
mkdir -p "$out"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target tagshift_window_screenshot
QT_QPA_PLATFORM=offscreen "$build/tests/gui/tagshift_window_screenshot" "$out" examples/sample-site
