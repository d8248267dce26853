#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it. Unless ZENTRAK_SERVER names a
# game server, the shipped local one (tools/gameserver, seeded with players, messages and
# challenges) runs on a free loopback port while the game runs.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
zentrak_ensure_packages
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRAK_BUILD_TESTS=OFF -DZENTRAK_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target zentrak

server_pid=""
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
}
if [ -z "${ZENTRAK_SERVER:-}" ]; then
  data="build/release/gameserver-data"
  mkdir -p "$data"
  port_file="$data/port"
  rm -f "$port_file"
  python3 tools/gameserver/gameserver.py --port 0 --seed --data "$data" --port-file "$port_file" \
    >"$data/server.log" 2>&1 &
  server_pid=$!
  trap stop_server EXIT
  for _ in $(seq 1 100); do
    [ -s "$port_file" ] && break
    sleep 0.1
  done
  if [ -s "$port_file" ]; then
    export ZENTRAK_SERVER="http://127.0.0.1:$(cat "$port_file")"
  else
    echo "The local game server did not start (see $data/server.log); playing offline."
  fi
fi
cd build/release
./zentrak "$@"
