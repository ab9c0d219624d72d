#!/usr/bin/env bash
# Drags theme packs from another program onto the running Pelmora window through the X11
# drag-and-drop protocol, on a virtual X server, and checks what the window extracted.
# Usage: drop_on_x11.sh path/to/pelmora path/to/drag_files path/to/cabtool
# Exits 77 (skipped) only when no X server can be started.
set -euo pipefail
program=$1 dragger=$2 cabtool=$3
source "$(dirname "$0")/x_server.sh"
start_x_server || { echo "SKIPPED: no X server could be started"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/bootstrap installs it)" >&2; exit 1; }

# The packs: pictures in nested folders, one with an upper-case extension, and a file that
# only looks like a pack.
packs=$runtime/packs
mkdir -p "$packs/stage/DesktopBackground/deeper"
( cd "$packs/stage"
  printf '[Theme]\n' >Autumn.theme
  head -c 30000 /dev/urandom >DesktopBackground/img1.jpg
  head -c 20000 /dev/urandom >DesktopBackground/deeper/IMG2.PNG
  "$cabtool" create -z lzx:21 "$packs/Autumn.themepack" \
    Autumn.theme DesktopBackground/img1.jpg DesktopBackground/deeper/IMG2.PNG >/dev/null )
printf 'not a cabinet' >"$packs/Broken.themepack"

"$program" >"$runtime/pelmora.log" 2>&1 &
pids+=($!)
target=$(window_named Pelmora2.1)
"$dragger" "$packs/Autumn.themepack" "$packs/Broken.themepack" >"$runtime/drag.log" 2>&1 &
drag_pid=$!
pids+=("$drag_pid")
source_window=$(window_named drag-files)
drag_from_to "$source_window" "$target"
if ! wait "$drag_pid"; then
  echo "the drop was not accepted:" >&2
  cat "$runtime/drag.log" "$runtime/pelmora.log" >&2
  exit 1
fi

# The window extracts on its own thread: wait for the pictures.
out=$packs/Autumn
for _ in $(seq 200); do
  [ -f "$out/img1.jpg" ] && [ -f "$out/IMG2.PNG" ] && break
  sleep 0.1
done
cmp "$packs/stage/DesktopBackground/img1.jpg" "$out/img1.jpg"
cmp "$packs/stage/DesktopBackground/deeper/IMG2.PNG" "$out/IMG2.PNG"
if [ -e "$out/Autumn.theme" ]; then echo "the theme file was extracted too" >&2; exit 1; fi
echo "dropped from another program over X11: Autumn extracted ($(ls "$out" | tr '\n' ' '))"
