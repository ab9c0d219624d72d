#!/usr/bin/env bash
# Opens theme packs the way a file manager does, by naming them to the program, on a virtual
# X server: the first start extracts its pack with no drop; a second start while the first
# window runs hands its pack to that window and ends, and only one window exists.
# Usage: open_with_x11.sh path/to/pelmora path/to/cabtool
# Exits 77 (skipped) only when no X server can be started.
set -euo pipefail
program=$1 cabtool=$2
source "$(dirname "$0")/x_server.sh"
start_x_server || { echo "SKIPPED: no X server could be started"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/bootstrap installs it)" >&2; exit 1; }

# Two packs in two folders, each with pictures and a file that is no picture.
make_pack() {
  local folder=$1 name=$2
  mkdir -p "$folder/stage-$name/DesktopBackground"
  ( cd "$folder/stage-$name"
    printf '[Theme]\n' >"$name.theme"
    head -c 40000 /dev/urandom >"DesktopBackground/$name-1.jpg"
    head -c 30000 /dev/urandom >"DesktopBackground/$name-2.png"
    "$cabtool" create -z lzx:21 "$folder/$name.themepack" \
      "$name.theme" "DesktopBackground/$name-1.jpg" "DesktopBackground/$name-2.png" >/dev/null )
}
first=$runtime/first second=$runtime/second
make_pack "$first" Autumn
make_pack "$second" Other

# Waits until the pack's pictures are extracted, byte for byte, and nothing else is.
extracted() {
  local folder=$1 name=$2
  for _ in $(seq 200); do
    [ -f "$folder/$name/$name-1.jpg" ] && [ -f "$folder/$name/$name-2.png" ] && break
    sleep 0.1
  done
  # Called as a condition, where set -e does not act: every step answers for itself.
  cmp "$folder/stage-$name/DesktopBackground/$name-1.jpg" "$folder/$name/$name-1.jpg" || return 1
  cmp "$folder/stage-$name/DesktopBackground/$name-2.png" "$folder/$name/$name-2.png" || return 1
  if [ -e "$folder/$name/$name.theme" ]; then
    echo "$name: the theme file was extracted too" >&2
    return 1
  fi
}

# The first start names its pack relative to its own folder.
( cd "$first" && exec "$program" Autumn.themepack ) >"$runtime/first.log" 2>&1 &
first_pid=$!
pids+=("$first_pid")
window_named Pelmora2.1 >/dev/null || { cat "$runtime/first.log" >&2; exit 1; }
extracted "$first" Autumn || { cat "$runtime/first.log" >&2; exit 1; }
echo "first start: Autumn extracted without a drop"

# The second start, from another folder, must hand its pack over and end by itself.
( cd "$second" && exec "$program" Other.themepack ) >"$runtime/second.log" 2>&1 &
second_pid=$!
pids+=("$second_pid")
for _ in $(seq 100); do
  kill -0 "$second_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$second_pid" 2>/dev/null; then
  echo "the second start is still running: it opened a window of its own" >&2
  cat "$runtime/second.log" >&2
  exit 1
fi
wait "$second_pid" || { echo "the second start failed" >&2; cat "$runtime/second.log" >&2; exit 1; }
extracted "$second" Other || { cat "$runtime/first.log" "$runtime/second.log" >&2; exit 1; }

windows=$(xdotool search --name '^Pelmora2\.1$' | wc -l)
if [ "$windows" -ne 1 ]; then echo "$windows windows named Pelmora2.1, expected one" >&2; exit 1; fi
kill -0 "$first_pid" || { echo "the first window is gone" >&2; exit 1; }
echo "second start: Other handed to the first window and extracted there; one window"
