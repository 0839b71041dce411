#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renews the screenshots of the three windows and the tray menu in this
# folder: the test harness (the main window over a fake machine with a
# matching stick) on Xvfb, with trayer as the tray host for the menu. The
# editor is shown with its script validated, the report beside the text; the
# menu with its run item and Kestrun switched on to start at login.
# Usage: docs/take-screenshots.sh build/default/tests/ui/tray_harness
set -euo pipefail
harness=$(realpath "$1")
docs=$(cd "$(dirname "$0")" && pwd)

SCREEN=1280x1024x24
# shellcheck source=/dev/null
source "$(dirname "$0")/../tests/ui/xvfb_session.sh"
export XDG_CONFIG_HOME="$work/config"

# Prints the id of the first visible window that matches, once there is one.
window_of() {
  for _ in $(seq 150); do
    xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1 | grep . && return 0
    sleep 0.1
  done
  echo "no window for $*" >&2
  return 1
}

"$harness" screenshots </dev/null >"$work/log" 2>&1 &
harness_pid=$!
pids+=($harness_pid)

splash=$(window_of --pid "$harness_pid")
sleep 0.5
import -window "$splash" "$docs/splash.png"

main=$(window_of --name '^Kestrun v1\.5$')
sleep 0.5
import -window "$main" "$docs/main-window.png"

editor=$(window_of --name '^Edit Detection List\.\.\.$')
sleep 0.5
# Validate sits at 120, 7200 twips (15 to a pixel), 1215 by 375; there is no
# window manager, so window coordinates are the client area's.
xdotool mousemove --window "$editor" 48 492 click 1
sleep 0.5
import -window "$editor" "$docs/editor.png"
kill "$harness_pid"

trayer --edge top --align left --width 10 --height 24 </dev/null >/dev/null 2>&1 &
pids+=($!)
window_of --class trayer >/dev/null
mkdir -p "$XDG_CONFIG_HOME/autostart"
printf '[Desktop Entry]\nType=Application\nName=Kestrun\nExec=kestrun\n' \
  >"$XDG_CONFIG_HOME/autostart/org.example.Kestrun.desktop"
# Without "screenshots" the harness starts in the tray.
"$harness" </dev/null >"$work/tray.log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do grep -qx "tray: added" "$work/tray.log" && break; sleep 0.1; done
sleep 0.5
xdotool mousemove 12 12 click 3
# The icon is a window of the harness too; the menu is the larger one.
menu_geometry() {
  for id in $(xdotool search --onlyvisible --classname '^tray_harness$'); do
    xdotool getwindowgeometry --shell "$id" | tr '\n' ' '
    echo
  done | awk '{ split($4, w, "="); split($5, h, "="); if (w[2] > 100) print $0 }'
}
for _ in $(seq 150); do [ -n "$(menu_geometry)" ] && break; sleep 0.1; done
sleep 0.5
eval "$(menu_geometry)"
# The tray icon at the top-left corner and the menu that opens beside it.
import -window root -crop "$((X + WIDTH + 8))x$((Y + HEIGHT + 8))+0+0" +repage "$docs/tray-menu.png"
echo "Wrote $docs/splash.png, main-window.png, editor.png and tray-menu.png"
