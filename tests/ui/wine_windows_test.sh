#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kestrun.exe in real windows under Wine on an X display, in a fresh prefix:
# the splash, then the main window "Kestrun v1.5" at its client size, the
# editor opened with "...", Validate, the tray, and the end of the session.
#   wine_windows_test.sh KESTRUN_EXE RUNTIME_FOLDER [SCREENSHOT_FOLDER]
# With a screenshot folder, leaves main-window-wine.png and editor-wine.png there.
set -euo pipefail
exe=$(realpath "$1")
runtime=$(realpath "$2")
shots=${3:+$(realpath "$3")}
for tool in Xvfb trayer xdotool wine import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
unset QT_QPA_PLATFORM  # the Windows program picks its own
export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT

fail() {
  echo "FAIL: $*"
  [ -s "$work/log" ] && { echo "--- kestrun.exe said:"; cat "$work/log"; }
  import -window root "$work/failed.png" 2>/dev/null && echo "screen: $work/failed.png"
  trap - EXIT
  wineserver -k 2>/dev/null || true
  exit 1
}
# The id of the first visible window that matches, within 60 s.
window_of() {
  for _ in $(seq 600); do
    xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1 | grep . && return 0
    sleep 0.1
  done
  return 1
}
# Clicks at a point of a window given in twips (15 to a pixel), as the layout
# tables place controls.
click_twips() {
  xdotool mousemove --window "$1" $(($2 / 15)) $(($3 / 15)) click 1
}

trayer --edge top --align left --width 10 --height 24 </dev/null >/dev/null 2>&1 &
pids+=($!)
window_of --class trayer >/dev/null || fail "trayer did not start"

wine wineboot --init >/dev/null 2>&1
# Wine passes WINEQT_* to Windows programs as QT_*; it keeps QT_* for the host.
WINEPATH=$(winepath -w "$runtime") WINEQT_PLUGIN_PATH=$(winepath -w "$runtime/plugins") \
  wine "$exe" </dev/null >"$work/log" 2>&1 &
program=$!

splash=$(window_of --class kestrun) || fail "no splash"
sleep 0.5
splash_name=$(xdotool getwindowname "$splash")
[ "$splash_name" != "Kestrun v1.5" ] || fail "the main window came before the splash"
echo "ok: the splash shows first"

main=$(window_of --name '^Kestrun v1\.5$') || fail "no main window named 'Kestrun v1.5'"
sleep 1
size=$(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: //p')
[ "$size" = 490x479 ] || fail "the main window's client area is $size, not 490x479"
echo "ok: the main window 'Kestrun v1.5' is 490x479"
[ -n "$shots" ] && import -window "$main" "$shots/main-window-wine.png"

click_twips "$main" 6667 2587  # "..."
editor=$(window_of --name '^Edit Detection List\.\.\.$') || fail "'...' opened no editor"
sleep 1
click_twips "$editor" 727 7387  # Validate
sleep 1
[ -n "$shots" ] && import -window "$editor" "$shots/editor-wine.png"
xdotool key --window "$editor" alt+F4
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Edit Detection List' >/dev/null 2>&1 || break
  sleep 0.1
done
echo "ok: '...' opens the editor, Validate validates, and it closes"

xdotool key --window "$main" alt+F4  # to the tray
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 && fail "the close box did not send the window to the tray"
# On a busy machine the icon reaches the tray a while after the window has
# gone, and a click before that finds nothing; click again until it is there.
restored=no
for _ in $(seq 12); do
  xdotool mousemove 12 12 click 1
  poll_for 50 xdotool search --onlyvisible --name '^Kestrun v1\.5$' && { restored=yes; break; }
done
[ "$restored" = yes ] || fail "a click on the tray icon did not bring the window back"
echo "ok: the close box sends the window to the tray, and a click on the icon brings it back"

# Logging off: Windows asks every program to end its session.
wine wineboot --end-session >/dev/null 2>&1 &
for _ in $(seq 300); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "the end of the session did not end the program"
# Windows may end a program once it has answered the end of the session, as
# Wine does here: how it ended says nothing, but a question would have held
# the session open.
wait "$program" || true
echo "ok: the end of the session ends the program without a question"
