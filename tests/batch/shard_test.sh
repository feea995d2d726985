#!/usr/bin/env bash
# Three slices of a run made side by side by GNU parallel give the very files one run makes:
# the same names, the same pages, titles numbered as in the whole run.
# Usage: shard_test.sh PAGORRA_BATCH TESTDATA
set -euo pipefail
batch=$1
photos=$2/photos
command -v parallel >/dev/null || { echo "GNU parallel is missing (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$work/photos" "$work/one" "$work/shards"
# 130 entries: the last page holds fewer, and the margins leave rows that a page's height
# alone would not tell.
mapfile -t sources < <(ls "$photos"/*.jpg | sort)
for ((i = 0; i < 130; i++)); do
  ln -s "${sources[i % ${#sources[@]}]}" "$(printf '%s/photos/p%03d.jpg' "$work" "$i")"
  printf '%s/photos/p%03d.jpg\n' "$work" "$i"
done >"$work/list"
# Captions make every row taller; the footer counts the pages of the whole run.
options=(--title Trip --page-numbers --margins 40,10,10,120 --cell 120x80 --caption '{name}' --caption-lines 2
  --footer '|{page} of {pages}|')

"$batch" "${options[@]}" -o "$work/one/Sheet.png" "@$work/list" >/dev/null
# -q: parallel would hand the arguments to a shell, which takes the footer's bars as pipes.
parallel -q "$batch" "${options[@]}" --shard {}/3 -o "$work/shards/Sheet.png" "@$work/list" ::: 1 2 3 >/dev/null

(cd "$work/one" && ls) >"$work/one.names"
(cd "$work/shards" && ls) >"$work/shards.names"
if ! diff "$work/one.names" "$work/shards.names"; then
  echo "the slices wrote other files than the whole run" >&2
  exit 1
fi
[ "$(wc -l <"$work/one.names")" -ge 4 ] || { echo "too few pages to slice" >&2; exit 1; }
while read -r name; do
  cmp "$work/one/$name" "$work/shards/$name" || { echo "$name differs" >&2; exit 1; }
done <"$work/one.names"
echo "3 slices wrote the $(wc -l <"$work/one.names") pages of one run"
