#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Soak: kestrun --headless --instant against three loop images that are
# mounted and unmounted over and over. Every mount must run its entry's
# command; resident memory must settle, descriptors come back to their
# count, no launched process be left a zombie and the log hold no error.
#
#   tests/soak/soak.sh KESTRUN [CYCLES] [--valgrind | --sanitized]
#
# A cycle mounts one image, waits for its command to have run, and unmounts
# it: two passes that act (the mount table changes twice), besides the
# one-second clock's own passes. --valgrind runs kestrun under memcheck;
# --sanitized skips the memory bound, which a sanitizer's allocator defeats.
# Needs root for the loop mounts; exits 77 (skipped) otherwise.
set -euo pipefail
binary=$(realpath "$1")
cycles=${2:-100}
mode=${3:-}

if [ "$(id -u)" -ne 0 ]; then
  echo "soak: skipped, loop mounts need root; CI runs this as root"
  exit 77
fi
for tool in losetup mkfs.ext4 mountpoint ps; do
  command -v "$tool" >/dev/null || { echo "soak: skipped, $tool is missing"; exit 77; }
done
if [ "$mode" = --valgrind ] && ! command -v valgrind >/dev/null; then
  echo "soak: skipped, valgrind is missing"
  exit 77
fi

work=$(mktemp -d /tmp/kestrun-soak.XXXXXX)
# Labels no other drive on the machine carries, so only these images match.
tag=$(printf '%08X' $((RANDOM << 15 | RANDOM)))
pid=
loops=()
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; fi
  for dir in "$work"/mnt*; do mountpoint -q "$dir" && unmount "$dir" || true; done
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/cli/unmount.sh
source "$(dirname "$0")/../cli/unmount.sh"

for n in 1 2 3; do
  truncate -s 16M "$work/img$n"
  mkfs.ext4 -q -L "SOAK$n $tag" "$work/img$n"
  loops+=("$(losetup --find --show "$work/img$n")")
  mkdir -p "$work/mnt$n"
done

# Settings, state and the one-instance lock of this run only.
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/Kestrun"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Each image's entry leaves a mark, so the soak knows its mount was acted on.
{
  printf '[Settings]\nInterval=1\nAuto=0\nMinimise=0\n'
  printf 'Advanced="label:SOAK1 %s\\r\\nexec:touch %s/ran1\\r\\n' "$tag" "$work"
  printf 'label:SOAK2 %s\\r\\nexec:touch %s/ran2\\r\\n' "$tag" "$work"
  printf 'label:SOAK3 %s\\r\\nexec:/usr/bin/touch %s/ran3\\r\\n"\n' "$tag" "$work"
} >"$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"

runner=()
patience=200  # hundredths of a second for a command to run after its mount
if [ "$mode" = --valgrind ]; then
  # The launcher's forks would each report too, before their exec.
  runner=(valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
    --child-silent-after-fork=yes --log-file="$work/valgrind.log")
  patience=2000
fi
zombies_before=$(ps -eo stat= | grep -c '^Z' || true)
"${runner[@]}" "$binary" --headless --instant >"$work/log.txt" 2>"$work/err.txt" &
pid=$!
for ((i = 0; i < patience; i++)); do [ -s "$work/log.txt" ] && break; sleep 0.05; done

rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
fds() { ls "/proc/$pid/fd" | wc -l; }
zombies() { ps --ppid "$pid" -o stat= 2>/dev/null | grep -c '^Z' || true; }
missed=0
churn() {
  local n=$(($1 % 3 + 1))
  mount "${loops[$((n - 1))]}" "$work/mnt$n"
  local i
  for ((i = 0; i < patience; i++)); do [ -e "$work/ran$n" ] && break; sleep 0.01; done
  [ -e "$work/ran$n" ] || missed=$((missed + 1))
  rm -f "$work/ran$n"
  unmount "$work/mnt$n"
  sleep 0.02
}

warmup=$((cycles / 10 + 5))
for ((c = 0; c < warmup; c++)); do churn "$c"; done
sleep 1
rss_start=$(rss)
fds_start=$(fds)
ls -l "/proc/$pid/fd" >"$work/fds_start.txt"
started=$(date +%s)
for ((c = 0; c < cycles; c++)); do churn "$c"; done
seconds=$(($(date +%s) - started))
sleep 2
rss_end=$(rss)
rss_peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
fds_end=$(fds)
ls -l "/proc/$pid/fd" >"$work/fds_end.txt"
zombie_count=$(zombies)

kill -TERM "$pid"
for ((i = 0; i < 500; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
if kill -0 "$pid" 2>/dev/null; then
  status="still running 10 s after SIGTERM"
else
  wait "$pid" && status=0 || status=$?
  pid=
fi
zombies_after=$(ps -eo stat= | grep -c '^Z' || true)
mounts=$((warmup + cycles))
detections=$(grep -c "^Detected USB device labeled .SOAK[123] $tag. on " "$work/log.txt" || true)
errors=$(grep -c '^  error:' "$work/log.txt" || true)

echo "soak: $cycles cycles after $warmup warm-up in ${seconds}s: $((2 * mounts)) mount table" \
  "changes, $detections detections for $mounts mounts, $missed missed, $errors errors"
echo "soak: RSS ${rss_start} kB -> ${rss_end} kB (peak ${rss_peak} kB), fds $fds_start -> $fds_end," \
  "zombies $zombie_count (machine: $zombies_before -> $zombies_after), exit $status"

fail=0
[ "$status" = 0 ] || { echo "soak: kestrun exited with $status"; cat "$work/err.txt"; fail=1; }
if [ "$mode" != --sanitized ] && [ "$mode" != --valgrind ]; then
  [ $((rss_end - rss_start)) -le 1024 ] || { echo "soak: resident memory grew by more than 1 MB"; fail=1; }
fi
[ "$fds_end" -le "$fds_start" ] || {
  echo "soak: descriptors leaked"
  diff "$work/fds_start.txt" "$work/fds_end.txt" || true
  fail=1
}
[ "$zombie_count" -eq 0 ] || { echo "soak: zombies left"; fail=1; }
[ "$missed" -eq 0 ] || { echo "soak: $missed mounts ran no command"; fail=1; }
[ "$detections" -eq "$mounts" ] || { echo "soak: $detections detections for $mounts mounts"; fail=1; }
[ "$errors" -eq 0 ] || { echo "soak: the log has errors"; grep '^  error:' "$work/log.txt" | head; fail=1; }
[ "$(tail -n 1 "$work/log.txt")" = "Stopped." ] || { echo "soak: no 'Stopped.' at the end"; fail=1; }
if [ "$mode" = --valgrind ]; then
  grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost' "$work/valgrind.log" || true
fi
exit $fail
