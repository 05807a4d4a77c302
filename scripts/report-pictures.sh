#!/usr/bin/env bash
# Renders the report of a run of examples/sample-site to docs/report.png
# (100 %), docs/report-200.png (200 %), docs/report-dark.png (the dark
# scheme) and docs/report-print.png (the first printed page), with headless
# Chromium, node and pdftoppm.
# Usage: scripts/report-pictures.sh [OUTPUT_FOLDER]   (default: docs)
# The build folder is $BUILD_DIR, default build/screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/screenshot}
out=$(realpath -m "${1:-docs}")
work=${TMPDIR:-/tmp}/tagshift-report
mkdir -p "$out"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target tagshift_report_tool
node tests/browser/report_check.js --tool "$build/tests/tagshift_report_tool" --work "$work" \
  --site examples/sample-site --shots "$out"
chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer --user-data-dir="$work/profile" \
  --print-to-pdf="$work/report.pdf" "file://$work/sample-site_Converted-report.html" 2>/dev/null
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$work/report.pdf" "$out/report-print"
