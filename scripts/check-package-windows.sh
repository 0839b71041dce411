#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Windows installer from `make package-windows` under Wine in a
# fresh prefix, as a user would, taking every page's default: the files, the
# Start menu entry, the entry in Apps & features and the login entry (the
# page "Start with Windows" has its box checked); the installed program's
# --version. The start of a session (a plain wineboot, which runs the user's
# Run entries) starts the program until its main window shows. In a console,
# `kestrun` is kestrun.com: cmd waits for it, it reads standard input and sets
# %ERRORLEVEL%. Silent upgrades: /STARTATLOGIN=0 removes the login entry, none
# keeps the choice, /STARTATLOGIN=1 brings it back, a wrong value is refused;
# /ADDTOPATH=1 puts the folder in the user's Path, where a console finds
# kestrun. Then uninstalls it and checks that its files, the login entry and
# its Path entry (only that) are gone and the user's settings are kept.
#   scripts/check-package-windows.sh BUILD_FOLDER [SCREENSHOT_FOLDER]
# With a screenshot folder, leaves installer-wine.png there: the page
# "Start with Windows".
set -euo pipefail
build=$(realpath "$1")
shots=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
installer=$(ls "$build"/Kestrun-*-win64.exe | head -n 1)
zip=$(ls "$build"/Kestrun-*-win64.zip | head -n 1)

# shellcheck source=/dev/null
source tests/ui/xvfb_session.sh
unset QT_QPA_PLATFORM  # the Windows program picks its own
export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cleanup_wine() { wineserver -k 2>/dev/null || true; }
trap 'cleanup_wine; cleanup' EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}
# Waits, at most `seconds`, until `test` succeeds.
within() {
  local seconds=$1
  shift
  poll_for $((seconds * 10)) "$@"
}

wine wineboot --init >/dev/null 2>&1
program_files=$WINEPREFIX/drive_c/Program\ Files/Kestrun
settings='HKCU\Software\VB and VBA Program Settings\Kestrun\Settings'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
login_entry() { wine reg query "$run_key" /v Kestrun 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }

# Return takes each page's default button (Next, I Agree, Install, Finish),
# until the installer ends.
wine "$installer" >/dev/null 2>&1 &
setup=$!
within 60 xdotool search --onlyvisible --name '^Kestrun Setup$' || fail "the installer showed no window"
setup_window=$(xdotool search --onlyvisible --name '^Kestrun Setup$' | head -n 1)
for press in $(seq 60); do
  kill -0 "$setup" 2>/dev/null || break
  # The pages before "Start with Windows": Welcome, Licence, folder, Start menu.
  if [ -n "$shots" ] && [ "$press" -eq 5 ]; then
    sleep 2
    import -window "$setup_window" "$shots/installer-wine.png"
  fi
  xdotool windowfocus "$setup_window" 2>/dev/null || true
  xdotool key Return
  sleep 1
done
wait "$setup" || fail "the installer failed"
test -e "$program_files/Uninstall.exe" || fail "nothing installed in Program Files"
for file in kestrun.exe kestrun.com Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll platforms/qwindows.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll LICENSE.txt THIRD-PARTY.md licenses/qt/LGPL-3.0-only.txt; do
  [ -e "$program_files/$file" ] || fail "the installer did not install $file"
done
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Kestrun.lnk' | grep -q . ||
  fail "no Start menu shortcut"
wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 ||
  fail "no entry in Apps & features"
[ "$(login_entry)" = '"C:\Program Files\Kestrun\kestrun.exe"' ] ||
  fail "the login entry is '$(login_entry)'"
echo "ok: installed with the Start menu shortcut, the uninstaller and the login entry"

# The version as the program shows it, from the one place it is written.
shown=$(sed -n 's/^project(Kestrun VERSION \([0-9]*\)\.\([0-9]*\).*/\1.\2/p' CMakeLists.txt)
version=$(wine "C:\\Program Files\\Kestrun\\kestrun.exe" --version 2>/dev/null | tr -d '\r')
[ "$version" = "Kestrun $shown" ] || fail "the installed kestrun.exe --version printed '$version'"
echo "ok: the installed kestrun.exe --version prints '$version'"

user_path() { wine reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*SZ *//p'; }
case ";$(user_path);" in *Kestrun*) fail "the user's Path has Kestrun without the box checked: $(user_path)" ;; esac
# The console companion, as typed in cmd: it waits, reads standard input and
# sets %ERRORLEVEL% (a script whose entry has no exec: line fails a check).
printf 'label:A\r\n' >"$work/bad.txt"
# cmd /c ends with the last %ERRORLEVEL%, which echo leaves as it was. cmd
# starts in the installation folder (Wine takes the working folder from the
# shell's): a quoted path in cmd's command line would reach it as \" from here.
console=$(cd "$program_files" && printf 'label:A\r\nexec:b\r\n' |
  { wine cmd /c 'kestrun --validate - & echo status %ERRORLEVEL% & kestrun --validate Z:'"$(sed 's|/|\\|g' <<<"$work")"'\bad.txt >NUL & echo status %ERRORLEVEL%' 2>/dev/null || true; } |
  tr -d '\r')
