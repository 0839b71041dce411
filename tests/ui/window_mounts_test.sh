#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The kestrun window program on an X display, polling from start-up with the
# default interval of 10 s, starts a volume's command within a second of its
# mount: the mount itself starts the pass. Needs root for the loop mount.
set -euo pipefail
program=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop mounts need root; CI runs this as root"
  exit 77
fi
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/xvfb_session.sh"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
loop=
finish() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  cleanup
}
trap finish EXIT
fail() {
  echo "FAIL: $1"
  cat "$work/log"
  exit 1
}

# A label no other drive on the machine carries, so only this volume matches.
label="KW $(printf '%08X' $((RANDOM << 15 | RANDOM)))"
truncate -s 16M "$work/img"
mkfs.ext4 -q -L "$label" "$work/img"
loop=$(losetup --find --show "$work/img")
mkdir "$work/mnt"
printf '#!/bin/sh\ndate +%%s%%N >> "%s/runs"\n' "$work" > "$work/record.sh"
chmod +x "$work/record.sh"
mkdir -p -m 700 "$work/config/Kestrun"
printf '[Settings]\nAdvanced="label:%s\\r\\nexec:%s\\r\\n"\nInterval=10\nAuto=1\n' \
  "$label" "$work/record.sh" > "$work/config/Kestrun/Kestrun.conf"
chmod 600 "$work/config/Kestrun/Kestrun.conf"

"$program" </dev/null >"$work/log" 2>&1 &
pids+=($!)
# Polling starts before the window shows.
poll_for 300 xdotool search --onlyvisible --name '^Kestrun v1\.5$' || fail "no main window"
sleep 1
[ ! -e "$work/runs" ] || fail "ran with no matching drive"

mount "$loop" "$work/mnt"
# The kernel announces the mount as the call ends, and a busy machine takes
# its time over the call itself: count from its end.
mounted=$(date +%s%N)
for _ in $(seq 250); do [ -s "$work/runs" ] && break; sleep 0.02; done
[ -s "$work/runs" ] || fail "the command did not start within 5 s of the mount"
latency=$(( ($(head -n 1 "$work/runs") - mounted) / 1000000 ))
echo "the command started ${latency} ms after the mount"
[ "$latency" -lt 1000 ] || fail "the command started ${latency} ms after the mount"
echo "PASS"
