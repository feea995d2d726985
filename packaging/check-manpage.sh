#!/usr/bin/env bash
# Fails when an option that `PROGRAM --help` shows is not an item of the manual page.
# Usage: check-manpage.sh PROGRAM MANUAL-PAGE (the page as roff source, gzipped or not)
set -euo pipefail
program=$1 page=$2

# The item tags (the line after each .TP), without roff's escaped dashes and font changes.
tags=$(zcat -f -- "$page" | awk 'previous == ".TP" { print } { previous = $1 }' | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g')
# Every name of every option ("-o, --output <OUTPUT>" gives -o and --output): the option lines'
# first column, up to the gap before the option's description.
options=$("$program" --help | sed -nE 's/^[[:space:]]+(-[^[:space:]].*)/\1/p' | sed -E 's/  .*//' |
  grep -oE -- '(^|[ ,])-{1,2}[[:alnum:]][[:alnum:]-]*' | sed -E 's/^[ ,]//')
if [ -z "$options" ]; then
  echo "check-manpage: $program --help shows no options" >&2
  exit 1
fi

missing=0
for option in $options; do
  if ! grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|\$)" <<<"$tags"; then
    echo "check-manpage: $page does not describe $option" >&2
    missing=1
  fi
done
exit $missing
