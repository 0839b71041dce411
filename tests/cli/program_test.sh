#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The kestrun program from a terminal: file names that are not text, closed
# standard streams, and the script stored and printed through the real
# settings file.
set -euo pipefail
kestrun=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
fail() { echo "FAIL: $*"; exit 1; }
# Each run is bounded, so a program that waits for a terminal fails the test.
k() { timeout 20 "$kestrun" "$@"; }

# File names are bytes on Linux, and need not be UTF-8.
name="$work/bad"$'\xff'"name.txt"
printf 'label:A\nexec:b\n' >"$name"
k --validate "$name" >"$work/out" 2>&1 || fail "cannot validate a file named with a stray byte: $(cat "$work/out")"
grep -qx 'Entry seems okay' "$work/out" || fail "no report for the file named with a stray byte"
status=0
k --validate "$name.missing" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "a missing file gave status $status"
[ "$(cat "$work/err")" = "kestrun: cannot open '$work/bad\\xffname.txt.missing': No such file or directory" ] ||
  fail "a missing file's name is shown as: $(cat "$work/err")"
echo "ok: a file name that is not UTF-8 is opened as given"

status=0
k --validate - <&- 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "closed standard input gave status $status"
[ "$(cat "$work/err")" = "kestrun: cannot read standard input: it is closed" ] ||
  fail "closed standard input is reported as: $(cat "$work/err")"
echo "ok: closed standard input is named as such"

# The script through the real settings file: stored with CR LF as the editor
# saves it, printed with LF, and stored again to the same bytes.
printf 'ignore:d:\\\nlabel:Caf\xc3\xa9 "Pen" = 1;2, [x]\nexec:backup "%%1" %%2 \\\\server\\share\nmenurun:open %%3\n' \
  >"$work/script.txt"
k --store-script "$work/script.txt" >"$work/out" || fail "a valid script was not stored: $(cat "$work/out")"
grep -q '^Advanced=.*\\r\\n' "$XDG_CONFIG_HOME/Kestrun/Kestrun.conf" || fail "not stored with CR LF"
k --print-script >"$work/printed.txt"
cmp "$work/script.txt" "$work/printed.txt" || fail "--print-script differs from the file stored"
before=$(cat "$XDG_CONFIG_HOME/Kestrun/Kestrun.conf")
k --store-script - <"$work/printed.txt" >/dev/null
[ "$(cat "$XDG_CONFIG_HOME/Kestrun/Kestrun.conf")" = "$before" ] || fail "storing the printed script changed it"
echo "ok: --print-script and --store-script round-trip byte for byte"

# The command line loads no display library, so a headless machine needs none.
if ldd "$kestrun" | grep -E 'libQt6(Gui|Widgets|OpenGL|XcbQpa)|libX|libxcb|libGL|libEGL|libfontconfig|libfreetype|libharfbuzz'; then
  fail "the command-line program loads display libraries"
fi
echo "ok: the command-line program links no display library"

# Without arguments it hands over to the window program beside it; where
# there is none, it says where it looked instead of failing quietly.
mkdir "$work/alone"
cp "$kestrun" "$work/alone/kestrun"
status=0
timeout 20 "$work/alone/kestrun" </dev/null >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 127 ] || fail "without a window program, status $status"
grep -qF "looked for $work/alone/kestrun-window (No such file or directory)" "$work/err" ||
  fail "without a window program it says: $(cat "$work/err")"
echo "ok: without a window program, kestrun without arguments names where it looked"
