#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renews the screenshots of the three windows in this folder: the test harness
# (the main window over a fake machine with a matching stick) on Xvfb. The
# editor is shown with its script validated, the report beside the text.
# Usage: docs/take-screenshots.sh build/default/tests/ui/tray_harness
set -euo pipefail
harness=$(realpath "$1")
docs=$(cd "$(dirname "$0")" && pwd)

SCREEN=1280x1024x24
# shellcheck source=/dev/null
source "$(dirname "$0")/../tests/ui/xvfb_session.sh"

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
import -window root "$work/root.png"
echo "Wrote $docs/splash.png, main-window.png and editor.png"
