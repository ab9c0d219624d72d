#!/usr/bin/env bash
# Remakes docs/window.png: Pelmora on a virtual X server after the sample pack has been
# dragged onto it from another program. Needs a build (scripts/build pelmora drag_files),
# Xvfb, xdotool and ImageMagick's import.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
runtime=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$runtime/display" \
  >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$runtime/display" ] && break; sleep 0.1; done
export DISPLAY=:$(tr -dc 0-9 <"$runtime/display")
export XDG_RUNTIME_DIR=$runtime
unset QT_QPA_PLATFORM

cp "$root/samples/Autumn.themepack" "$runtime/"
QT_SCALE_FACTOR=2 "$bin/pelmora" >/dev/null 2>&1 &
pids+=($!)
"$bin/drag_files" "$runtime/Autumn.themepack" >/dev/null 2>&1 &
pids+=($!)
window() {
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  return 1
}
target=$(window Pelmora2.1)
source=$(window drag-files)
centre() { eval "$(xdotool getwindowgeometry --shell "$1")"; echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"; }
read -r sx sy < <(centre "$source")
read -r tx ty < <(centre "$target")
xdotool mousemove "$sx" "$sy"; sleep 0.3; xdotool mousedown 1; sleep 0.3
for step in $(seq 1 10); do
  xdotool mousemove $((sx + (tx - sx) * step / 10)) $((sy + (ty - sy) * step / 10)); sleep 0.1
done
sleep 0.3; xdotool mouseup 1
for _ in $(seq 100); do [ -f "$runtime/Autumn/img3.jpg" ] && break; sleep 0.1; done
# The pointer off the window, and a moment for the last report to be painted.
xdotool mousemove 0 0
sleep 1
import -window "$target" "$root/docs/window.png"
echo "wrote docs/window.png"
