#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The command line under Wine, in a fresh prefix: kestrun.com's output reaches
# the terminal it was started from, a file name comes as Windows spells it,
# and the script goes to the registry and comes back unchanged, or is refused
# when it is not UTF-8. In cmd, `kestrun` is kestrun.com, which cmd waits for,
# gives standard input and takes the exit status of; kestrun.exe, the window
# program, still takes the options too.
#   wine_program_test.sh KESTRUN_COM RUNTIME_FOLDER KESTRUN_EXE
set -euo pipefail
exe=$(realpath "$1")
runtime=$(realpath "$2")
window=$(realpath "$3")
command -v wine >/dev/null || { echo "SKIP: wine is not installed"; exit 77; }
work=$(mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
wine wineboot --init >/dev/null 2>&1
WINEPATH=$(winepath -w "$runtime")
export WINEPATH
# Each run is bounded; Wine's console adds CR before LF.
k() { timeout 60 wine "$exe" "$@" | tr -d '\r'; }

k --version | grep -qE '^Kestrun [0-9]+\.[0-9]+$' || fail "--version printed '$(k --version)'"
echo "ok: --version reaches the terminal"

name="$work/Skript für Ключ.txt"
printf 'label:STICK\nexec:notepad.exe %%1\n' >"$name"
k --validate "$(winepath -w "$name")" >"$work/out" 2>&1 || fail "--validate failed: $(cat "$work/out")"
grep -qx 'Validation complete' "$work/out" || fail "no report for a file named in Cyrillic: $(cat "$work/out")"
echo "ok: a file named outside the ANSI code page is opened"

k --store-script "$(winepath -w "$name")" >"$work/out" 2>&1 || fail "not stored: $(cat "$work/out")"
wine reg query 'HKCU\Software\VB and VBA Program Settings\Kestrun\Settings' /v Advanced 2>/dev/null |
  tr -d '\r' | grep -q 'label:STICK' || fail "the script is not in the registry"
k --print-script >"$work/printed"
cmp -s "$name" "$work/printed" || fail "the stored script printed back as: $(cat "$work/printed")"
echo "ok: the script is stored in the registry and prints back unchanged"

# A script saved in the ANSI code page is refused rather than stored altered.
printf 'label:GR\xdcN\nexec:notepad.exe\n' >"$work/ansi.txt"
status=0
k --store-script "$(winepath -w "$work/ansi.txt")" >"$work/out" 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "a script that is not UTF-8 gave status $status: $(cat "$work/out")"
grep -qF 'line 1, byte 9 (0xdc) is not UTF-8' "$work/out" || fail "refused as: $(cat "$work/out")"
k --print-script | cmp -s "$name" - || fail "the refused script replaced the stored one"
echo "ok: a script that is not UTF-8 is refused and the stored one stays"

k --list-drives >"$work/drives"
head -n 1 "$work/drives" | grep -q '^root' || fail "--list-drives printed no header: $(cat "$work/drives")"
grep -q '^C:\\' "$work/drives" || fail "--list-drives does not list C:\\: $(cat "$work/drives")"
echo "ok: --list-drives lists the drives"

# A stick whose volume serial Wine reads from its folder's .windows-serial:
# --list-drives shows it as Linux shows a FAT stick's, and an entry pinned to
# it runs on it. Wine sees a new drive once its server has started again.
mkdir "$work/stick"
printf 'PINNED' >"$work/stick/.windows-label"
printf '2f1c9a7b' >"$work/stick/.windows-serial"
ln -s "$work/stick" "$WINEPREFIX/dosdevices/p:"
wineserver -k
wineserver -w
k --list-drives >"$work/drives"
identity=$(awk -F'\t' '$1 == "P:\\" { print $8 }' "$work/drives")
[ "$identity" = uuid:2F1C-9A7B ] || fail "P: has the identity '$identity': $(cat "$work/drives")"
printf 'label:PINNED\nvolume:uuid:2F1C-9A7B\nexec:notepad.exe %%1\n' >"$work/pinned.txt"
k --explain "$(winepath -w "$work/pinned.txt")" >"$work/out" 2>&1 || fail "--explain: $(cat "$work/out")"
grep -q "^Entry 1 'PINNED': runs on P:" "$work/out" || fail "not run on P:: $(cat "$work/out")"
echo "ok: a drive's serial is its identity, and an entry pinned to it runs on it"

# cmd /c ends with the last %ERRORLEVEL%, which echo leaves as it was.
console=$(cd "$(dirname "$exe")" && printf 'label:A\r\nexec:b\r\n' |
  { timeout 60 wine cmd /c 'kestrun --validate - & echo status %ERRORLEVEL%' 2>/dev/null || true; } |
  tr -d '\r')
grep -qx 'Entry seems okay' <<<"$console" || fail "kestrun in cmd did not read standard input: $console"
grep -qx 'status 0' <<<"$console" || fail "kestrun in cmd set no %ERRORLEVEL% 0: $console"
console=$(cd "$(dirname "$exe")" &&
  { timeout 60 wine cmd /c 'kestrun --validate Z:\nowhere.txt & echo status %ERRORLEVEL%' 2>/dev/null || true; } |
  tr -d '\r')
grep -qx 'status 2' <<<"$console" || fail "kestrun in cmd set no %ERRORLEVEL% 2: $console"
echo "ok: in cmd, kestrun reads standard input and sets %ERRORLEVEL%"

timeout 60 wine "$window" --version | tr -d '\r' | grep -qE '^Kestrun [0-9]+\.[0-9]+$' ||
  fail "kestrun.exe no longer takes --version"
echo "ok: kestrun.exe still takes the command line's options"
