#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What a drive's arrival and a storm of mounts cost Kestrun, beside
# event_reference, a minimal C program that waits on the same kernel event
# and starts the same command. Needs root (loop and tmpfs mounts), Xvfb for
# the window program.
#   bench/event_bench.sh KESTRUN EVENT_REFERENCE [ROUNDS [STORM]]
# Latency: from the moment the kernel announces the mount (when the
# reference wakes up to it) to the start of the entry's command, the median of
# ROUNDS mounts (10), for `kestrun --headless` and the window program, each
# beside the reference in the same run; the goal is the settle time plus
# twice the reference's. Storm: the CPU time of STORM (300)
# tmpfs mount/unmount pairs beside the reference's, and in passes' worth,
# where a pass's worth is the CPU time one mount/unmount pair on its own
# costs; the goal is under 10.
set -euo pipefail
kestrun=$(realpath "$1")
reference=$(realpath "$2")
rounds=${3:-10}
storm=${4:-300}
settle_ms=500  # PollSession::kSettle
[ "$(id -u)" -eq 0 ] || { echo "event_bench: needs root for its mounts" >&2; exit 77; }

work=$(mktemp -d /tmp/kestrun-event-bench.XXXXXX)
pids=()
loop=
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for dir in "$work/mnt" "$work/storm"; do mountpoint -q "$dir" && umount "$dir"; done
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p -m 700 "$work/config/Kestrun" "$work/state" "$work/runtime"
mkdir "$work/mnt" "$work/storm"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/runtime"

label="KB $(printf '%08X' $((RANDOM << 15 | RANDOM)))"
truncate -s 16M "$work/img"
mkfs.ext4 -q -L "$label" "$work/img"
loop=$(losetup --find --show "$work/img")
# An interval of an hour: no timed pass blurs the CPU figures.
printf '[Settings]\nAdvanced="label:%s\\r\\nexec:%s stamp %s\\r\\n"\nInterval=3600\nAuto=1\n' \
  "$label" "$reference" "$work/kestrun.stamps" > "$work/config/Kestrun/Kestrun.conf"
chmod 600 "$work/config/Kestrun/Kestrun.conf"
touch -d '-1 hour' "$work/config/Kestrun/Kestrun.conf"  # settled: read once

# Nanoseconds on a CPU, every thread of the process counted.
cpu_ns() {
  local total=0 task
  for task in /proc/"$1"/task/*/schedstat; do total=$((total + $(cut -d' ' -f1 "$task"))); done
  echo "$total"
}
lines() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Mounts and unmounts the stick ROUNDS times; prints the two medians in µs.
latencies() {
  local round announced k c
  : > "$work/k.us"
  : > "$work/c.us"
  for ((round = 0; round < rounds; round++)); do
    k=$(lines "$work/kestrun.stamps")
    c=$(lines "$work/reference.stamps")
    "$reference" mount "$loop" "$work/mnt"
    for _ in $(seq 250); do
      [ "$(lines "$work/kestrun.stamps")" -gt "$k" ] && [ "$(lines "$work/reference.stamps")" -gt "$c" ] && break
      sleep 0.02
    done
    [ "$(lines "$work/kestrun.stamps")" -gt "$k" ] || { echo "event_bench: Kestrun ran nothing" >&2; exit 1; }
    announced=$(tail -n 1 "$work/announced")
    echo $(( ($(tail -n 1 "$work/kestrun.stamps") - announced) / 1000 )) >> "$work/k.us"
    echo $(( ($(tail -n 1 "$work/reference.stamps") - announced) / 1000 )) >> "$work/c.us"
    sleep 0.5
    "$reference" umount "$work/mnt"
    sleep 1.5  # the removal's pass, settled
  done
  echo "$(median < "$work/k.us") $(median < "$work/c.us")"
}

report_latency() {  # NAME KESTRUN_US REFERENCE_US
  local goal=$((settle_ms * 1000 + 2 * $3))
  echo "$1: median plug-to-command latency $(($2 / 1000)).$(($2 % 1000 / 100)) ms;" \
    "event_reference $(($3 / 1000)).$(($3 % 1000 / 100)) ms;" \
    "Kestrun minus the settle is $(awk -v k="$2" -v c="$3" -v s="$settle_ms" \
      'BEGIN {printf "%.1f", (k - s * 1000) / c}')x the reference;" \
    "goal <= $((goal / 1000)) ms: $([ "$2" -le "$goal" ] && echo met || echo MISSED)"
}

"$reference" watch "$work/mnt" "$work/announced" "$reference" stamp "$work/reference.stamps" &
pids+=($!)
reference_pid=$!

echo "== kestrun --headless"
"$kestrun" --headless > "$work/headless.log" 2>&1 &
pids+=($!)
headless=$!
sleep 2
read -r k c < <(latencies)
report_latency "headless" "$k" "$c"

# One mount/unmount pair on its own, then the storm: CPU beside the reference's.
idle_before=$(cpu_ns $headless)
sleep 10
idle_rate=$(( ($(cpu_ns $headless) - idle_before) / 10 ))  # ns a second, idle
single_before=$(cpu_ns $headless)
for _ in 1 2 3 4 5; do
  "$reference" storm "$work/storm" 1
  sleep 2
done
one_pass=$(( ($(cpu_ns $headless) - single_before - 10 * idle_rate) / 5 ))
k_before=$(cpu_ns $headless)
c_before=$(cpu_ns $reference_pid)
started=$(date +%s%N)
"$reference" storm "$work/storm" "$storm"
storm_ms=$(( ($(date +%s%N) - started) / 1000000 ))
sleep 4  # the last burst settles and passes
k_storm=$(( $(cpu_ns $headless) - k_before - 4 * idle_rate - storm_ms * idle_rate / 1000 ))
c_storm=$(( $(cpu_ns $reference_pid) - c_before ))
echo "storm: $storm tmpfs mount/unmount pairs in $storm_ms ms; CPU kestrun --headless" \
  "$((k_storm / 1000)) µs, event_reference $((c_storm / 1000)) µs;" \
  "a lone pair costs kestrun $((one_pass / 1000)) µs, so the storm is" \
  "$(awk -v s="$k_storm" -v p="$one_pass" 'BEGIN {printf "%.1f", s / p}') passes' worth" \
  "(goal < 10); per mount: $((k_storm / storm / 2 / 1000)) µs"
kill -TERM "$headless"
wait "$headless" 2>/dev/null || true

echo "== the window program under Xvfb"
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    </dev/null >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb "$kestrun" </dev/null \
    > "$work/window.log" 2>&1 &
  pids+=($!)
  sleep 6  # the splash, then polling from start-up
  read -r k c < <(latencies)
  report_latency "window" "$k" "$c"
else
  echo "window: skipped, Xvfb is not installed"
fi
