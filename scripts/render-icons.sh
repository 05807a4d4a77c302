#!/usr/bin/env bash
# Renders the desktop icons resources/icons/tagshift-N.png (square, N = 16,
# 32, 48, 64, 128, 256 pixels) from resources/icon.svg with rsvg-convert
# (Debian's librsvg2-bin): the icon fills the width and stands centred on
# white, like its Windows icon. Run this after editing icon.svg and commit
# the pictures; the Linux install puts them into the hicolor theme.
set -euo pipefail
cd "$(dirname "$0")/../resources"
if ! command -v rsvg-convert >/dev/null 2>&1; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends librsvg2-bin >&2
fi
# The picture's own size, from its svg element: the icon is 37 x 35.
read -r width height < <(perl -ne 'if (/<svg[^>]*\bwidth="([\d.]+)"[^>]*\bheight="([\d.]+)"/) { print "$1 $2\n"; exit }' icon.svg)
mkdir -p icons
for size in 16 32 48 64 128 256; do
  # Scaled to the full width; the height left over is split above and below.
  top=$(perl -e 'printf "%.4f", ($ARGV[0] - $ARGV[0] * $ARGV[2] / $ARGV[1]) / 2' "$size" "$width" "$height")
  rsvg-convert --zoom="$(perl -e 'printf "%.6f", $ARGV[0] / $ARGV[1]' "$size" "$width")" \
    --page-width="$size" --page-height="$size" --top="$top" --background-color=white \
    --output="icons/tagshift-$size.png" icon.svg
  echo "resources/icons/tagshift-$size.png"
done
