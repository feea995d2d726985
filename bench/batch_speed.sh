#!/usr/bin/env bash
# Speed and memory of pagorra-batch against two reference tools on the same photos:
#   - vipsthumbnail, two processes of half the files each (thumbnails only, no pages);
#   - djpeg -scale 1/8, two-wide (the cost of decoding alone, a floor).
# Then pagorra-batch once more per multipage format, four photos a page (75 pages), for the
# peak memory of a document that grows with the basket.
# The 300 photos of about 12 megapixels are made once from the test photos and cached
# outside the repository (PAGORRA_BENCH_CACHE, default ~/.cache/pagorra-bench).
# Usage: bench/batch_speed.sh [--prepare] [path/to/pagorra-batch [path/to/other/pagorra-batch]]
#   --prepare: make the set only. With a second pagorra-batch (an older build, say), only the
#   two are timed, alternately, five runs each, and their medians compared.
set -euo pipefail
cd "$(dirname "$0")/.."

prepare_only=0
if [ "${1:-}" = "--prepare" ]; then prepare_only=1; shift; fi
batch=${1:-build/app/pagorra-batch}
other=${2:-}
photos_src=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}/photos
cache=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}
set_dir=$cache/photos-300-12mp
count=300

[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh --target pagorra-batch" >&2; exit 1; }
for tool in vips vipsthumbnail djpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh)" >&2; exit 1; }
done

make_set() {
  echo "making $count photos of ~12 MP in $set_dir (once)" >&2
  local tmp=$set_dir.part
  rm -rf "$tmp" && mkdir -p "$tmp"
  mapfile -t sources < <(ls "$photos_src"/*.jpg | sort)
  local n=${#sources[@]} i
  for ((i = 0; i < count; i++)); do
    local src=${sources[i % n]}
    printf '%s\0%s\0' "$src" "$(printf '%s/photo%03d.jpg' "$tmp" "$i")"
  done | xargs -0 -n2 -P2 sh -c '
    w=$(vipsheader -f width "$1"); h=$(vipsheader -f height "$1")
    scale=$(awk -v w="$w" -v h="$h" "BEGIN { printf \"%.6f\", sqrt(12000000 / (w * h)) }")
    vips resize "$1" "$2[Q=90]" "$scale" --kernel cubic' _
  mv "$tmp" "$set_dir"
}
[ -d "$set_dir" ] && [ "$(ls "$set_dir" | wc -l)" -eq "$count" ] || make_set
[ "$prepare_only" -eq 1 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$set_dir"/*.jpg >/dev/null # same page-cache state for every tool

# measure NAME COMMAND...: wall seconds, processor seconds (user + system, every process of
# the command) and peak resident memory (kB). On a shared machine the wall clock follows the
# other load; the processor seconds hardly do, so both ratios are given.
measure() {
  local name=$1; shift
  /usr/bin/time -v -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" ||
    { echo "$name failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
  local wall cpu rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/$name.time")
  cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ { s += $2 } END { print s }' "$work/$name.time")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/$name.time")
  echo "$name $wall $cpu $rss" >>"$work/results"
}

if [ -n "$other" ]; then
  [ -x "$other" ] || { echo "no such program: $other" >&2; exit 1; }
  mkdir -p "$work/pages"
  for round in 1 2 3 4 5; do
    measure "a$round" "$batch" -o "$work/pages/Sheet.png" "$set_dir"
    measure "b$round" "$other" -o "$work/pages/Sheet.png" "$set_dir"
  done
  echo "photos: $count of ~12 MP, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "a: $batch"
  echo "b: $other"
  awk '
    function median(v, n,   i, j, t) {
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      return v[int((n + 1) / 2)]
    }
    { k = substr($1, 1, 1); n[k]++; wall[k, n[k]] = $2; cpu[k, n[k]] = $3; rss[k, n[k]] = $4 }
    END {
      for (k in n) {
        for (i = 1; i <= n[k]; i++) { w[i] = wall[k, i]; c[i] = cpu[k, i]; r[i] = rss[k, i] }
        mw[k] = median(w, n[k]); mc[k] = median(c, n[k]); mr[k] = median(r, n[k])
        printf "%s: median of %d runs: %.2f s wall, %.2f cpu seconds, %.1f MB peak\n", k, n[k], mw[k], mc[k], mr[k] / 1024
      }
      printf "a / b: %.3f wall, %.3f cpu (target <= 1.05)\n", mw["a"] / mw["b"], mc["a"] / mc["b"]
    }' "$work/results"
  exit 0
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$work/pages" "$work/thumbs"
measure pagorra-batch "$batch" -o "$work/pages/Sheet.png" "$set_dir"
measure vipsthumbnail-x2 sh -c "ls '$set_dir'/*.jpg | xargs -n $((count / 2)) -P2 vipsthumbnail -s 140x88 -o '$work/thumbs/%s.jpg'"
measure djpeg-scale8-x2 sh -c "ls '$set_dir'/*.jpg | xargs -n $((count / 2)) -P2 sh -c 'for f; do djpeg -scale 1/8 \"\$f\" >/dev/null; done' _"
pages=$(ls "$work/pages" | wc -l)
for ext in tif pdf; do
  measure "multipage-$ext" "$batch" --multipage --page 800x600 --cell 380x280 -o "$work/book.$ext" "$set_dir"
done

echo "photos: $count of ~12 MP ($(du -sh "$set_dir" | cut -f1)), cores: $(nproc), load before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "pagorra-batch wrote $pages pages"
awk '
  { name[NR] = $1; wall[NR] = $2; cpu[NR] = $3; rss[NR] = $4 }
  END {
    printf "%-18s %9s %12s %12s\n", "tool", "seconds", "cpu seconds", "peak MB"
    for (i = 1; i <= NR; i++) printf "%-18s %9.2f %12.2f %12.1f\n", name[i], wall[i], cpu[i], rss[i] / 1024
    printf "ratio pagorra-batch / vipsthumbnail-x2: %.2f wall, %.2f cpu (target <= 1.0)\n", wall[1] / wall[2], cpu[1] / cpu[2]
    printf "ratio pagorra-batch / djpeg-scale8-x2:   %.2f wall, %.2f cpu (target <= 1.2)\n", wall[1] / wall[3], cpu[1] / cpu[3]
    printf "pagorra-batch peak memory: %.1f MB (target < 250)\n", rss[1] / 1024
    for (i = 4; i <= NR; i++) printf "%s (75 pages) peak memory: %.1f MB (target < 250)\n", name[i], rss[i] / 1024
  }' "$work/results"
echo "(peak memory of the two-wide tools is that of the largest single process)"
