#!/usr/bin/env bash
# What captions and a footer cost: pagorra-batch over the 300 photos of batch_speed.sh, with
# and without --caption/--footer, alternately, five runs each, and the medians compared.
# Usage: bench/caption_speed.sh [path/to/pagorra-batch]   (goal: captions <= 1.10)
set -euo pipefail
cd "$(dirname "$0")/.."
batch=${1:-build/app/pagorra-batch}
[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh --target pagorra-batch" >&2; exit 1; }
bench/batch_speed.sh --prepare "$batch"
set_dir=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}/photos-300-12mp

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$set_dir"/*.jpg >/dev/null # the same page-cache state for both
captions=(--caption $'{name}\n{date} {exposure} f/{aperture}' --caption-lines 2
  --footer '{title}|{first} to {last}|Page {page} of {pages}')

# run NAME ARGS...: appends "NAME wall cpu" (seconds) to the results.
run() {
  local name=$1; shift
  /usr/bin/time -f "$name %e %U %S" -a -o "$work/times" "$batch" "$@" -o "$work/Sheet.png" "$set_dir" >/dev/null 2>"$work/err" ||
    { cat "$work/err" >&2; exit 1; }
}
for round in 1 2 3 4 5; do
  run plain
  run captions "${captions[@]}"
done
echo "photos: 300 of ~12 MP, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
awk '
  function median(v, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return v[int((n + 1) / 2)]
  }
  { k = $1; n[k]++; wall[k, n[k]] = $2; cpu[k, n[k]] = $3 + $4 }
  END {
    for (k in n) {
      for (i = 1; i <= n[k]; i++) { w[i] = wall[k, i]; c[i] = cpu[k, i] }
      mw[k] = median(w, n[k]); mc[k] = median(c, n[k])
      printf "%-8s median of %d runs: %.2f s wall, %.2f cpu seconds\n", k, n[k], mw[k], mc[k]
    }
    printf "captions / plain: %.3f wall, %.3f cpu (goal <= 1.10)\n", mw["captions"] / mw["plain"], mc["captions"] / mc["plain"]
  }' "$work/times"
