# Sourced by the tests that need a real X server. Gives them a private runtime folder
# ($runtime), a list of processes to stop on exit ($pids) and start_x_server, which starts
# Xvfb at 96 DPI on a free display and points DISPLAY at it. start_x_server returns 1, saying
# why on stderr, when no server comes up.
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
  # A free display number: the X server writes the one it took into a file.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
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
