#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then runs the generation tests once
# more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
[ -x scripts/print-setup.sh ] && scripts/print-setup.sh || true
scripts/build.sh
(cd build && ctest --output-on-failure --timeout 600 "$@")

# The decoding threads, the decode budget and the loader under ThreadSanitizer: a second build
# folder holding only the engine and the generation tests (a few minutes of CI the first time,
# far less from the compiler cache; the run itself takes about a minute).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGORRA_SANITIZE=thread >/dev/null
cmake --build build-tsan --target test_generation
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/scripts/tsan.supp ${TSAN_OPTIONS:-}" build-tsan/tests/generation/test_generation
