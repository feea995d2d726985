#!/usr/bin/env bash
# Starts both programs many times and counts the starts that ended on a signal (a crash).
# Each start runs with a small preloaded watcher that aborts the process when anything writes
# to the environment while a second thread exists: such a write races every getenv of the
# other threads, which crashes only now and then, so the watcher turns a rare crash into a
# certain one. Pass --unwatched to count the crashes as they come.
#   pagorra-batch: a run over a JPEG, a PNG, a BMP and a TIFF, two decoding threads;
#   pagorra: on an X server (Xvfb) when one can be started, else off-screen, stopped with
#            SIGTERM once its window is up and idle.
# Usage: bench/startup_loop.sh [--unwatched] [starts (500)] [build folder (build)]
set -euo pipefail
cd "$(dirname "$0")/.."

watch=1
if [ "${1:-}" = "--unwatched" ]; then watch=0; shift; fi
starts=${1:-500}
build=${2:-build}
data=${PAGORRA_TESTDATA:-$(cd .. && pwd)/shared/testdata}
for program in "$build/app/pagorra-batch" "$build/app/pagorra"; do
  [ -x "$program" ] || { echo "build the programs first: scripts/build.sh" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

preload=
if [ "$watch" -eq 1 ]; then
  cat >"$work/envwatch.c" <<'EOF'
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static int threads(void)
{
    int n = 0;
    DIR *d = opendir("/proc/self/task");
    if (!d)
        return 1;
    for (struct dirent *e; (e = readdir(d));)
        n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

static void check(const char *what, const char *name)
{
    if (threads() > 1) {
        dprintf(2, "envwatch: %s(%s) while %d threads run\n", what, name, threads());
        abort();
    }
}

int setenv(const char *name, const char *value, int overwrite)
{
    check("setenv", name);
    return ((int (*)(const char *, const char *, int))dlsym(RTLD_NEXT, "setenv"))(name, value, overwrite);
}
int unsetenv(const char *name)
{
    check("unsetenv", name);
    return ((int (*)(const char *))dlsym(RTLD_NEXT, "unsetenv"))(name);
}
int putenv(char *string)
{
    check("putenv", string);
    return ((int (*)(char *))dlsym(RTLD_NEXT, "putenv"))(string);
}
int clearenv(void)
{
    check("clearenv", "");
    return ((int (*)(void))dlsym(RTLD_NEXT, "clearenv"))();
}
EOF
  cc -shared -fPIC -O2 -o "$work/envwatch.so" "$work/envwatch.c" -ldl
  preload=$work/envwatch.so
fi

inputs=("$data/photos/$(ls "$data/photos" | head -1)" "$data/formats/png/pngsuite_basn2c08.png"
  "$data/formats/bmp/bmpsuite_rgb24.bmp" "$data/formats/tiff/pillow_hopper_lzw.tif")
mkdir -p "$work/config" "$work/out" && mkdir -m 700 "$work/run"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run

# An X server makes Qt start its event-reader and D-Bus threads before the main window loads.
display_kind=offscreen
if command -v Xvfb >/dev/null; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if [ -e "/tmp/.X11-unix/X$n" ]; then display_kind="Xvfb :$n"; export DISPLAY=":$n"; break; fi
    kill "$xvfb_pid" 2>/dev/null; xvfb_pid=
  done
fi

# cpu_ticks PID: user + system clock ticks the process has used so far.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo gone; }

batch_bad=0 desktop_bad=0 batch_ms=0
for ((i = 1; i <= starts; i++)); do
  t0=$(date +%s%N)
  set +e
  LD_PRELOAD=$preload "$build/app/pagorra-batch" --jobs 2 -o "$work/out/Sheet.png" "${inputs[@]}" \
    >/dev/null 2>"$work/batch.err"
  status=$?
  set -e
  batch_ms=$((batch_ms + ($(date +%s%N) - t0) / 1000000))
  if [ "$status" -ge 128 ]; then
    batch_bad=$((batch_bad + 1))
    echo "pagorra-batch start $i: ended on signal $((status - 128)): $(tail -1 "$work/batch.err")" >&2
  fi

  if [ -n "${DISPLAY:-}" ]; then platform=xcb; else platform=offscreen; fi
  QT_QPA_PLATFORM=$platform LD_PRELOAD=$preload "$build/app/pagorra" >/dev/null 2>"$work/desktop.err" &
  pid=$!
  # Up and idle: the process has used no processor time for 60 ms, at least 300 ms after it started.
  last=-1 idle=0 waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 1500 ]; do
    sleep 0.02
    waited=$((waited + 1))
    ticks=$(cpu_ticks "$pid")
    if [ "$ticks" = "$last" ]; then idle=$((idle + 1)); else idle=0; last=$ticks; fi
    [ "$idle" -ge 3 ] && [ "$waited" -ge 15 ] && break
  done
  kill -TERM "$pid" 2>/dev/null || true
  set +e
  wait "$pid"
  status=$?
  set -e
  if [ "$status" -ge 128 ] && [ "$status" -ne 143 ]; then
    desktop_bad=$((desktop_bad + 1))
    echo "pagorra start $i: ended on signal $((status - 128)): $(tail -1 "$work/desktop.err")" >&2
  fi
done

echo "starts of each program: $starts, environment watcher: $([ "$watch" -eq 1 ] && echo on || echo off)," \
  "desktop program on: $display_kind"
echo "pagorra-batch: $batch_bad ended on a signal; mean run $((batch_ms / starts)) ms"
echo "pagorra:       $desktop_bad ended on a signal other than the SIGTERM that stops it"
[ "$batch_bad" -eq 0 ] && [ "$desktop_bad" -eq 0 ]
