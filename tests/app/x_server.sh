# Sourced by the scripts that need a real X server. Gives them a private runtime folder
# ($runtime), a list of processes to stop on exit ($pids), start_x_server, which starts Xvfb
# at 96 DPI on a free display and points DISPLAY at it (returning 1, saying why on stderr,
# when no server comes up), and the xdotool steps of a drag from one window to another.
runtime=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT

start_x_server() {
  if ! command -v Xvfb >/dev/null; then
    echo "no Xvfb to start an X server" >&2
    return 1
  fi
  # A free display number: the X server writes the one it took into a file. Without
  # -noreset the server resets when its last client leaves, and a program started in that
  # moment cannot connect.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset \
    3>"$runtime/display" >"$runtime/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$runtime/display" ] && break
    sleep 0.1
  done
  local number
  number=$(tr -dc 0-9 <"$runtime/display")
  if [ -z "$number" ]; then
    echo "the X server did not start" >&2
    cat "$runtime/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=:$number
  export XDG_RUNTIME_DIR=$runtime
  unset QT_QPA_PLATFORM
}

# Waits for a window of that name and prints its id.
window_named() {
  local id
  for _ in $(seq 100); do
    if id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window named $1 appeared" >&2
  return 1
}

# The centre of a window on the screen: "x y".
centre_of() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}

# Presses on the first window, moves across in steps so both sides see the drag, and
# releases on the second.
drag_from_to() {
  local sx sy tx ty
  read -r sx sy < <(centre_of "$1")
  read -r tx ty < <(centre_of "$2")
  xdotool mousemove "$sx" "$sy"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  for step in $(seq 1 10); do
    xdotool mousemove $((sx + (tx - sx) * step / 10)) $((sy + (ty - sy) * step / 10))
    sleep 0.1
  done
  sleep 0.3
  xdotool mouseup 1
}
