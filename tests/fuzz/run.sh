#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60)
# from the seed corpus. A finding fails the run and leaves its input in the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=build/fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUN_WITH_QT=OFF -DKESTRUN_BUILD_BENCH=OFF -DKESTRUN_FUZZ=ON >/dev/null
targets=(fuzz_script fuzz_mountinfo fuzz_labels fuzz_letters fuzz_launch_split)
cmake --build "$build" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus"
  echo "== $target: ${seconds}s"
  if (cd "$work" && "$OLDPWD/$build/tests/fuzz/$target" -max_total_time="$seconds" \
        -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        corpus "$OLDPWD/tests/fuzz/corpus/$target" >log.txt 2>&1); then
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log.txt" || true
  else
    tail -40 "$work/log.txt"
    echo "$target found a fault; the input is in $work"
    status=1
  fi
done
exit $status
