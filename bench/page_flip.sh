#!/usr/bin/env bash
# Page flips in the viewer with the pages put aside in the cache folder: A4 pages at 300 dpi
# (or the resolution given) from the 300 photos of about 12 MP of bench/batch_speed.sh.
# Prints the median, 90th percentile and slowest flip (target: below 150 ms).
# Usage: bench/page_flip.sh [resolution (300)] [photos (250)] [path/to/page_flip]
set -euo pipefail
cd "$(dirname "$0")/.."
harness=${3:-build/bench/page_flip}
cache=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}
[ -x "$harness" ] || { echo "build the harness first: scripts/build.sh" >&2; exit 1; }
[ -d "$cache/photos-300-12mp" ] || bench/batch_speed.sh --prepare
"$harness" "$cache/photos-300-12mp" "${1:-300}" "${2:-250}"
