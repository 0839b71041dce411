#!/usr/bin/env bash
# The kestrun program itself on an X display: it shows the splash, then its
# main window, and ends cleanly when the session sends SIGTERM.
set -euo pipefail
program=$1
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"

"$program" </dev/null >"$work/log" 2>&1 &
program_pid=$!
pids+=($program_pid)

fail() {
  echo "FAIL: $1"
  cat "$work/log"
  exit 1
}
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

for _ in $(seq 100); do visible '^Kestrun v1\.5$' && break; sleep 0.1; done
visible '^Kestrun v1\.5$' || fail "no main window"
echo "ok: the main window shows after the splash"
[ ! -e "$work/config" ] || fail "start-up wrote settings"

kill -TERM "$program_pid"
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "SIGTERM did not end the program"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "ok: SIGTERM ends the program cleanly"
