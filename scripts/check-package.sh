#!/usr/bin/env bash
# Installs the Debian package built by `make package` the way a user would and
# checks that the program runs and its desktop files validate.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
deb=$(ls "build/$preset"/kestrun_*_*.deb | head -n 1)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "./$deb" >/dev/null

version=$(kestrun --version)
[ "$version" = "Kestrun 1.5" ] || { echo "kestrun --version printed '$version'"; exit 1; }
desktop-file-validate /usr/share/applications/org.example.Kestrun.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.example.Kestrun.metainfo.xml
man -l /usr/share/man/man1/kestrun.1 >/dev/null 2>&1 || true
echo "package $deb: installed, '$version', desktop entry and metainfo valid"
