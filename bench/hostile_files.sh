#!/usr/bin/env bash
# Time and peak memory of pagorra-batch on each kind of hostile file (written fresh by the
# tests' generator), each next to one good picture, and on eight copies of a 22-megapixel
# photo made progressive without loss (jpegtran), at --jobs 1, 2, 4 and 8. Give a second
# pagorra-batch (an older build) to see both side by side.
# Goals: every file given up within the decode limit (20 s), peak memory under 250 MB.
# Usage: bench/hostile_files.sh [pagorra-batch [other pagorra-batch]]
set -euo pipefail
cd "$(dirname "$0")/.."

programs=("${1:-build/app/pagorra-batch}")
[ -n "${2:-}" ] && programs+=("$2")
generator=build/tests/generation/make_hostile_files
data=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}
photo=$data/photos/mde_Canon_EOS_5D_Mark_III_5760x3840.jpg
good=$data/formats/png/pngsuite_basn2c08.png
limit=300 # seconds before a run is stopped and counted as over the limit

for tool in "${programs[@]}" "$generator"; do
  [ -x "$tool" ] || { echo "missing $tool: build first (scripts/build.sh)" >&2; exit 1; }
done
for tool in jpegtran /usr/bin/time timeout; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/hostile" "$work/progressive" "$work/config" && mkdir -m 700 "$work/run"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
kinds=() paths=()
while IFS=$'\t' read -r -d '' kind path; do
  kinds+=("$kind") paths+=("$path")
done < <("$generator" "$work/hostile")
jpegtran -progressive -copy all "$photo" >"$work/progressive/p1.jpg"
for i in 2 3 4 5 6 7 8; do cp "$work/progressive/p1.jpg" "$work/progressive/p$i.jpg"; done

# run PROGRAM ARGS...: "seconds peak-MB pictures-placed" of one run.
run() {
  local program=$1; shift
  /usr/bin/time -f '%e %M' -o "$work/time" timeout "$limit" "$program" -o "$work/out/Sheet.png" "$@" \
    >"$work/stdout" 2>/dev/null || true
  local placed
  placed=$(grep -o '[0-9]* picture(s) placed' "$work/stdout" | cut -d' ' -f1)
  awk -v placed="${placed:-?}" 'END { printf "%8.2f %8.0f %6s", $1, $2 / 1024, placed }' "$work/time"
}

header() {
  printf '%-52s' "$1"
  for i in "${!programs[@]}"; do printf ' | %8s %8s %6s' seconds 'peak MB' placed; done
  echo
}

for i in "${!programs[@]}"; do echo "program $((i + 1)): ${programs[$i]}"; done
echo
mkdir -p "$work/out"
header "hostile kind (with one good picture)"
for i in "${!kinds[@]}"; do
  printf '%-52s' "${kinds[$i]}"
  for p in "${programs[@]}"; do printf ' | %s' "$(run "$p" "$good" "${paths[$i]}")"; done
  echo
done
echo
header "8 progressive copies of a 5760x3840 photo"
for jobs in 1 2 4 8; do
  printf '%-52s' "--jobs $jobs"
  for p in "${programs[@]}"; do printf ' | %s' "$(run "$p" --jobs "$jobs" "$work/progressive")"; done
  echo
done
