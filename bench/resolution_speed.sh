#!/usr/bin/env bash
# Time and peak memory of pagorra-batch making A4 pages at 300 pixels per inch against the same
# run at 96: the same layout (default cell, so 60 photos a page), 3.125 times the pixels each
# way. Numbered PNG pages and one --multipage PDF, over the 300 photos of about 12 megapixels
# that bench/batch_speed.sh makes (made here too when missing).
# Targets: 300 dpi at most 1.5 times the time of 96 dpi; peak memory below 250 MB.
# Usage: bench/resolution_speed.sh [path/to/pagorra-batch]
set -euo pipefail
cd "$(dirname "$0")/.."

batch=${1:-build/app/pagorra-batch}
set_dir=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}/photos-300-12mp
[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh --target pagorra-batch" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (scripts/deps.sh)" >&2; exit 1; }
bench/batch_speed.sh --prepare "$batch"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$set_dir"/*.jpg >/dev/null # the same page-cache state for every run

# run NAME ARGS...: one pagorra-batch run over the set; wall and processor seconds, peak MB.
run() {
  local name=$1; shift
  /usr/bin/time -v -o "$work/$name.time" "$batch" --paper A4 "$@" "$set_dir" >"$work/$name.out" 2>"$work/$name.err" ||
    { echo "$name failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
  awk -F': ' -v name="$name" '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
    /(User|System) time \(seconds\)/ { cpu += $2 }
    /Maximum resident set size/ { rss = $2 / 1024 }
    END { print name, s, cpu, rss }' "$work/$name.time" >>"$work/results"
}

mkdir -p "$work/96" "$work/300"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for dpi in 96 300; do
  run "png-$dpi" --resolution "$dpi" -o "$work/$dpi/Sheet.png"
  run "pdf-$dpi" --resolution "$dpi" --multipage -o "$work/$dpi/Sheets.pdf"
done

echo "photos: $(ls "$set_dir" | wc -l) of ~12 MP, cores: $(nproc), load before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "pages: $(ls "$work/96" | grep -c png) numbered PNG at 96 and at 300 ($(identify -format '%wx%h' "$work/300/Sheet1.png")), PDF $(du -h "$work/300/Sheets.pdf" | cut -f1) at 300"
awk '
  { wall[$1] = $2; cpu[$1] = $3; rss[$1] = $4; order[NR] = $1 }
  END {
    printf "%-8s %9s %12s %9s\n", "run", "seconds", "cpu seconds", "peak MB"
    for (i = 1; i <= NR; i++) printf "%-8s %9.2f %12.2f %9.1f\n", order[i], wall[order[i]], cpu[order[i]], rss[order[i]]
    for (f = 0; f < 2; f++) {
      kind = f ? "pdf" : "png"
      printf "%s: 300 / 96 = %.2f wall, %.2f cpu (target <= 1.5); peak at 300: %.1f MB (target < 250)\n", kind,
             wall[kind "-300"] / wall[kind "-96"], cpu[kind "-300"] / cpu[kind "-96"], rss[kind "-300"]
    }
  }' "$work/results"