grep -qx 'Entry seems okay' <<<"$console" || fail "kestrun in cmd did not read standard input: $console"
[ "$(grep '^status' <<<"$console" | tr -s ' \n' ' ')" = "status 0 status 1 " ] ||
  fail "kestrun in cmd did not set %ERRORLEVEL%: $console"
echo "ok: in cmd, kestrun is kestrun.com: it reads standard input and sets %ERRORLEVEL%"

wineserver -k
wineserver -w
wine wineboot </dev/null >/dev/null 2>&1 &
within 60 xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 ||
  fail "the start of the session did not start the installed program"
echo "ok: the start of the session starts the installed program, which shows its main window"
wineserver -k
wineserver -w

# Typed in a console without arguments, kestrun opens the window and returns.
timeout 30 wine "C:\\Program Files\\Kestrun\\kestrun.com" </dev/null >/dev/null 2>&1 ||
  fail "kestrun.com without arguments did not return at once"
within 60 xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 ||
  fail "kestrun.com without arguments opened no window"
echo "ok: kestrun.com without arguments opens the window and returns"
wineserver -k
wineserver -w

# Silent upgrades over it.
upgrade() { wine "$installer" /S "$@" >/dev/null 2>&1; }
upgrade /STARTATLOGIN=0 || fail "the upgrade with /STARTATLOGIN=0 failed"
[ -z "$(login_entry)" ] || fail "/STARTATLOGIN=0 left the login entry"
upgrade || fail "the upgrade without /STARTATLOGIN failed"
[ -z "$(login_entry)" ] || fail "an upgrade brought back the login entry the user had removed"
status=0
upgrade /STARTATLOGIN=yes || status=$?
[ "$status" -eq 2 ] || fail "/STARTATLOGIN=yes ended the installer with $status, not 2"
test -e "$program_files/kestrun.exe" || fail "a refused upgrade removed the installed program"
upgrade /STARTATLOGIN=1 || fail "the upgrade with /STARTATLOGIN=1 failed"
[ -n "$(login_entry)" ] || fail "/STARTATLOGIN=1 wrote no login entry"
echo "ok: silent upgrades keep the choice; /STARTATLOGIN=0 and =1 change it, other values are refused"

upgrade /ADDTOPATH=1 || fail "the upgrade with /ADDTOPATH=1 failed"
[ "$(user_path)" = 'C:\Program Files\Kestrun' ] || fail "/ADDTOPATH=1 made the user's Path '$(user_path)'"
upgrade || fail "the upgrade without /ADDTOPATH failed"
[ "$(user_path)" = 'C:\Program Files\Kestrun' ] || fail "an upgrade changed the user's Path to '$(user_path)'"
found=$({ wine cmd /c 'cd /d C:\ & kestrun --version' 2>/dev/null || true; } | tr -d '\r')
[ "$found" = "$version" ] || fail "a console with the new Path does not find kestrun: '$found'"
echo "ok: /ADDTOPATH=1 adds the folder to the user's Path, where a console finds kestrun"
# Entries of the user's own on both sides of Kestrun's stay.
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /f \
  /d 'C:\mine;C:\Program Files\Kestrun;%USERPROFILE%\bin' >/dev/null 2>&1

wine reg add "$settings" /v Interval /d 7 /f >/dev/null 2>&1
wine "C:\\Program Files\\Kestrun\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself, so wait for its work.
within 60 test ! -e "$program_files/kestrun.exe" || fail "kestrun.exe is still installed"
within 30 test ! -e "$program_files" || fail "files are left: $(find "$program_files" | head)"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "Apps & features still lists Kestrun"
[ -z "$(login_entry)" ] || fail "the login entry is left"
[ "$(user_path)" = 'C:\mine;%USERPROFILE%\bin' ] || fail "the uninstaller left the user's Path '$(user_path)'"
wine reg query "$settings" /v Interval 2>/dev/null | grep -q 'REG_SZ[[:space:]]*7' ||
  fail "the user's settings were removed"
echo "ok: uninstalled silently; the files and the login entry are gone, the user's settings kept"

unzip -l "$zip" | grep -q 'kestrun.exe' || fail "the zip holds no kestrun.exe"
echo "ok: $(basename "$installer") $(du -k "$installer" | cut -f1) KB," \
  "$(basename "$zip") $(du -k "$zip" | cut -f1) KB"
