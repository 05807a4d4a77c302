#!/usr/bin/env bash
# Builds the benchmark (Release) and runs it; arguments go to tagshift-bench
# (--quick for a short run, --help for the rest).
#
# Run as root, the benchmark works on a fresh ext4 file system in a
# loop-mounted image file, so that what other programs do on the machine's
# disk does not weigh on the figures: on an ext4 without a journal, as the
# disk of some virtual machines is, every file created scans past all inodes
# freed in the last minutes, whoever freed them. BENCH_LOOP=0, or a run
# without root, works in $TMPDIR (default /tmp) instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BENCH_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target tagshift-bench
export QT_QPA_PLATFORM=offscreen
bench=("$build/bench/tagshift-bench")

if [ "${BENCH_LOOP:-1}" = 1 ] && [ "$(id -u)" -eq 0 ] && command -v mkfs.ext4 >/dev/null && losetup -f >/dev/null 2>&1; then
  img=$(mktemp "${TMPDIR:-/tmp}/tagshift-bench-fs.XXXXXX")
  mnt=$(mktemp -d "${TMPDIR:-/tmp}/tagshift-bench-mnt.XXXXXX")
  cleanup() {
    umount "$mnt" 2>/dev/null || true
    rmdir "$mnt" 2>/dev/null || true
    rm -f "$img"
  }
  trap cleanup EXIT
  truncate -s 10G "$img"
  mkfs.ext4 -q -F -i 4096 "$img"  # one inode per 4 KiB: every output is kept until a site is done
  mount -o loop "$img" "$mnt"
  echo "work file system: fresh ext4 (journal) on a loop device, 10 GB image $img" >&2
  "${bench[@]}" --work "$mnt" "$@"
else
  "${bench[@]}" "$@"
fi
