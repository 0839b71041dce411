#!/bin/sh
# SPDX-License-Identifier: MIT
# What an idle `kestrun --headless` costs with Interval=1: the file system
# calls of ten idle passes (none may write, make, remove or rename anything),
# and its CPU time over SECONDS beside idle_reference, a minimal C program
# that lists the same drives once a second.
#   bench/idle_cost.sh KESTRUN IDLE_REFERENCE [SECONDS]
set -eu
kestrun=$1
reference=$2
seconds=${3:-60}

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config/Kestrun" "$home/state" "$home/runtime"
chmod 700 "$home/config/Kestrun" "$home/runtime"
printf '[Settings]\nAdvanced="label:KESTRUN IDLE BENCH\\r\\nexec:/bin/true\\r\\n"\nInterval=1\n' \
  >"$home/config/Kestrun/Kestrun.conf"
chmod 600 "$home/config/Kestrun/Kestrun.conf"
# Saved long ago: a file saved a moment before is read again until its time settles.
touch -d '-1 hour' "$home/config/Kestrun/Kestrun.conf"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
  XDG_RUNTIME_DIR="$home/runtime"

# Nanoseconds on a CPU, every thread of the process counted.
cpu_ns() {
  total=0
  for task in /proc/"$1"/task/*/schedstat; do
    total=$((total + $(cut -d' ' -f1 "$task")))
  done
  echo "$total"
}

echo "== file system calls after start-up, over 10 idle passes"
strace -f -tt -e trace=%file -o "$home/trace" "$kestrun" --headless >/dev/null &
tracer=$!
sleep 2
traced=$(pgrep -P "$tracer")
start=$(date +%H:%M:%S.%N)
sleep 10
kill -TERM "$traced"
wait "$tracer" || true
awk -v start="$start" '$2 >= start' "$home/trace" >"$home/idle"
echo "calls: $(wc -l <"$home/idle")"
sed -E 's/^[0-9]+ +[0-9:.]+ +//; s/\(.*//' "$home/idle" | sort | uniq -c
changing=$( (sed -E 's/^[0-9]+ +[0-9:.]+ +//' "$home/idle" |
  grep -E '^(mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat2?|link|linkat|symlink|symlinkat|chmod|fchmodat|chown|lchown|fchownat|truncate|utimensat|creat)\(|^open(at)?\(.*O_(WRONLY|RDWR|CREAT|TRUNC)') |
  wc -l)
echo "calls that write, make, remove or rename: $changing"

echo "== CPU over $seconds s once started"
"$kestrun" --headless >/dev/null &
program=$!
"$reference" &
minimal=$!
sleep 2
program_before=$(cpu_ns $program)
minimal_before=$(cpu_ns $minimal)
sleep "$seconds"
program_ms=$((($(cpu_ns $program) - program_before) / 1000000))
minimal_ms=$((($(cpu_ns $minimal) - minimal_before) / 1000000))
kill -TERM $program
kill $minimal
wait $program $minimal 2>/dev/null || true
echo "kestrun --headless: $program_ms ms; idle_reference: $minimal_ms ms"
