#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the two Debian packages built by `make package` the way a user
# would, over the single package that came before them, and checks that the
# programs run, the desktop files validate, starting at login is left to the
# user, and that kestrun-cli alone, as on a headless machine, needs no display
# library and works without the window. Removes both at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
cli=$(ls "build/$preset"/kestrun-cli_*_*.deb | head -n 1)
desktop=$(ls "build/$preset"/kestrun_*_*.deb | head -n 1)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
work=$(mktemp -d)
# Other branches' checks install their own packages here: leave none behind.
trap '"${sudo[@]}" dpkg --purge kestrun kestrun-cli >/dev/null 2>&1; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
apt_get() { DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -y -q "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; return 1; }; }
display='libqt6(gui|widgets|opengl|xcbqpa)|qt6-qpa-plugins|libx11|libxcb|libxkb|libgl1|libgl[xu]|libegl|libopengl|libfontconfig|libfreetype|libharfbuzz'

# What kestrun-cli asks for, directly and through its dependencies.
depends=$(dpkg-deb -f "$cli" Depends)
if grep -qiE "$display" <<<"$depends"; then fail "kestrun-cli depends on a display library: $depends"; fi
version=$(dpkg-deb -f "$cli" Version)
dpkg-deb -f "$desktop" Depends | grep -qF "kestrun-cli (= $version)" ||
  fail "kestrun does not depend on kestrun-cli $version: $(dpkg-deb -f "$desktop" Depends)"

# The single package of 1.5.0, as far as dpkg sees it: every file the two hold
# now but the window program's new place, under the name kestrun.
mkdir -p "$work/old/DEBIAN"
dpkg-deb -x "$cli" "$work/old"
dpkg-deb -x "$desktop" "$work/old"
rm -rf "$work/old/usr/libexec" "$work/old/usr/share/doc/kestrun-cli"
cat >"$work/old/DEBIAN/control" <<CONTROL
Package: kestrun
Version: 1.5.0
Architecture: $(dpkg-deb -f "$desktop" Architecture)
Maintainer: $(dpkg-deb -f "$desktop" Maintainer)
Description: the single package the two replace
CONTROL
dpkg-deb --root-owner-group -b "$work/old" "$work/kestrun_1.5.0.deb" >/dev/null
"${sudo[@]}" dpkg --purge kestrun kestrun-cli >/dev/null 2>&1
"${sudo[@]}" dpkg -i "$work/kestrun_1.5.0.deb" >/dev/null
# --reinstall: packages of the same version from an earlier build may be installed.
apt_get install --reinstall "./$cli" "./$desktop" || fail "the upgrade from the single package failed"
echo "ok: $cli and $desktop install over the single package"

# The version as the program shows it, from the one place it is written.
shown=$(sed -n 's/^project(Kestrun VERSION \([0-9]*\)\.\([0-9]*\).*/\1.\2/p' CMakeLists.txt)
printed=$(kestrun --version)
[ "$printed" = "Kestrun $shown" ] || fail "kestrun --version printed '$printed'"
desktop-file-validate /usr/share/applications/org.example.Kestrun.desktop
# Starting at login is the user's choice, made in the tray menu.
if dpkg -L kestrun kestrun-cli | grep -q '/autostart/'; then fail "a package switches on starting at login"; fi
for package in kestrun kestrun-cli; do
  grep -q "^License: MIT" "/usr/share/doc/$package/copyright" || fail "$package does not name its licence"
done
appstreamcli validate --no-net /usr/share/metainfo/org.example.Kestrun.metainfo.xml
man -l /usr/share/man/man1/kestrun.1 >/dev/null 2>&1 || true
# The user service must be able to start: systemd checks, among other things,
# that its ExecStart names an executable and that its manual page exists. A
# user manager needs a runtime folder of its own.
mkdir -m 0700 "$work/run"
XDG_RUNTIME_DIR=$work/run systemd-analyze --user verify /usr/lib/systemd/user/kestrun-headless.service
echo "ok: '$printed', desktop entry, metainfo and user service valid"

export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
# Without arguments, the installed kestrun becomes the installed window program.
QT_QPA_PLATFORM=offscreen kestrun </dev/null >"$work/window.log" 2>&1 &
window=$!
for _ in $(seq 100); do
  [ "$(readlink "/proc/$window/exe")" = /usr/libexec/kestrun/kestrun-window ] && break
  sleep 0.1
done
[ "$(readlink "/proc/$window/exe")" = /usr/libexec/kestrun/kestrun-window ] ||
  fail "kestrun without arguments did not become the window program: $(cat "$work/window.log")"
kill -TERM "$window"
wait "$window" || true
echo "ok: kestrun without arguments opens the window program"

# A headless machine: kestrun-cli alone.
"${sudo[@]}" dpkg --purge kestrun kestrun-cli >/dev/null 2>&1
apt_get install "./$cli"
if ldd /usr/bin/kestrun | grep -iE "$display"; then fail "/usr/bin/kestrun loads a display library"; fi
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances kestrun-cli | grep -v '^ ' | sort -u)
if grep -iE "$display" <<<"$closure"; then fail "installing kestrun-cli brings in display libraries"; fi
kestrun --list-drives >"$work/drives" || fail "kestrun --list-drives failed alone"
head -n 1 "$work/drives" | grep -q '^root' || fail "kestrun --list-drives printed: $(cat "$work/drives")"
printf 'label:A\nexec:b\n' | kestrun --validate - >"$work/report" || fail "kestrun --validate failed alone"
grep -qx 'Entry seems okay' "$work/report" || fail "kestrun --validate printed: $(cat "$work/report")"
# D-Bus is loaded only by the modes that need udisks2, from the module the
# package installs; without the module they say so.
if ldd /usr/bin/kestrun | grep -F libdbus; then fail "/usr/bin/kestrun loads D-Bus at every start"; fi
mount_says() {
  DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" kestrun --headless --mount \
    </dev/null >"$work/mount.log" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do grep -q 'not mounting drives' "$work/mount.log" && break; sleep 0.1; done
  kill -TERM "$pid"
  wait "$pid" || true
  grep 'not mounting drives' "$work/mount.log" || true
}
module=$(dpkg -L kestrun-cli | grep '/kestrun-udisks\.so$') || fail "kestrun-cli holds no udisks2 module"
mount_says | grep -q 'system bus cannot be reached' ||
  fail "kestrun --headless --mount did not load $module: $(cat "$work/mount.log")"
"${sudo[@]}" mv "$module" "$work/"
mount_says | grep -q 'udisks2 support is not installed' ||
  fail "without its module, kestrun --headless --mount said: $(cat "$work/mount.log")"
"${sudo[@]}" mv "$work/kestrun-udisks.so" "$module"
status=0
kestrun </dev/null 2>"$work/err" || status=$?
[ "$status" -eq 127 ] || fail "kestrun without arguments and without the window gave status $status"
grep -qF /usr/libexec/kestrun/kestrun-window "$work/err" ||
  fail "kestrun without the window program says: $(cat "$work/err")"
echo "ok: kestrun-cli alone: depends on no display library, lists drives, validates," \
  "loads its udisks2 module for --mount, and without arguments says: $(head -n 1 "$work/err")"
echo "kestrun-cli Depends: $depends"
echo "kestrun Depends: $(dpkg-deb -f "$desktop" Depends)"
