#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Windows installer from `make package-windows` silently under
# Wine in a fresh prefix, as a user would: the files, the Start menu entry and
# the entry in Apps & features; the installed program's --version; the program
# started on a display until its main window shows. Then uninstalls it and
# checks that its files are gone and the user's settings are kept.
#   scripts/check-package-windows.sh BUILD_FOLDER
set -euo pipefail
build=$(realpath "$1")
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

wine "$installer" /S >/dev/null 2>&1 || fail "the installer failed"
within 60 test -e "$program_files/Uninstall.exe" || fail "nothing installed in Program Files"
for file in kestrun.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll platforms/qwindows.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll LICENSE.txt THIRD-PARTY.md licenses/qt/LGPL-3.0-only.txt; do
  [ -e "$program_files/$file" ] || fail "the installer did not install $file"
done
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Kestrun.lnk' | grep -q . ||
  fail "no Start menu shortcut"
wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 ||
  fail "no entry in Apps & features"
echo "ok: installed silently with the Start menu shortcut and the uninstaller"

# The version as the program shows it, from the one place it is written.
shown=$(sed -n 's/^project(Kestrun VERSION \([0-9]*\)\.\([0-9]*\).*/\1.\2/p' CMakeLists.txt)
version=$(wine "C:\\Program Files\\Kestrun\\kestrun.exe" --version 2>/dev/null | tr -d '\r')
[ "$version" = "Kestrun $shown" ] || fail "the installed kestrun.exe --version printed '$version'"
echo "ok: the installed kestrun.exe --version prints '$version'"

wine "C:\\Program Files\\Kestrun\\kestrun.exe" </dev/null >/dev/null 2>&1 &
within 60 xdotool search --onlyvisible --name '^Kestrun v1\.5$' >/dev/null 2>&1 ||
  fail "the installed program showed no main window"
echo "ok: the installed program shows its main window"
wineserver -k
wineserver -w

wine reg add "$settings" /v Interval /d 7 /f >/dev/null 2>&1
wine "C:\\Program Files\\Kestrun\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself, so wait for its work.
within 60 test ! -e "$program_files/kestrun.exe" || fail "kestrun.exe is still installed"
within 30 test ! -e "$program_files" || fail "files are left: $(find "$program_files" | head)"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "Apps & features still lists Kestrun"
wine reg query "$settings" /v Interval 2>/dev/null | grep -q 'REG_SZ[[:space:]]*7' ||
  fail "the user's settings were removed"
echo "ok: uninstalled silently; the files are gone and the user's settings are kept"

unzip -l "$zip" | grep -q 'kestrun.exe' || fail "the zip holds no kestrun.exe"
echo "ok: $(basename "$installer") $(du -k "$installer" | cut -f1) KB," \
  "$(basename "$zip") $(du -k "$zip" | cut -f1) KB"
