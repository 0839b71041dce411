#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One Kestrun per user, with real processes on an X display with a tray:
# - a second window program shows the running one's window and ends with 0;
# - --headless beside it ends with 1 and names the running process, while
#   one-shot options still run;
# - the first killed with SIGKILL leaves nothing that stops a third start;
# - a window program started while --headless runs says so and ends.
set -euo pipefail
program=$1
for tool in Xvfb trayer xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
mkdir -p "$XDG_CONFIG_HOME/Kestrun"
# Minimised to the tray at start, so a request to show the window can be seen.
printf '[Settings]\nMinimise=1\n' >"$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"

fail() {
  echo "FAIL: $1"
  for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
  exit 1
}
main_window_shown() { xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1; }
# Waits up to ten seconds for the command's condition.
within() { poll_for 100 "$@"; }
started() { grep -q "Started..." "$work/$1.log" 2>/dev/null; }
in_tray() {
  xdotool search --name '^Kestrun v1\.5$' >/dev/null 2>&1 && ! main_window_shown
}
# Runs the program to its end, with at most ten seconds for it; its status.
run() {
  local log=$1
  shift
  local status=0
  timeout 10 "$program" "$@" </dev/null >"$work/$log.log" 2>&1 || status=$?
  echo "$status"
}

trayer --edge top --align left --width 10 --height 24 </dev/null >/dev/null 2>&1 &
pids+=($!)
tray_host_up() { xdotool search --onlyvisible --class trayer >/dev/null 2>&1; }
within tray_host_up || fail "trayer did not start"

"$program" </dev/null >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
sleep 3.5  # the splash, then the trip to the tray
within in_tray || fail "the first start did not go to the tray"

[ "$(run second)" -eq 0 ] || fail "a second start did not end with 0"
within main_window_shown || fail "a second start did not show the first one's window"
echo "ok: a second start shows the running window and ends"

[ "$(run headless --headless)" -eq 1 ] || fail "--headless beside the window did not end with 1"
[ "$(cat "$work/headless.log")" = "Kestrun is already running (process $first)" ] ||
  fail "--headless said something else"
for option in --version --help --list-drives "--validate -"; do
  # shellcheck disable=SC2086
  [ "$(run oneshot $option)" -eq 0 ] || fail "$option was blocked"
done
echo "ok: --headless is refused beside it, one-shot options are not"

kill -KILL "$first"
wait "$first" 2>/dev/null || true
"$program" </dev/null >"$work/third.log" 2>&1 &
third=$!
pids+=($third)
sleep 3.5
kill -0 "$third" 2>/dev/null || fail "a start after SIGKILL did not stay"
[ "$(run headless --headless)" -eq 1 ] || fail "--headless beside the third did not end with 1"
[ "$(cat "$work/headless.log")" = "Kestrun is already running (process $third)" ] ||
  fail "the third start does not hold the lock"
kill -TERM "$third"
wait "$third" || fail "the third start did not end cleanly"
echo "ok: a killed Kestrun leaves nothing that stops the next start"

"$program" --headless </dev/null >"$work/service.log" 2>&1 &
service=$!
pids+=($service)
within started service || fail "--headless did not start"
"$program" </dev/null >"$work/window.log" 2>&1 &
window=$!
pids+=($window)
message_shown() { xdotool search --onlyvisible --name '^Kestrun$' >/dev/null 2>&1; }
within message_shown || fail "no message beside --headless"
box=$(xdotool search --onlyvisible --name '^Kestrun$' | head -n 1)
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 50); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
kill -0 "$window" 2>/dev/null && fail "the window program stayed beside --headless"
status=0
wait "$window" || status=$?
[ "$status" -eq 1 ] || fail "the window program beside --headless ended with $status"
kill -TERM "$service"
wait "$service" || fail "--headless did not end cleanly"
echo "ok: a window program beside --headless says so and ends"
