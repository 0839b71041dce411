#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the command line costs as a whole process: the CPU time (user + system)
# of `kestrun --list-drives` beside `lsblk -J`, run in turns so that both see
# the same machine, as the median of RUNS samples each and their ratio (a
# sample is the mean of 5 runs, since the shell counts whole milliseconds);
# then the resident memory of `kestrun --headless` once its start-up has
# settled. Give an earlier build as OTHER to see its memory beside.
#   bench/cli_bench.sh KESTRUN [RUNS] [OTHER]
set -euo pipefail
kestrun=$(realpath "$1")
runs=${2:-21}
other=${3:+$(realpath "$3")}
command -v lsblk >/dev/null || { echo "lsblk (util-linux) is needed"; exit 1; }

home=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null; rm -rf "$home"' EXIT
mkdir -p "$home/config/Kestrun" "$home/state" "$home/runtime"
chmod 700 "$home/config/Kestrun" "$home/runtime"
printf '[Settings]\nAdvanced="label:KESTRUN CLI BENCH\\r\\nexec:/bin/true\\r\\n"\n' \
  >"$home/config/Kestrun/Kestrun.conf"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
  XDG_RUNTIME_DIR="$home/runtime"

# Microseconds of CPU, user and system, that one run of the command took, as
# the mean of 5: the subshell's `times` counts its own children only.
cpu_us() {
  (
    for _ in 1 2 3 4 5; do "$@" >/dev/null 2>&1; done
    times
  ) | awk 'NR == 2 {
      split($1, u, /[ms]/); split($2, s, /[ms]/)
      printf "%d\n", ((u[1] + s[1]) * 60 + u[2] + s[2]) * 1000000 / 5
    }'
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ms() { awk -v us="$1" 'BEGIN {printf "%.1f ms", us / 1000}'; }

"$kestrun" --list-drives >/dev/null  # the letters file, and the page cache
for ((i = 0; i < runs; i++)); do
  cpu_us "$kestrun" --list-drives >>"$home/kestrun.us"
  cpu_us lsblk -J >>"$home/lsblk.us"
done
k=$(median <"$home/kestrun.us")
l=$(median <"$home/lsblk.us")
echo "== CPU time of one run, median of $runs samples each, in turns"
echo "kestrun --list-drives: $(ms "$k")"
echo "lsblk -J:              $(ms "$l")"
awk -v k="$k" -v l="$l" 'BEGIN {printf "ratio: %.1fx (goal: 2x at most)\n", (l > 0 ? k / l : 0)}'
echo "shared libraries loaded: $(ldd "$kestrun" | wc -l)"

# VmRSS and VmHWM of --headless three seconds after it wrote Started...
resident() {
  "$1" --headless >"$home/headless.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do grep -q 'Started' "$home/headless.log" && break; sleep 0.1; done
  sleep 3
  awk '/^Vm(RSS|HWM):/ {printf "%s %.1f MB  ", $1, $2 / 1024}' "/proc/$pid/status"
  echo
  kill -TERM "$pid"
  wait "$pid" || true
  pid=""
}
echo "== kestrun --headless, resident once settled"
echo "$kestrun: $(resident "$kestrun")"
[ -z "$other" ] || echo "$other: $(resident "$other")"
