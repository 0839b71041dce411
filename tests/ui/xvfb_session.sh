# SPDX-License-Identifier: MIT
# Sourced by the scripts that need a real X display: starts Xvfb on a free
# display in a temporary folder ($work), points Qt at it, and stops everything
# in $pids when the script exits. Set SCREEN (WxHxD) before sourcing to change
# the screen size.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Runs a command every tenth of a second until it succeeds, at most `tenths`
# times; its output is dropped.
poll_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# -noreset: by default the server resets when its last client leaves, and a
# client that connects during the reset is refused ("cannot open display").
# A test that starts and ends programs one after another, or polls with
# xdotool before the tray host is up, hits that on a busy machine.
Xvfb -displayfd 3 -screen 0 "${SCREEN:-1024x768x24}" -nolisten tcp -noreset 3>"$work/display" \
  </dev/null >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
# The runtime folder holds the one-instance lock: each session has its own.
mkdir -m 700 "$work/runtime"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
