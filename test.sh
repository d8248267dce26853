#!/usr/bin/env bash
# Installs what is missing, checks the C++ formatting, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (under a virtual X display for the ones that draw).
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
zentrak_ensure_packages
tools/check-format.sh
# Line tables (-g1) are all the sanitizers' reports need, and they halve the debug
# information the compiler writes and the linker reads.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENTRAK_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 >/dev/null
cmake --build build/asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Every drawing test must draw here: one that cannot open its window fails with the reason.
export ZENTRAK_TESTS_MUST_DRAW=1
jobs=$(nproc)
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build/asan --output-on-failure -j "$jobs"
