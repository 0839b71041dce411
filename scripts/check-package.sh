#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian package built by `make package` the way a user would and
# checks that the program runs, its desktop files validate and it leaves
# starting at login to the user.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
deb=$(ls "build/$preset"/kestrun_*_*.deb | head -n 1)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# --reinstall: a package of the same version from an earlier build may be installed.
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --reinstall "./$deb" >/dev/null

# The version as the program shows it, from the one place it is written.
shown=$(sed -n 's/^project(Kestrun VERSION \([0-9]*\)\.\([0-9]*\).*/\1.\2/p' CMakeLists.txt)
version=$(kestrun --version)
[ "$version" = "Kestrun $shown" ] || { echo "kestrun --version printed '$version'"; exit 1; }
desktop-file-validate /usr/share/applications/org.example.Kestrun.desktop
# Starting at login is the user's choice, made in the tray menu.
if dpkg -L kestrun | grep -q '/autostart/'; then echo "the package switches on starting at login"; exit 1; fi
grep -q "^License: MIT" /usr/share/doc/kestrun/copyright || { echo "the package does not name its licence"; exit 1; }
appstreamcli validate --no-net /usr/share/metainfo/org.example.Kestrun.metainfo.xml
man -l /usr/share/man/man1/kestrun.1 >/dev/null 2>&1 || true
# The user service must be able to start: systemd checks, among other things,
# that its ExecStart names an executable and that its manual page exists. A
# user manager needs a runtime folder of its own.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR=$runtime systemd-analyze --user verify /usr/lib/systemd/user/kestrun-headless.service
echo "package $deb: installed, '$version', desktop entry, metainfo and user service valid"
