#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kestrun --headless against a real loop-mounted ext4 image: a matching drive
# present at start runs once, a remount runs again, each run's end is logged,
# SIGTERM ends with "Stopped."; with --instant a mount is acted on within a
# second.
# Needs root.
set -euo pipefail
binary=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop mounts need root; CI runs this as root"
  exit 77
fi

work=$(mktemp -d /tmp/kestrun-headless.XXXXXX)
# A label no other drive on the machine carries, so only this volume can match.
suffix=$(printf '%08X' $((RANDOM << 15 | RANDOM)))
label="KS $suffix"
pid=
loop=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  mountpoint -q "$work/mnt" && unmount "$work/mnt" || true
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Killed by a timeout, still take the loops and the Kestrun started here away.
trap 'exit 143' TERM
trap 'exit 130' INT
# shellcheck source=tests/cli/unmount.sh
source "$(dirname "$0")/unmount.sh"
fail() { echo "FAIL: $*"; echo "--- log"; cat "$work/log.txt" || true; exit 1; }

truncate -s 16M "$work/img"
mkfs.ext4 -q -L "$label" "$work/img"
loop=$(losetup --find --show "$work/img")
mkdir -p "$work/mnt"
mkdir -m 700 "$work/runtime"
# Settings and the one-instance lock of this run only, so runs side by side
# (and a Kestrun of the user's own) never meet.
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/runtime"

# The command records its arguments and the drive's environment, one line a run.
cat > "$work/record.sh" <<'SH'
#!/bin/sh
printf '%s|%s|%s|%s|%s|%s\n' "$(date +%s%N)" "$1" "$2" "$KESTRUN_LABEL" "$KESTRUN_MOUNT" \
  "$KESTRUN_DEVICE" >> "$RUNS"
SH
chmod +x "$work/record.sh"
export RUNS="$work/runs.txt"
# The settings as a headless user makes them: a script file and the command line.
script() {  # script WORD: the volume's entry, recording WORD as its second argument
  printf 'label:%s\nexec:%s "%%1" %s\n' "$label" "$work/record.sh" "$1" > "$work/script.txt"
  "$binary" --store-script "$work/script.txt" > /dev/null || fail "--store-script refused the script"
}
settings() {  # settings INTERVAL
  "$binary" --set-interval "$1" || fail "--set-interval refused $1"
  script %2
}
runs() { [ -f "$RUNS" ] && wc -l < "$RUNS" || echo 0; }
wait_runs() {  # wait_runs N SECONDS
  local deadline=$(( $(date +%s) + $2 ))
  while [ "$(runs)" -lt "$1" ] && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.02; done
  [ "$(runs)" -ge "$1" ] || fail "expected $1 runs, saw $(runs)"
}
# Ends kestrun with SIGTERM and sets $status to its exit status; fails when it
# is still running 10 s later, so a lost signal fails the test, never hangs it.
stop() {
  kill -TERM "$pid"
  local i
  for ((i = 0; i < 500; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
  kill -0 "$pid" 2>/dev/null && fail "kestrun still runs 10 s after SIGTERM"
  wait "$pid" && status=0 || status=$?
  pid=
}

# Polling by the clock: the drive is there at start, then taken out and put back.
settings 1
mount "$loop" "$work/mnt"
"$binary" --headless > "$work/log.txt" 2>&1 &
pid=$!
wait_runs 1 10
sleep 2.2
[ "$(runs)" -eq 1 ] || fail "the same drives ran the entry again"
IFS='|' read -r _ root first_word env_label env_mount env_device < "$RUNS"
[[ "$root" =~ ^[D-Z]:\\$ ]] || fail "argument 1 is '$root', not a drive root"
[ "$first_word" = KS ] || fail "the unquoted %2 should split into 'KS' and '$suffix', saw '$first_word'"
[ "$env_label" = "$label" ] || fail "KESTRUN_LABEL is '$env_label'"
[ "$env_mount" = "$work/mnt" ] || fail "KESTRUN_MOUNT is '$env_mount'"
[ "$env_device" = "$loop" ] || fail "KESTRUN_DEVICE is '$env_device'"
unmount "$work/mnt"
sleep 2.2
mount "$loop" "$work/mnt"
wait_runs 2 10
finished="  finished: '$label' on $root with exit code 0 after "
ends() { grep -cF -- "$finished" "$work/log.txt" || true; }
for _ in $(seq 250); do [ "$(ends)" -ge 2 ] && break; sleep 0.02; done
[ "$(ends)" -eq 2 ] || fail "expected 2 'finished' lines, saw $(ends)"
stop
[ "$status" -eq 0 ] || fail "SIGTERM gave exit status $status"
expected="Started...
Detected USB device labeled '$label' on $root
  executing script...$work/record.sh \"$root\" $label
  now ignoring the device until it's reinserted (or app is restarted)"
[ "$(head -n 4 "$work/log.txt")" = "$expected" ] || fail "the first pass logged something else"
[ "$(tail -n 1 "$work/log.txt")" = "Stopped." ] || fail "no 'Stopped.' at the end"
echo "clock polling: 2 runs for insert and reinsert, both ends logged, SIGTERM exit 0"

# --instant: a long interval, so only the mount table change can explain a run.
# The script is stored while it runs, and the next pass uses it.
unmount "$work/mnt"
rm -f "$RUNS"
settings 3600
"$binary" --headless --instant > "$work/log.txt" 2>&1 &
pid=$!
sleep 1
[ "$(runs)" -eq 0 ] || fail "ran with no matching drive"
script stored-while-running
mount "$loop" "$work/mnt"
# The kernel announces the mount as the call ends, and a busy machine takes
# its time over the call itself: count from its end.
mounted=$(date +%s%N)
wait_runs 1 5
IFS='|' read -r ran _ word _ < "$RUNS"
[ "$word" = stored-while-running ] ||
  fail "the running service used the old script, not the one --store-script stored"
echo "instant: the script stored while it ran was used at the next pass"
latency=$(( (ran - mounted) / 1000000 ))
echo "instant: the command ran ${latency} ms after the mount"
[ "$latency" -lt 1000 ] || fail "--instant took ${latency} ms"
stop
[ "$status" -eq 0 ] || fail "SIGTERM gave --instant exit status $status"
echo "PASS"
