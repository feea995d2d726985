#!/usr/bin/env bash
# How long the main window stops repainting while Add Folder reads and adds a large folder.
# Makes a folder of empty picture files once (cached outside the repository, as the basket
# never opens them), then runs the real window under Xvfb (or the offscreen platform where
# there is no X server) a few times with the folder picker answered by that folder, and prints
# what the harness measured: the whole command, and the longest gap between two ticks of a 5 ms
# timer on the window's thread (the longest time the window could not repaint or take a click).
# With PAGORRA_BENCH_COLD=1 (root only) the page cache is dropped before each run, so the
# folder is read from the disk as after a reboot.
# With PAGORRA_BENCH_DROP=1 the folder's files are dropped on the list instead.
# Usage: bench/addfolder_stall.sh [files (33000)] [runs (5)] [path/to/addfolder_stall]
set -euo pipefail
cd "$(dirname "$0")/.."

files=${1:-33000}
runs=${2:-5}
harness=${3:-build/bench/addfolder_stall}
cache=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}
folder=$cache/folder-$files

[ -x "$harness" ] || { echo "build the harness first: scripts/build.sh --target addfolder_stall" >&2; exit 1; }
if [ ! -d "$folder" ]; then
  echo "making $files files in $folder (once)" >&2
  mkdir -p "$folder.part"
  (cd "$folder.part" && seq -f 'IMG_%05g.jpg' 1 "$files" | xargs touch)
  mv "$folder.part" "$folder"
fi

config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
run_once() {
  if command -v xvfb-run >/dev/null; then
    XDG_CONFIG_HOME=$config xvfb-run -a "$harness" "$folder" ${PAGORRA_BENCH_DROP:+drop}
  else
    XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen "$harness" "$folder" ${PAGORRA_BENCH_DROP:+drop}
  fi
}
for ((i = 1; i <= runs; i++)); do
  if [ "${PAGORRA_BENCH_COLD:-0}" = 1 ]; then sync && echo 3 >/proc/sys/vm/drop_caches; fi
  run_once 2>/dev/null | tail -1
done
