#!/usr/bin/env bash
# Peak memory of writing one very large page in every output format: pagorra-batch makes a
# 16000x12000 page (768 MB as the program holds it, 4 bytes a pixel) from two test photos and
# writes it. The peak beyond the page itself is what the writer costs; it should be a small
# fraction of the page, not a multiple of it.
# Usage: bench/page_write_memory.sh [path/to/pagorra-batch] [WxH] [ext...]
set -euo pipefail
cd "$(dirname "$0")/.."

batch=${1:-build/app/pagorra-batch}
size=${2:-16000x12000}
shift $(($# > 2 ? 2 : $#))
exts=("$@")
[ ${#exts[@]} -gt 0 ] || exts=(bmp gif jpg tif psd pcx pdf png)
photos=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}/photos

[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh --target pagorra-batch" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page_mb=$(awk -v s="$size" 'BEGIN { split(s, d, "x"); printf "%.0f", d[1] * d[2] * 4 / 1048576 }')

printf "page %s (%s MB in memory), load before: %s\n" "$size" "$page_mb" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-6s %9s %10s %14s %10s\n" "format" "seconds" "peak MB" "peak / page" "file MB"
for ext in "${exts[@]}"; do
  out=$work/page.$ext
  /usr/bin/time -v -o "$work/time" "$batch" --page "$size" -o "$out" \
    "$photos/exifsamples_jolla.jpg" "$photos/exifsamples_gps_DSCN0010.jpg" >"$work/out" 2>"$work/err" ||
    { echo "$ext failed:" >&2; cat "$work/err" >&2; continue; }
  awk -F': ' -v ext="$ext" -v page="$page_mb" -v bytes="$(stat -c %s "$out")" '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
    /Maximum resident set size/ { rss = $2 / 1024 }
    END { printf "%-6s %9.2f %10.1f %14.2f %10.1f\n", ext, s, rss, rss / page, bytes / 1048576 }' "$work/time"
  rm -f "$out"
done
