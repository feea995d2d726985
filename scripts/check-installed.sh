#!/usr/bin/env bash
# Checks an installed tree as a user meets it: the files a desktop looks for and their validity,
# the manual page and completion of the batch tool, a page made by the installed pagorra-batch,
# and the installed desktop program finding its help document and icon.
# Usage: scripts/check-installed.sh [PREFIX]   (default /usr, where the Debian package installs)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(cd "${1:-/usr}" && pwd -P)
testdata=${PAGORRA_TESTDATA:-$repo/../shared/testdata}
id=com.halvornimaging.Pagorra
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A user of our own: no stored settings change the page, and nothing of the caller's is touched.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

passed=0 failed=0
# check WHAT COMMAND...: counts the command's success, or names WHAT as failed.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "check-installed: FAILED: $what" >&2
    failed=$((failed + 1))
  fi
}

files_present() {
  local file missing=0
  for file in bin/pagorra bin/pagorra-batch share/pagorra/help.html \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/bash-completion/completions/pagorra-batch \
    share/man/man1/pagorra.1.gz share/man/man1/pagorra-batch.1.gz; do
    [ -s "$prefix/$file" ] || { echo "missing $prefix/$file" >&2 && missing=1; }
  done
  return $missing
}
# The PNG icons at the size their folder names.
icons_sized() {
  local side
  for side in 16 22 24 32 48 64 128 256; do
    file -b "$prefix/share/icons/hicolor/${side}x${side}/apps/$id.png" | grep -q "^PNG image data, $side x $side," ||
      return 1
  done
}
manual_pages_complete() {
  local program
  for program in pagorra pagorra-batch; do
    "$repo/packaging/check-manpage.sh" "$prefix/bin/$program" "$prefix/share/man/man1/$program.1.gz" || return 1
  done
}
check "every file in its place" files_present
check "PNG icons of 16 to 256 px" icons_sized
check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
check "every option of --help in the manual pages" manual_pages_complete

# Completion as bash-completion finds and loads it (from the data folders, where a tree under
# another prefix is added as for its desktop entry): options, and file names after -o.
completes() {
  local expected=$1
  shift
  [ "$(PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share} bash -c '
    source /usr/share/bash-completion/bash_completion &&
    __load_completion pagorra-batch && function=$(complete -p pagorra-batch | sed -E "s/.* -F ([^ ]+) .*/\1/") &&
    COMP_WORDS=(pagorra-batch "$@") COMP_CWORD=$# COMP_LINE="pagorra-batch $*" && COMP_POINT=${#COMP_LINE} &&
    "$function" pagorra-batch "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" && printf "%s\n" "${COMPREPLY[@]}"' _ "$@")" = \
    "$expected" ]
}
completes_output_file() { (cd "$work" && touch sheet-to-be.png && completes sheet-to-be.png -o sheet-); }
check "completion of an option" completes --multipage --multi
check "completion of the output file" completes_output_file

# Two photos, one taken with the camera turned, on one page: both placed, the turned one upright
# (a portrait picture leaves its landscape cell's sides to the background), nothing else drawn.
page_made() {
  local out point x y expected pixel found
  out=$("$prefix/bin/pagorra-batch" --page 640x480 --cell 300x200 --margins 10,10,10,10 --no-uniform \
    --no-title --background '#FFFFFF' -o "$work/sheet.png" \
    "$testdata/photos/exifsamples_jolla.jpg" "$testdata/photos/mde_Canon_EOS_1000D_orient6.jpg") || return 1
  grep -qx "1 page(s) written, 2 picture(s) placed" <<<"$out" || { echo "pagorra-batch said: $out" >&2 && return 1; }
  file -b "$work/sheet.png" | grep -q "^PNG image data, 640 x 480," || return 1
  for point in "160 110 photo" "460 110 photo" "375 110 background" "320 400 background"; do
    read -r x y expected <<<"$point"
    pixel=$(vips getpoint "$work/sheet.png" "$x" "$y" | xargs)
    [ "$pixel" = "255 255 255" ] && found=background || found=photo
    [ "$found" = "$expected" ] || { echo "the page shows $found at $x,$y" >&2 && return 1; }
  done
}
check "a page made by pagorra-batch" page_made

# The desktop program, headless, reports where it finds its help document and icon.
finds_help_and_icon() {
  local report
  report=$(PAGORRA_SHOW_INSTALLED_FILES=1 QT_QPA_PLATFORM=offscreen "$prefix/bin/pagorra" 2>/dev/null) || true
  [ "$report" = "help: $prefix/share/pagorra/help.html
icon: 16 22 24 32 48 64 128 256" ] || { echo "pagorra finds: $report" >&2 && return 1; }
}
check "pagorra finds its help document and icon" finds_help_and_icon

echo "check-installed: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
