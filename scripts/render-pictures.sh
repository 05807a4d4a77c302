#!/usr/bin/env bash
# Renders the window pictures in resources/ from their SVG sources with a
# headless chromium (installed by scripts/deps.sh test). The PNG files are
# what the program embeds; run this after editing an SVG and commit both.
set -euo pipefail
cd "$(dirname "$0")/../resources"
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "render-pictures: chromium is needed (scripts/deps.sh test)" >&2; exit 1; }
for entry in background:460,300 icon:37,35 folder:18,16 donate:62,31; do
  name=${entry%%:*}
  size=${entry#*:}
  "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
    --window-size="$size" --screenshot="$PWD/$name.png" "file://$PWD/$name.svg" >/dev/null 2>&1
  echo "resources/$name.png ($size)"
done
# The Windows icon: the icon drawn four times larger, made square on white, at
# the sizes Windows shows.
"$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=4 \
  --window-size=37,35 --screenshot="$PWD/icon-large.png" "file://$PWD/icon.svg" >/dev/null 2>&1
convert-im6.q16 icon-large.png -background white -gravity center -extent 148x148 \
  -define icon:auto-resize=128,64,48,32,16 icon.ico
rm -f icon-large.png
echo "resources/icon.ico (128, 64, 48, 32, 16)"
