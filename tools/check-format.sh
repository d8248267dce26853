#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it, naming
# each such file. Run from the repository root (test.sh does).
set -euo pipefail
bad=$(git ls-files -z '*.cpp' '*.h' '*.c' |
  xargs -0 -r -n 16 -P "$(nproc)" sh -c \
    'for f; do clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "$f"; done' _ | sort)
if [ -n "$bad" ]; then
  while IFS= read -r f; do echo "Not formatted: $f (run: clang-format -i $f)"; done <<<"$bad"
  exit 1
fi
