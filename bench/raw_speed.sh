#!/usr/bin/env bash
# Contact sheets of camera RAW files placed from their embedded previews against the same
# sheets made by developing the raw data (the same files without a preview), with
# pagorra-batch --all-formats: DNGs of 6000x4000 made from the test photos by bench/make_dngs
# (a 1024-pixel preview, or none), and the shared RAF sample (its 160x120 preview; its raw data
# were stripped, so it has no developed counterpart), each copied COUNT times.
# Target: the preview sheets at least 5 times as fast as the developed ones.
# Usage: bench/raw_speed.sh [path/to/pagorra-batch [COUNT]]
set -euo pipefail
cd "$(dirname "$0")/.."

batch=${1:-build/app/pagorra-batch}
count=${2:-12}
make_dngs=build/bench/make_dngs
raf=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}/formats/raw/exiftool_FujiFilm.raf
for program in "$batch" "$make_dngs"; do
  [ -x "$program" ] || { echo "build it first: scripts/build.sh --target $(basename "$program")" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/preview" "$work/developed" "$work/raf" "$work/config"
XDG_RUNTIME_DIR=$work "$make_dngs" "$work/preview" "$count" 6000x4000 1024
XDG_RUNTIME_DIR=$work "$make_dngs" "$work/developed" "$count" 6000x4000 0
for ((i = 0; i < count; i++)); do cp "$raf" "$work/raf/raf$i.raf"; done

# run NAME: one contact sheet of the folder NAME; prints its wall seconds and peak MB.
run() {
  cat "$work/$1"/* >/dev/null # read from the page cache, as every other run
  XDG_CONFIG_HOME=$work/config /usr/bin/time -f '%e %M' -o "$work/$1.time" \
    "$batch" --all-formats -o "$work/$1.png" "$work/$1" >"$work/$1.out" 2>"$work/$1.err" ||
    { echo "$1 failed:" >&2; cat "$work/$1.err" >&2; exit 1; }
  read -r seconds kb <"$work/$1.time"
  printf '%-10s %3d files  %6.2f s  %6.1f MB peak  (%s)\n' "$1" "$count" "$seconds" "$(echo "$kb / 1024" | bc -l)" \
    "$(tail -n 1 "$work/$1.out")"
  echo "$seconds" >"$work/$1.seconds"
}
run preview
run developed
run raf
awk -v p="$(cat "$work/preview.seconds")" -v d="$(cat "$work/developed.seconds")" \
  'BEGIN { r = d / p; printf "previews %.1fx as fast as developing the raw data (target: 5x): %s\n", r, (r >= 5 ? "met" : "NOT met") }'
