#!/usr/bin/env bash
# The game's own figures under a private 1280 x 1024 X display: start to first frame
# against a bare SDL2 OpenGL window, the idle menu's CPU and memory, a 400-unit fight's
# frame rate and battle clock, and its memory over five minutes (see ingame.py).
#
#   tools/perf/ingame.sh [BUILD_DIR] [ingame.py options]
#
# BUILD_DIR defaults to build/release (./play.sh builds it); it must hold zentrak.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../../build/release"
# A first word that is not an option names the build folder.
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  build="$1"
  shift
fi
for word in "$@"; do
  case "$word" in -h | --help) exec python3 "$here/ingame.py" --help ;; esac
done
if [ ! -x "$build/zentrak" ]; then
  echo "No zentrak in $build: build it first (cmake --build $build --target zentrak)" >&2
  exit 1
fi
mkdir -p "$build/perf"
cc -O2 -Wall -o "$build/perf/bare_window" "$here/bare_window.c" $(pkg-config --cflags --libs sdl2 epoxy)
exec python3 "$here/ingame.py" --game "$build/zentrak" --bare "$build/perf/bare_window" "$@"
