#!/usr/bin/env bash
# Time and peak memory of pagorra-batch starting from a large but valid settings file: the
# settings must be read once per start, whatever else the file holds.
# Two files of about 100 MB each, made in a temporary folder:
#   - many: a section of another program holding 1.3 million short values beside ours;
#   - long: our own section with one 100 MB value (a title pasted from somewhere).
# Each is timed on a run that places two small photos, then once with no settings file at all.
# Usage: bench/settings_load.sh [path/to/pagorra-batch]
set -euo pipefail
cd "$(dirname "$0")/.."

batch=$(realpath "${1:-build/app/pagorra-batch}")
photos=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}/photos
[ -x "$batch" ] || { echo "build pagorra-batch first: scripts/build.sh --target pagorra-batch" >&2; exit 1; }
[ -d "$photos" ] || { echo "missing $photos (set PAGORRA_TESTDATA)" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# settings_file <kind> <path>
settings_file() {
  mkdir -p "$(dirname "$2")"
  awk -v kind="$1" 'BEGIN {
    printf "{\"Software\\\\Halvorn Imaging\": {\"Arvok Pagorra\": {\"Pagorra\": {"
    printf "\"PageWidth\": {\"type\": 1, \"data\": \"640\"}, \"Title\": {\"type\": 1, \"data\": \""
    if (kind == "long") {
      chunk = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvw"
      for (i = 0; i < 1048576; i++) printf "%s", chunk
    } else {
      printf "Trip"
    }
    printf "\"}}, \"Other Tool\": {\"Main\": {"
    if (kind == "many")
      for (i = 0; i < 1300000; i++)
        printf "%s\"Value%07d\": {\"type\": 1, \"data\": \"%s\"}", (i ? ", " : ""), i, "something of 40 characters, or near it"
    printf "}}}}}\n"
  }' >"$2"
}

printf '%-8s %10s %10s %12s\n' file size seconds "peak RSS"
for kind in none many long; do
  config=$work/$kind
  if [ "$kind" != none ]; then settings_file "$kind" "$config/pagorra/settings.json"; fi
  size=$( [ -f "$config/pagorra/settings.json" ] && du -m "$config/pagorra/settings.json" | cut -f1 || echo 0)
  XDG_CONFIG_HOME=$config /usr/bin/time -f '%e %M' -o "$work/time" \
    "$batch" -o "$work/out-$kind.png" "$photos/exifsamples_jolla.jpg" "$photos/exifsamples_nikon-e950.jpg" >/dev/null 2>"$work/err" ||
    { cat "$work/err" >&2; exit 1; }
  read -r seconds rss <"$work/time"
  printf '%-8s %8s MB %10s %9s MB\n' "$kind" "$size" "$seconds" "$((rss / 1024))"
done
