#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starting with the desktop session, on an X display with a tray: the tray
# menu's "Start Kestrun at login" writes an autostart entry that
# desktop-file-validate accepts, for a program in a folder whose name a
# launcher must take literally (as a stick's label can make it); GLib's
# launcher starts the program from that entry, which, with "Start timer" and
# "Minimise" set, goes to the tray and polls; unchecking the item removes it.
set -euo pipefail
program=$1
for tool in Xvfb trayer xdotool desktop-file-validate gio; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_CONFIG_DIRS="$work/xdg"
entry="$XDG_CONFIG_HOME/autostart/org.example.Kestrun.desktop"
odd="$work/Pen \"Drive\" \$HOME 'x' \\n \`id\` é"
mkdir -p "$odd"
cp "$program" "$odd/kestrun"
cp "$(dirname "$program")/kestrun-window" "$odd/kestrun-window"
program="$odd/kestrun"
window="$odd/kestrun-window"

fail() {
  echo "FAIL: $1"
  for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
  [ -e "$entry" ] && { echo "--- $entry"; cat "$entry"; }
  exit 1
}
within() { poll_for 100 "$@"; }
main_window_shown() { xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1; }
in_tray() { xdotool search --name '^Kestrun v1\.5$' >/dev/null 2>&1 && ! main_window_shown; }
# The tray icon is a window of the program too; the menu is the second.
menu_open() { [ "$(xdotool search --onlyvisible --class '^kestrun$' 2>/dev/null | wc -l)" -ge 2 ]; }
# The running Kestrun's process id, as a second start finds it.
running_pid() {
  { timeout 10 "$program" --headless 2>&1 || true; } |
    sed -n 's/^Kestrun is already running (process \([0-9]*\))$/\1/p'
}
# Chooses the item above Exit in the tray menu until `done_check` succeeds.
# Keys pressed before the menu has the keyboard are lost, so the menu is
# closed and opened again, three times at most.
toggle_login_item() {
  local done_check=$1
  for _ in 1 2 3; do
    xdotool mousemove 12 12 click 3
    within menu_open || continue
    sleep 0.5
    xdotool key Up Up Return
    within "$done_check" && return 0
    xdotool key Escape Escape
    sleep 0.5
  done
  return 1
}
stop() {
  kill -TERM "$1"
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  fail "SIGTERM did not end the program"
}

trayer --edge top --align left --width 10 --height 24 </dev/null >/dev/null 2>&1 &
pids+=($!)
within xdotool search --onlyvisible --class trayer || fail "trayer did not start"

# Both start-up options, and a script whose entry matches the root
# filesystem, so that every poll pass runs its command.
printf 'label:(any)\nexec:touch %s/polled\n' "$work" >"$work/script.txt"
"$program" --store-script "$work/script.txt" >/dev/null
printf 'Auto=1\nMinimise=1\n' >>"$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"

"$program" </dev/null >"$work/first.log" 2>&1 &
pids+=($!)
poll_for 150 in_tray || fail "the program did not go to the tray"
entry_written() { [ -s "$entry" ]; }
toggle_login_item entry_written || fail "\"Start Kestrun at login\" wrote no entry"
desktop-file-validate "$entry" || fail "the entry does not validate"
grep -qxF 'Exec="'"$work"'/Pen \\"Drive\\" \\$HOME '"'x'"' \\\\n \\`id\\` é/kestrun-window"' "$entry" ||
  fail "the entry's Exec does not name the window program in its folder"
echo "ok: the tray item writes a valid entry that names the window program"
stop "$(running_pid)"

rm -f "$work/polled"
# As the desktop starts the session's programs; GLib reads the entry itself.
gio launch "$entry" </dev/null >"$work/login.log" 2>&1 || fail "gio launch failed"
poll_for 150 test -e "$work/polled" || fail "the program started at login did not poll"
poll_for 150 in_tray || fail "the program started at login did not go to the tray"
login_pid=$(running_pid)
[ "$(readlink "/proc/$login_pid/exe")" = "$window" ] || fail "the entry started another program"
echo "ok: the entry starts the program, which polls from the tray"
stop "$login_pid"

# An entry written before the window program had a file of its own names
# `kestrun`, which now hands over to it.
sed -i 's|/kestrun-window"$|/kestrun"|' "$entry"
rm -f "$work/polled"
gio launch "$entry" </dev/null >"$work/old-entry.log" 2>&1 || fail "gio launch failed"
poll_for 150 test -e "$work/polled" || fail "the earlier entry's program did not poll"
poll_for 150 in_tray || fail "the earlier entry's program did not go to the tray"
login_pid=$(running_pid)
[ "$(readlink "/proc/$login_pid/exe")" = "$window" ] || fail "the earlier entry started another program"
echo "ok: an entry naming kestrun still starts the window"

entry_gone() { [ ! -e "$entry" ]; }
toggle_login_item entry_gone || fail "unchecking \"Start Kestrun at login\" left the entry"
echo "ok: unchecking the item removes the entry"
stop "$login_pid"
