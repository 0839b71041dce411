#!/usr/bin/env bash
# kestrun --headless against a real loop-mounted ext4 image: a matching drive
# present at start runs once, a remount runs again, each run's end is logged,
# SIGTERM ends with "Stopped."; with --instant a mount is acted on at once.
# Needs root.
set -euo pipefail
binary=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop mounts need root; CI runs this as root"
  exit 77
fi

work=$(mktemp -d /tmp/kestrun-headless.XXXXXX)
pid=
loop=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  mountpoint -q "$work/mnt" && umount "$work/mnt" || true
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- log"; cat "$work/log.txt" || true; exit 1; }

truncate -s 16M "$work/img"
mkfs.ext4 -q -L 'KS HEADLESS' "$work/img"
loop=$(losetup --find --show "$work/img")
mkdir -p "$work/mnt" "$work/config/Kestrun"
export XDG_CONFIG_HOME="$work/config"

# The command records its arguments and the drive's environment, one line a run.
cat > "$work/record.sh" <<'SH'
#!/bin/sh
printf '%s|%s|%s|%s|%s|%s\n' "$(date +%s%N)" "$1" "$2" "$KESTRUN_LABEL" "$KESTRUN_MOUNT" \
  "$KESTRUN_DEVICE" >> "$RUNS"
SH
chmod +x "$work/record.sh"
export RUNS="$work/runs.txt"
settings() {
  printf '[Settings]\nInterval=%s\nAdvanced="label:KS HEADLESS\\r\\nexec:%s \\"%%1\\" %%2\\r\\n"\n' \
    "$1" "$work/record.sh" > "$work/config/Kestrun/Kestrun.conf"
}
runs() { [ -f "$RUNS" ] && wc -l < "$RUNS" || echo 0; }
wait_runs() {  # wait_runs N SECONDS
  local deadline=$(( $(date +%s) + $2 ))
  while [ "$(runs)" -lt "$1" ] && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.02; done
  [ "$(runs)" -ge "$1" ] || fail "expected $1 runs, saw $(runs)"
}
ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Polling by the clock: the drive is there at start, then taken out and put back.
settings 1
mount "$loop" "$work/mnt"
"$binary" --headless > "$work/log.txt" 2>&1 &
pid=$!
wait_runs 1 10
sleep 2.2
[ "$(runs)" -eq 1 ] || fail "the same drives ran the entry again"
IFS='|' read -r _ root label env_label env_mount env_device < "$RUNS"
[[ "$root" =~ ^[D-Z]:\\$ ]] || fail "argument 1 is '$root', not a drive root"
[ "$label" = KS ] || fail "the unquoted %2 should split into 'KS' and 'HEADLESS', saw '$label'"
[ "$env_label" = "KS HEADLESS" ] || fail "KESTRUN_LABEL is '$env_label'"
[ "$env_mount" = "$work/mnt" ] || fail "KESTRUN_MOUNT is '$env_mount'"
[ "$env_device" = "$loop" ] || fail "KESTRUN_DEVICE is '$env_device'"
umount "$work/mnt"
sleep 2.2
mount "$loop" "$work/mnt"
wait_runs 2 10
finished="  finished: 'KS HEADLESS' on $root with exit code 0 after "
ends() { grep -cF -- "$finished" "$work/log.txt" || true; }
for _ in $(seq 250); do [ "$(ends)" -ge 2 ] && break; sleep 0.02; done
[ "$(ends)" -eq 2 ] || fail "expected 2 'finished' lines, saw $(ends)"
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
pid=
[ "$status" -eq 0 ] || fail "SIGTERM gave exit status $status"
expected="Started...
Detected USB device labeled 'KS HEADLESS' on $root
  executing script...$work/record.sh \"$root\" KS HEADLESS
  now ignoring the device until it's reinserted (or app is restarted)"
[ "$(head -n 4 "$work/log.txt")" = "$expected" ] || fail "the first pass logged something else"
[ "$(tail -n 1 "$work/log.txt")" = "Stopped." ] || fail "no 'Stopped.' at the end"
echo "clock polling: 2 runs for insert and reinsert, both ends logged, SIGTERM exit 0"

# --instant: a long interval, so only the mount table change can explain a run.
umount "$work/mnt"
rm -f "$RUNS"
settings 3600
"$binary" --headless --instant > "$work/log.txt" 2>&1 &
pid=$!
sleep 1
[ "$(runs)" -eq 0 ] || fail "ran with no matching drive"
before=$(date +%s%N)
mount "$loop" "$work/mnt"
wait_runs 1 5
ran=$(cut -d'|' -f1 "$RUNS" | head -n 1)
latency=$(( (ran - before) / 1000000 ))
echo "instant: the command ran ${latency} ms after the mount started"
[ "$latency" -lt 1000 ] || fail "--instant took ${latency} ms"
kill -TERM "$pid"
wait "$pid" || fail "SIGTERM did not end --instant cleanly"
pid=
echo "PASS"
