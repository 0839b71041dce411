#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kestrun --headless hears drives come and go, with the default interval of
# 10 s: a stick's two volumes mounted 50 ms apart run each entry once, a
# volume unmounted and mounted again 2 s later runs its entry again, and a
# storm of unrelated mounts runs nothing and costs a pass per few seconds,
# not one per mount. Needs root.
set -euo pipefail
binary=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop mounts need root; CI runs this as root"
  exit 77
fi
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 77; }

work=$(mktemp -d /tmp/kestrun-events.XXXXXX)
# Labels no other drive on the machine carries, so only these volumes match.
suffix=$(printf '%08X' $((RANDOM << 15 | RANDOM)))
labels=("KA $suffix" "KB $suffix")
pid=
tracer=
loops=()
cleanup() {
  [ -n "$tracer" ] && kill "$tracer" 2>/dev/null || true
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  for dir in "$work"/mnt*; do mountpoint -q "$dir" && unmount "$dir"; done
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Killed by a timeout, still take the loops and the Kestrun started here away.
trap 'exit 143' TERM
trap 'exit 130' INT
# shellcheck source=tests/cli/unmount.sh
source "$(dirname "$0")/unmount.sh"
fail() { echo "FAIL: $*"; echo "--- log"; cat "$work/log.txt" || true; exit 1; }

for i in 0 1; do
  truncate -s 16M "$work/img$i"
  mkfs.ext4 -q -L "${labels[i]}" "$work/img$i"
  loops+=("$(losetup --find --show "$work/img$i")")
  mkdir -p "$work/mnt$i"
done
mkdir -m 700 "$work/runtime"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/runtime"
cat > "$work/record.sh" <<'SH'
#!/bin/sh
echo "$1" >> "$RUNS"
SH
chmod +x "$work/record.sh"
export RUNS="$work/runs.txt"
printf 'label:%s\nexec:%s A\nlabel:%s\nexec:%s B\n' "${labels[0]}" "$work/record.sh" \
  "${labels[1]}" "$work/record.sh" > "$work/script.txt"
"$binary" --store-script "$work/script.txt" > /dev/null || fail "--store-script refused the script"
"$binary" --set-interval 10 || fail "--set-interval refused 10"

runs() { if [ -f "$RUNS" ]; then grep -c "^$1\$" "$RUNS" || true; else echo 0; fi; }
wait_runs() {  # wait_runs ENTRY N SECONDS
  local deadline=$(( $(date +%s) + $3 ))
  while [ "$(runs "$1")" -lt "$2" ] && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.02; done
  [ "$(runs "$1")" -ge "$2" ] || fail "expected $2 runs of $1, saw $(runs "$1")"
}

"$binary" --headless > "$work/log.txt" 2>&1 &
pid=$!
for _ in $(seq 250); do grep -q '^Started' "$work/log.txt" 2>/dev/null && break; sleep 0.02; done
grep -q '^Started' "$work/log.txt" || fail "no 'Started...'"

# A stick with two volumes, mounted one after the other.
mount "${loops[0]}" "$work/mnt0"
sleep 0.05
mount "${loops[1]}" "$work/mnt1"
wait_runs A 1 5
wait_runs B 1 5
sleep 1.5  # room for a pass too many
[ "$(runs A)" -eq 1 ] && [ "$(runs B)" -eq 1 ] ||
  fail "a stick's two volumes ran A $(runs A) and B $(runs B) times"
echo "ok: a stick's two volumes ran each entry once"

# Pulled and put back within one interval.
unmount "$work/mnt0"
sleep 2
mount "${loops[0]}" "$work/mnt0"
wait_runs A 2 12
echo "ok: a volume mounted again 2 s after it left ran its entry again"

# Unrelated mounts as container runtimes make them. A pass that finds the
# mount table changed reads it from its start again, which strace shows as
# an lseek on it: one per pass.
strace -f -y -e trace=lseek -e signal=none -o "$work/trace" -p "$pid" 2>/dev/null &
tracer=$!
sleep 1
before=$(wc -l < "$RUNS")
mkdir "$work/mnt-storm"
started=$(date +%s%N)
for _ in $(seq 300); do
  mount -t tmpfs none "$work/mnt-storm"
  umount "$work/mnt-storm"
done
seconds=$(( ($(date +%s%N) - started) / 1000000000 + 1 ))
sleep 3  # the last burst settles
kill "$tracer"
wait "$tracer" 2>/dev/null || true
tracer=
passes=$(grep -c 'mountinfo>, 0, SEEK_SET' "$work/trace" || true)
[ "$(wc -l < "$RUNS")" -eq "$before" ] || fail "the storm ran a command"
# One pass per 2.5 s of storm, one for the burst's end, one for a slow start.
most=$(( seconds * 2 / 5 + 3 ))
echo "storm: 600 mount table changes in about $seconds s made $passes passes"
[ "$passes" -ge 1 ] || fail "the storm made no pass: is the trace right?"
[ "$passes" -le "$most" ] || fail "the storm made $passes passes, more than $most"
echo "ok: a storm of unrelated mounts ran nothing, in few passes"

kill -TERM "$pid"
for _ in $(seq 500); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
kill -0 "$pid" 2>/dev/null && fail "kestrun still runs 10 s after SIGTERM"
wait "$pid" || fail "SIGTERM gave a failing exit status"
pid=
echo "PASS"
