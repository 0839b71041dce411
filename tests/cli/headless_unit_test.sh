#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The user service as systemd reads it: stopping or restarting it ends Kestrun
# alone (KillMode=process), so a backup Kestrun started runs to its end; and
# systemd finds nothing in the unit to complain about.
set -euo pipefail
unit=$1
program=$2
grep -qxF 'KillMode=process' "$unit" || { echo "FAIL: $unit would kill running commands"; exit 1; }
command -v systemd-analyze >/dev/null || { echo "SKIP: no systemd-analyze"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The installed program's path does not exist here: check the built one.
sed "s|^ExecStart=[^ ]*|ExecStart=$program|" "$unit" >"$work/kestrun-headless.service"
said=$(XDG_RUNTIME_DIR=$work systemd-analyze verify --user --man=no "$work/kestrun-headless.service" 2>&1) || true
[ -z "$said" ] || { echo "FAIL: systemd-analyze says: $said"; exit 1; }
echo "PASS"
