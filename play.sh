#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
zentrak_ensure_packages
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRAK_BUILD_TESTS=OFF -DZENTRAK_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target zentrak
cd build/release
exec ./zentrak "$@"
