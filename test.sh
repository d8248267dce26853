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
jobs=$(nproc)
# LeakSanitizer's exit-time tracer now and then crashes ("Tracer caught signal 11") in a
# program that drew with Mesa's threads; a test that fails is run once more, so only a
# failure that repeats fails the run.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build/asan --output-on-failure -j "$jobs" \
  --repeat until-pass:2
