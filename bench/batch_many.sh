#!/usr/bin/env bash
# pagorra-batch on very long lists: 10,000 and then 100,000 small pictures given as an @list,
# written as numbered JPEG pages. Prints, per run, the time, the time per picture and the peak
# resident memory, and how the per-picture time of the long run compares with the short one.
# Targets: peak below 250 MB for 100,000; per-picture time within 10 % of the 10,000 run.
# The pictures (320 x 213, about 20 kB) are hard links to a few made from the test photos,
# cached outside the repository (PAGORRA_BENCH_CACHE, default ~/.cache/pagorra-bench).
# Usage: bench/batch_many.sh [largest count (100000)] [path/to/pagorra-batch]
set -euo pipefail
cd "$(dirname "$0")/.."

largest=${1:-100000}
batch=$(realpath "${2:-build/app/pagorra-batch}")
photos_src=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}/photos
cache=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}
set_dir=$cache/small-$largest

[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh" >&2; exit 1; }
for tool in vipsthumbnail /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh)" >&2; exit 1; }
done

if [ ! -d "$set_dir" ]; then
  echo "linking $largest small pictures into $set_dir (once)" >&2
  mkdir -p "$set_dir.part/src"
  for photo in "$photos_src"/*.jpg; do
    vipsthumbnail "$photo" --size 320x320 -o "$set_dir.part/src/%s.jpg[Q=85,strip]"
  done
  mapfile -t sources < <(ls "$set_dir.part/src"/*.jpg | sort)
  for ((i = 0; i < largest; i++)); do
    ln -f "${sources[i % ${#sources[@]}]}" "$(printf '%s/p%06d.jpg' "$set_dir.part" "$i")"
  done
  mv "$set_dir.part" "$set_dir"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
find "$set_dir" -maxdepth 1 -name 'p*.jpg' | sort >"$work/all"

# One run over the first COUNT pictures; prints "SECONDS PEAK_KB".
run() {
  local count=$1
  sed -n "1,${count}p" "$work/all" >"$work/list"
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f '%e %M' -o "$work/time" "$batch" -o "$work/out/Sheet.jpg" "@$work/list" >/dev/null 2>&1
  cat "$work/time"
}

small=$((largest / 10))
read -r small_secs small_peak < <(run "$small")
read -r large_secs large_peak < <(run "$largest")
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v n1="$small" -v s1="$small_secs" -v p1="$small_peak" -v n2="$largest" -v s2="$large_secs" -v p2="$large_peak" '
  BEGIN {
    printf "%7d pictures: %7.1f s, %.3f ms a picture, peak %6.1f MB\n", n1, s1, s1 / n1 * 1000, p1 / 1024
    printf "%7d pictures: %7.1f s, %.3f ms a picture, peak %6.1f MB\n", n2, s2, s2 / n2 * 1000, p2 / 1024
    printf "per-picture time of the long run: %.2f of the short one (target within 1.10); peak target 250 MB\n",
      (s2 / n2) / (s1 / n1)
  }'
