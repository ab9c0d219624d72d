#!/usr/bin/env bash
# Starts Pelmora on a virtual X server at 96 DPI and checks the real window: its caption and
# a client area of 292 by 123 pixels; then once more at twice the density, where every size
# doubles. Usage: window_on_x11.sh path/to/pelmora
set -euo pipefail
program=$1
source "$(dirname "$0")/x_server.sh"
start_x_server || exit 1

# Waits for the window named Pelmora2.1 and prints "width height" of its client area.
client_size() {
  for _ in $(seq 100); do
    if info=$(xwininfo -name Pelmora2.1 2>/dev/null); then
      width=$(awk '/^  Width:/ {print $2}' <<<"$info")
      height=$(awk '/^  Height:/ {print $2}' <<<"$info")
      echo "$width $height"
      return 0
    fi
    sleep 0.1
  done
  echo "no window named Pelmora2.1 appeared" >&2
  return 1
}

check() {
  local expected=$1 scale=$2
  QT_SCALE_FACTOR=$scale "$program" >"$runtime/pelmora.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  local size
  if ! size=$(client_size); then
    cat "$runtime/pelmora.log" >&2
    return 1
  fi
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  # The server drops the window once it sees the connection close; the next check must not
  # measure the old one.
  for _ in $(seq 50); do
    xwininfo -name Pelmora2.1 >/dev/null 2>&1 || break
    sleep 0.1
  done
  if [ "$size" != "$expected" ]; then
    echo "client area at scale $scale: $size, expected $expected" >&2
    cat "$runtime/pelmora.log" >&2
    return 1
  fi
  echo "scale $scale: client area $size"
}

check "292 123" 1
check "584 246" 2
