#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The tray on a real X display: Xvfb with trayer as the tray host. The
# harness starts minimised to the tray. A command that fails shows a
# notification by the icon, one left click on the icon brings the window back,
# a right click opens the menu with the run item for the plugged stick, and
# Exit (answered Yes with Enter) ends the program.
#
#   real_tray_test.sh HARNESS [openbox]
#
# With "openbox" a window manager runs too: it keeps the hints a window was
# mapped with, so a restore that works on a bare display can fail under it.
set -euo pipefail
harness=$1
wm=${2:-}
for tool in Xvfb trayer xdotool $wm; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
# The tray menu reads the login entry from here.
export XDG_CONFIG_HOME="$work/config"

# Waits until a visible window matches `xdotool search` arguments.
wait_window() { poll_for 150 xdotool search --onlyvisible "$@"; }

if [ -n "$wm" ]; then
  # openbox reads its configuration from the home folder; give it an empty one.
  HOME="$work" "$wm" </dev/null >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi

trayer --edge top --align left --width 10 --height 24 </dev/null >/dev/null 2>"$work/trayer.err" &
pids+=($!)
wait_window --class trayer ||
  { echo "FAIL: trayer did not start"; echo "--- trayer said:"; cat "$work/trayer.err"; exit 1; }

mkfifo "$work/commands"
exec 4<>"$work/commands"
"$harness" <"$work/commands" >"$work/log" 2>"$work/errors" &
harness_pid=$!
pids+=($harness_pid)

fail() {
  echo "FAIL: $1"
  echo "--- harness said:"; cat "$work/log"
  echo "--- harness errors:"; cat "$work/errors"
  exit 1
}
# Waits up to `tenths` tenths of a second until the harness says exactly
# `line`, after what was seen before.
seen=0
heard() {
  local line=$1 tenths=$2 found
  for _ in $(seq "$tenths"); do
    found=$(tail -n +"$((seen + 1))" "$work/log" | grep -nxF -m 1 -- "$line" | cut -d: -f1 || true)
    if [ -n "$found" ]; then
      seen=$((seen + found))
      return 0
    fi
    sleep 0.1
  done
  return 1
}
expect() { heard "$1" 150 || fail "no \"$1\" after line $seen"; }

expect "tray host: yes"
expect "tray: added"

echo fail >&4
expect "balloon: The command for 'PEN' on E:\\ failed | Exit code 3 after 2.5 s"
[ -n "${SHOT:-}" ] && import -window root "$SHOT"
echo "ok: a failed command is notified from the tray icon"

xdotool mousemove 12 12 click 1
expect "window: shown"
expect "tray: removed"
echo "ok: a left click on the icon brings the window back"

window=$(xdotool search --onlyvisible --name '^Kestrun v1\.5$' | head -n 1) ||
  fail "no visible window named Kestrun v1.5"
# A minimise request sent before the window manager has taken the window in is
# lost; it has taken it in once it set WM_STATE to Normal.
managed() { xprop -id "$window" WM_STATE | grep -q 'window state: Normal'; }
wait_managed() { poll_for 100 managed || fail "the window manager never took the window in"; }
# A display without a window manager cannot minimise a window; the harness
# does it there.
minimise() {
  if [ -n "$wm" ]; then wait_managed; xdotool windowminimize "$window"; else echo minimise >&4; fi
  expect "window: hidden"
  expect "tray: added"
}
minimise
echo "ok: minimising sends the window to the tray"

menu='menu: Show main window|-|Run script for PEN on E:\|-|Notify when commands finish or fail|Mount drives that entries name|Start Kestrun at login|Exit'
# Opens the tray menu and presses `keys` in it until `done_check` succeeds.
# Keys pressed before a busy machine has given the menu the keyboard are
# lost, so the menu is closed and opened again, at most three times.
pick() {
  local keys=$1 done_check=$2
  for _ in 1 2 3; do
    xdotool mousemove 12 12 click 3
    expect "$menu"
    sleep 0.5
    # shellcheck disable=SC2086
    xdotool key $keys
    $done_check && return 0
    xdotool key Escape
    sleep 0.5
  done
  return 1
}

if [ -n "$wm" ]; then
  shown_again() { heard "window: shown" 50; }
  pick "Down Return" shown_again || fail "\"Show main window\" did nothing"
  expect "tray: removed"
  echo "ok: \"Show main window\" brings the window back"
  minimise
fi

exit_question() { poll_for 50 xdotool search --onlyvisible --name '^Exit\?$'; }
pick "Up Return" exit_question || fail "no Exit question"
echo "ok: a right click opens the menu with the run item"
# The question may not have the keyboard yet; Return again until it has.
for _ in 1 2 3; do
  sleep 0.3
  xdotool key Return
  for _ in $(seq 30); do kill -0 "$harness_pid" 2>/dev/null || break 2; sleep 0.1; done
done
kill -0 "$harness_pid" 2>/dev/null && fail "Exit answered Yes did not end the program"
wait "$harness_pid" || fail "the program ended with an error"
grep -qxF "exit: 0" "$work/log" || fail "no clean exit"
echo "ok: Exit, answered Yes, ends the program"
