#!/usr/bin/env bash
# Every goal of large baskets, measured side by side in one run on this machine:
#   - the desktop program on 2,000 photos of about 12 MP, A4 pages at 96 and at 300 dpi: peak
#     memory (at most 400 MB) and the Generate times after changing only the title, only a
#     margin (at most a fifth of the first) and the cell size (no slower than the first);
#   - page flips of A4 pages at 300 dpi put aside in the cache folder (below 150 ms);
#   - Add Folder and a drop of 100,000 files: the longest the window went without repainting
#     (100 ms) and the time until the basket is filled (3 s);
#   - pagorra-batch on 100,000 small pictures from an @list (peak below 250 MB, time per
#     picture within 10 % of a 10,000-picture run);
#   - bench/batch_speed.sh against vipsthumbnail and djpeg.
# Usage: bench/big_runs.sh [photos (2000)] [files (100000)]
set -euo pipefail
cd "$(dirname "$0")/.."
photos=${1:-2000}
files=${2:-100000}

section() { printf '\n== %s\n' "$1"; }
section "desktop program, $photos photos, A4 at 96 dpi"
bench/desktop_generate.sh "$photos" 96
section "desktop program, $photos photos, A4 at 300 dpi"
bench/desktop_generate.sh "$photos" 300
section "page flips, A4 at 300 dpi"
bench/page_flip.sh 300
section "Add Folder of $files files"
bench/addfolder_stall.sh "$files" 3
section "a drop of $files files"
PAGORRA_BENCH_DROP=1 bench/addfolder_stall.sh "$files" 3
section "pagorra-batch on $files pictures from an @list"
bench/batch_many.sh "$files"
section "pagorra-batch against vipsthumbnail and djpeg"
bench/batch_speed.sh
