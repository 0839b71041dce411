#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kestrun.exe under Wine hears a drive arrive and leave, without waiting for
# its interval (one hour here): a stick's command starts, and starts again
# when the stick is put back. First --headless, then the window program on an
# X display when Xvfb is there.
# The stick: announce_drive.exe defines the letter Q: (DefineDosDevice, which
# puts it in every process's drive list) and announces it to every top-level
# window (WM_DEVICECHANGE, DBT_DEVICEARRIVAL for a volume), as a drive-letter
# tool does; leaving, it removes both. Wine 8 opens a drive only through the
# prefix's dosdevices link, and reads its label and type only for a drive its
# mount manager knew when its server started: so Q: links to a folder that
# the known drive D: (which the script ignores) shows, and Q: gets D:'s label.
#   wine_events_test.sh KESTRUN_EXE ANNOUNCE_DRIVE_EXE RUNTIME_FOLDER
set -euo pipefail
exe=$(realpath "$1")
announce=$(realpath "$2")
runtime=$(realpath "$3")
command -v wine >/dev/null || { echo "SKIP: wine is not installed"; exit 77; }
work=$(mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  [ -s "$work/log" ] && { echo "--- kestrun.exe said:"; tr -d '\r' < "$work/log"; }
  exit 1
}
wine wineboot --init >/dev/null 2>&1
label="KSTICK $RANDOM$RANDOM"
mkdir "$work/stick"
printf '%s' "$label" > "$work/stick/.windows-label"
wine reg add 'HKLM\Software\Wine\Drives' /v d: /d floppy /f >/dev/null 2>&1
# Without a display, Wine makes windows (the hidden one that hears the
# broadcasts) only with its null driver; Windows always has a desktop.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
ln -s "$work/stick" "$WINEPREFIX/dosdevices/d:"
wineserver -k 2>/dev/null || true  # the mount manager learns of D: when it starts again
WINEPATH=$(winepath -w "$runtime")
export WINEPATH
k() { timeout 60 wine "$exe" "$@" </dev/null 2>&1 | tr -d '\r'; }

runs=$work/runs.txt
printf 'ignore:d:\\\nlabel:%s\nexec:cmd.exe /c echo %%1>> "%s"\n' "$label" \
  "$(winepath -w "$runs")" > "$work/script.txt"
k --store-script "$(winepath -w "$work/script.txt")" > /dev/null || fail "the script was not stored"
k --set-interval 3600 || fail "--set-interval refused 3600"

arrive() {
  ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/q:"
  timeout 30 wine "$announce" arrive Q: 'C:\windows' || fail "announce_drive could not define Q: ($?)"
}
leave() {
  timeout 30 wine "$announce" leave Q: || fail "announce_drive could not remove Q: ($?)"
  rm -f "$WINEPREFIX/dosdevices/q:"
}
count() { if [ -f "$runs" ]; then grep -c 'Q:' "$runs" || true; else echo 0; fi; }
wait_runs() {  # wait_runs N: Wine starts cmd.exe slowly
  for _ in $(seq 300); do [ "$(count)" -ge "$1" ] && return 0; sleep 0.1; done
  fail "expected $1 runs of the stick's command, saw $(count)"
}
# The stick arrives, is pulled, and comes back 2 s later.
plug_and_replug() {
  [ "$(count)" -eq 0 ] || fail "ran before the stick arrived"
  arrive
  wait_runs 1
  leave
  sleep 2
  arrive
  wait_runs 2
  leave
}

wine "$exe" --headless </dev/null >"$work/log" 2>&1 &
program=$!
for _ in $(seq 300); do grep -q '^Started' "$work/log" 2>/dev/null && break; sleep 0.1; done
grep -q '^Started' "$work/log" || fail "--headless did not start"
plug_and_replug
echo "ok: --headless ran the stick's command when it arrived, and again when it came back"
wineserver -k 2>/dev/null || true
wait "$program" 2>/dev/null || true

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "the window program: skipped, Xvfb or xdotool is not installed"
  exit 0
fi
rm -f "$runs" "$work/log"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
wine reg add 'HKCU\Software\VB and VBA Program Settings\Kestrun\Settings' /v Auto /d 1 /f \
  >/dev/null 2>&1
# Wine passes WINEQT_* to Windows programs as QT_*; it keeps QT_* for the host.
WINEQT_PLUGIN_PATH=$(winepath -w "$runtime/plugins") wine "$exe" </dev/null >"$work/log" 2>&1 &
program=$!
# Polling starts at the end of the splash, before the main window shows.
for _ in $(seq 600); do
  xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 || fail "no main window"
plug_and_replug
echo "ok: the window program ran the stick's command when it arrived, and again when it came back"
wineserver -k 2>/dev/null || true
wait "$program" 2>/dev/null || true
