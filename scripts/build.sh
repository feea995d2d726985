#!/usr/bin/env bash
# Configures and builds into build/ (creates it on first use).
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout, so that several checkouts share one compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build "$@"
