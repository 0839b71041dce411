#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The user service as systemd reads it: stopping or restarting it ends Kestrun
# alone (KillMode=process), so a backup Kestrun started runs to its end; the
# statuses the real program ends with when starting again cannot help are not
# restarted; and systemd finds nothing in the unit to complain about.
set -euo pipefail
unit=$1
program=$(realpath "$2")
fail() { echo "FAIL: $*"; exit 1; }
grep -qxF 'KillMode=process' "$unit" || fail "$unit would kill running commands"

work=$(mktemp -d)
first=
cleanup() {
  if [ -n "$first" ]; then kill "$first" 2>/dev/null || true; wait "$first" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
mkdir -p -m 0700 "$XDG_CONFIG_HOME/Kestrun"

prevented=$(sed -n 's/^RestartPreventExitStatus=//p' "$unit")
kept_down() { [[ " $prevented " == *" $1 "* ]] || fail "status $1 ($2) restarts the service for ever"; }
# Ends a run after ten seconds at most; its status.
status_of() { local status=0; timeout 10 "$program" "$@" </dev/null >"$work/out" 2>&1 || status=$?; echo "$status"; }

# Settings that cannot be used: a folder where the file should be.
mkdir "$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"
status=$(status_of --headless)
[ "$status" -ne 124 ] || fail "--headless ran on with settings it cannot use"
kept_down "$status" "settings that cannot be used"
rmdir "$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"

# Another Kestrun of the user already runs.
"$program" --headless </dev/null >"$work/first" 2>&1 &
first=$!
for _ in $(seq 100); do grep -q 'Started\.\.\.' "$work/first" && break; sleep 0.1; done
grep -q 'Started\.\.\.' "$work/first" || fail "the first --headless did not start: $(cat "$work/first")"
status=$(status_of --headless)
[ "$status" -ne 124 ] || fail "a second --headless ran beside the first"
kept_down "$status" "another Kestrun runs"
echo "ok: the statuses of settings that cannot be used and of another Kestrun are not restarted"

command -v systemd-analyze >/dev/null || { echo "SKIP: no systemd-analyze"; exit 77; }
# The installed program's path does not exist here: check the built one.
sed "s|^ExecStart=[^ ]*|ExecStart=$program|" "$unit" >"$work/kestrun-headless.service"
said=$(XDG_RUNTIME_DIR=$work systemd-analyze verify --user --man=no "$work/kestrun-headless.service" 2>&1) || true
[ -z "$said" ] || fail "systemd-analyze says: $said"
echo "PASS"
