#!/usr/bin/env bash
# Remakes docs/window.png: Pelmora on a virtual X server after the sample pack has been
# dragged onto it from another program. Needs a build (scripts/build pelmora drag_files),
# Xvfb, xdotool and ImageMagick's import.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
source "$root/tests/app/x_server.sh"
start_x_server || exit 1

cp "$root/samples/Autumn.themepack" "$runtime/"
QT_SCALE_FACTOR=2 "$bin/pelmora" >/dev/null 2>&1 &
pids+=($!)
"$bin/drag_files" "$runtime/Autumn.themepack" >/dev/null 2>&1 &
pids+=($!)
drag_from_to "$(window_named drag-files)" "$(window_named Pelmora2.1)"
for _ in $(seq 100); do [ -f "$runtime/Autumn/img3.jpg" ] && break; sleep 0.1; done
# The pointer off the window, and a moment for the last report to be painted.
xdotool mousemove 0 0
sleep 1
import -window "$(window_named Pelmora2.1)" "$root/docs/window.png"
echo "wrote docs/window.png"
