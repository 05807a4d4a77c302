#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tagshift
# need, when they are missing. Usage: scripts/deps.sh [build|test]
set -euo pipefail

want=(cmake ninja-build g++ pkg-config libcli11-dev qt6-base-dev libgl-dev fonts-liberation fonts-dejavu-core)
if [ "${1:-build}" = test ]; then
  want+=(libgtest-dev libgmock-dev chromium desktop-file-utils clang-tidy help2man tidy)  # tidy checks the run report
  command -v node >/dev/null 2>&1 || want+=(nodejs)
  command -v npm >/dev/null 2>&1 || want+=(npm)  # installs acorn for the ES5 check
fi

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -q >&2
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2 || {
  # The browser is only needed by the browser test, which reports itself
  # skipped without it; everything else is required.
  rest=()
  for pkg in "${missing[@]}"; do [ "$pkg" = chromium ] || rest+=("$pkg"); done
  echo "Retrying without chromium" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${rest[@]}" >&2
}
