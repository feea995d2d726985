#!/usr/bin/env bash
# The desktop program on a large basket, driven as a user would under Xvfb: `pagorra FOLDER`
# puts the folder in the basket, Generate is clicked (xdotool), the program is closed with
# Exit, its settings are changed in the store file, and it is started again. Prints, per run,
# the Generate time and the peak resident memory of the process:
#   1. first Generate, the thumbnail cache empty;
#   2. after changing only the title (target: at most a fifth of run 1);
#   3. after changing only a margin (target: at most a fifth of run 1);
#   4. after changing the cell size (target: no slower than run 1).
# The pages are A4 at the default cell (140 x 88), at 96 pixels per inch or the resolution given.
# Runs 2 to 4 are new processes: their thumbnails come from the cache on disk, the harder case
# (a Generate in the same window finds them in memory as well).
# A Generate ends when the process has used no processor time for a while; its time is taken
# up to its last busy moment (50 ms resolution).
# The photos (about 12 megapixels) are hard links to the 300 of bench/batch_speed.sh, cached
# outside the repository (PAGORRA_BENCH_CACHE, default ~/.cache/pagorra-bench).
# Usage: bench/desktop_generate.sh [photos (2000)] [resolution (96)] [path/to/pagorra]
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-2000}
resolution=${2:-96}
program=$(realpath "${3:-build/app/pagorra}")
cache=${PAGORRA_BENCH_CACHE:-$HOME/.cache/pagorra-bench}
set_dir=$cache/photos-$count-12mp

for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh)" >&2; exit 1; }
done
[ -x "$program" ] || { echo "build the program first: scripts/build.sh" >&2; exit 1; }
[ -d "$cache/photos-300-12mp" ] || bench/batch_speed.sh --prepare
if [ ! -d "$set_dir" ]; then
  echo "linking $count photos into $set_dir (once)" >&2
  mkdir -p "$set_dir.part"
  mapfile -t sources < <(ls "$cache"/photos-300-12mp/*.jpg | sort)
  for ((i = 0; i < count; i++)); do
    ln -f "${sources[i % ${#sources[@]}]}" "$(printf '%s/photo%05d.jpg' "$set_dir.part" "$i")"
  done
  mv "$set_dir.part" "$set_dir"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
settings=$XDG_CONFIG_HOME/pagorra/settings.json

# change KEY VALUE [SECTION]: one stored value, as the settings dialog would save it.
change() {
  python3 - "$settings" "$@" <<'PY'
import json, sys
path, key, value = sys.argv[1:4]
section = sys.argv[4] if len(sys.argv) > 4 else "Pagorra"
with open(path) as f:
    store = json.load(f)
def find(node):
    if isinstance(node, dict):
        if section in node and isinstance(node[section], dict):
            return node[section]
        for child in node.values():
            found = find(child)
            if found is not None:
                return found
    return None
values = find(store)
if values is None:
    sys.exit("no section " + section + " in " + path)
values[key] = {"data": value, "type": 1}
with open(path, "w") as f:
    json.dump(store, f)
PY
}

# One start of the program under its own X server; prints "SECONDS PEAK_KB".
run_once() {
  xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
    program=$1 folder=$2
    "$program" "$folder" 2>/dev/null &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name "Arvok Pagorra" | head -1) ||
      { echo "no window" >&2; kill "$pid"; exit 1; }
    sleep 2 # the basket is filled and the window settles
    ticks() { awk "{ print \$14 + \$15 }" "/proc/$pid/stat"; }
    # Generate and Exit where the window puts them at its first size (921 x 601).
    first=$(ticks)
    start=$(date +%s%N)
    xdotool mousemove --window "$window" 180 520 click 1
    last=$first busy=$start idle=0
    while [ "$idle" -lt 50 ]; do
      sleep 0.02
      now=$(ticks)
      if [ "$now" != "$last" ]; then last=$now busy=$(date +%s%N) idle=0; else idle=$((idle + 1)); fi
    done
    peak=$(awk "/VmHWM/ { print \$2 }" "/proc/$pid/status")
    xdotool mousemove --window "$window" 40 585 click 1
    wait "$pid" || true
    awk -v a="$start" -v b="$busy" -v p="$peak" -v c=$((last - first)) -v hz="$(getconf CLK_TCK)" \
      "BEGIN { printf \"%.2f %d %.2f\n\", (b - a) / 1e9, p, c / hz }"
  ' _ "$program" "$set_dir"
}

# A first start writes every value; the resolution is then set as the dialog would.
first_start=$(run_once)
# A4 pages at the default cell, at the resolution asked for.
change Paper A4 Output && change Resolution "$resolution" Output
change PageWidth 794 && change PageHeight 1123
rm -rf "$XDG_CACHE_HOME"
results=()
results+=("first $(run_once)")
change AddTitle 1 && change Title "Another title"
results+=("title $(run_once)")
change PageMarginLeft 20
results+=("margin $(run_once)")
change ThumbnailWidth 160 && change ThumbnailHeight 100
results+=("cell $(run_once)")

echo "photos: $count of ~12 MP, resolution $resolution dpi, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${results[@]}" | awk '
  { name[NR] = $1; secs[NR] = $2; peak[NR] = $3; cpu[NR] = $4 }
  END {
    for (i = 1; i <= NR; i++)
      printf "%-7s Generate %7.2f s (%.2f of the first), %7.2f cpu s (%.2f), peak %6.1f MB\n",
        name[i], secs[i], secs[i] / secs[1], cpu[i], cpu[i] / cpu[1], peak[i] / 1024
    printf "title and margin: at most 0.20 of the first; cell: at most 1.00; peak at most 400 MB\n"
  }'
echo "thumbnail cache after the runs: $(du -sh "$XDG_CACHE_HOME/pagorra/thumbnails" 2>/dev/null | cut -f1)"
