#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remembered drive letters, with the real program on real drives: ext4 and
# btrfs loop images and an exFAT image through FUSE. Each volume keeps its
# letter across unmounting; a new --list-drives agrees with a running
# --headless; processes started together agree; a damaged letters file and a
# read-only state folder are told once and stop nothing; and 24 volumes seen
# over time reuse the letter of the one seen longest ago. Needs root.
set -euo pipefail
binary=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop mounts need root; CI runs this as root"
  exit 77
fi
# A mount namespace of its own: other processes on the machine neither see
# these mounts (so none holds one busy) nor change the mount table under it.
if [ -z "${KESTRUN_OWN_MOUNTS:-}" ]; then
  KESTRUN_OWN_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
fi

work=$(mktemp -d /tmp/kestrun-letters.XXXXXX)
pid=
declare -A image loop folder label loop_fuse
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  for name in "${!folder[@]}"; do
    mountpoint -q "${folder[$name]}" && umount "${folder[$name]}" || true
  done
  for name in "${!loop[@]}"; do losetup -d "${loop[$name]}" 2>/dev/null || true; done
  mountpoint -q "$work/state-ro" && umount "$work/state-ro" || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/log*.txt "$work/stderr"; do
    [ -f "$log" ] && { echo "--- $log"; cat "$log"; }
  done
  exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export XDG_STATE_HOME="$work/state"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Kestrun" "$XDG_RUNTIME_DIR"
# Labels no other drive on the machine carries; exFAT takes 11 characters.
tag=$(od -An -N4 -tx4 /dev/urandom | tr -d ' ')

# volume NAME FS [SIZE]: a new filesystem on a loop device, not yet mounted.
volume() {
  local name=$1 fs=$2 size=${3:-16M}
  image[$name]="$work/$name.img"
  folder[$name]="$work/mnt-$name"
  label[$name]="K$name$tag"
  mkdir -p "${folder[$name]}"
  truncate -s "$size" "${image[$name]}"
  case $fs in
    ext4) mkfs.ext4 -q -F -L "${label[$name]}" "${image[$name]}" ;;
    btrfs) mkfs.btrfs -q -f -L "${label[$name]}" "${image[$name]}" ;;
    exfat) mkfs.exfat -L "${label[$name]}" "${image[$name]}" >/dev/null ;;
  esac
  loop[$name]=$(losetup --find --show "${image[$name]}")
  [ "$fs" = exfat ] && loop_fuse[$name]=1 || true
}
mount_volume() {
  if [ -n "${loop_fuse[$1]:-}" ]; then
    mount.exfat-fuse "${loop[$1]}" "${folder[$1]}" 2>/dev/null
  else
    mount "${loop[$1]}" "${folder[$1]}"
  fi
}
umount_volume() { umount "${folder[$1]}"; }

list() { timeout 20 "$binary" --list-drives 2>"$work/stderr"; }
# The letter --list-drives gives the volume NAME, and its identity.
letter() { list | awk -F'\t' -v l="${label[$1]}" '$4 == l { print substr($1, 1, 1) }'; }
identity() { list | awk -F'\t' -v l="${label[$1]}" '$4 == l { print $8 }'; }
no_warning() { [ ! -s "$work/stderr" ] || fail "unexpected: $(cat "$work/stderr")"; }

volume A ext4
volume B btrfs 128M
volume X exfat 8M
volume N ext4

# 1. Mount A, B and X; unmount them all; mount them back the other way round.
declare -A first
for name in A B X; do
  mount_volume $name
  first[$name]=$(letter $name)
  no_warning
  [ -n "${first[$name]}" ] || fail "$name is not listed"
  [[ "$(identity $name)" == uuid:* ]] || fail "$name is known by '$(identity $name)', not a UUID"
done
[ "${first[A]}" != "${first[B]}" ] && [ "${first[B]}" != "${first[X]}" ] &&
  [ "${first[A]}" != "${first[X]}" ] || fail "two volumes share a letter"
for name in A B X; do umount_volume $name; done
for name in X B A; do
  mount_volume $name
  [ "$(letter $name)" = "${first[$name]}" ] ||
    fail "$name came back as $(letter $name):, not ${first[$name]}:"
done
echo "ok: A, B and X keep ${first[A]}:, ${first[B]}: and ${first[X]}: when mounted the other way round"

# 2. A running --headless and a new --list-drives agree: the headless program
# sees A and B come, A go and N, new, come, then A come back.
cat > "$work/record.sh" <<'SH'
#!/bin/sh
printf '%s|%s\n' "$1" "$2" >> "$RUNS"
SH
chmod +x "$work/record.sh"
export RUNS="$work/runs.txt"
settings() {  # settings INTERVAL: entries for A, B and N that record %3 and %2
  local script="" name
  for name in A B N; do
    script="${script}label:${label[$name]}\\r\\nexec:$work/record.sh %3 %2\\r\\n"
  done
  printf '[Settings]\nInterval=%s\nAdvanced="%s"\n' "$1" "$script" \
    >"$XDG_CONFIG_HOME/Kestrun/Kestrun.conf"
}
runs() { [ -f "$RUNS" ] && wc -l <"$RUNS" || echo 0; }
# after_pass COMMAND...: runs the command and waits for the pass it causes.
after_pass() {
  local before deadline
  before=$(runs)
  "$@"
  deadline=$(($(date +%s) + 10))
  while [ "$(runs)" -le "$before" ] && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.05; done
  [ "$(runs)" -gt "$before" ] || fail "no pass after '$*'"
  sleep 0.3  # the rest of the pass's entries
}
headless_letter() { grep "|${label[$1]}$" "$RUNS" | tail -n 1 | cut -d'|' -f1; }
agree() {
  local name
  for name in "$@"; do
    [ "$(headless_letter $name)" = "$(letter $name)" ] ||
      fail "headless gives $name $(headless_letter $name):, --list-drives $(letter $name):"
  done
}

for name in A B X; do umount_volume $name; done
settings 3600
"$binary" --headless --instant >"$work/log.txt" 2>&1 &
pid=$!
sleep 1
after_pass mount_volume A
after_pass mount_volume B
agree A B
after_pass umount_volume A
after_pass mount_volume N
agree B N
[ "$(headless_letter N)" != "${first[A]}" ] || fail "N took the letter A is remembered by"
after_pass mount_volume A
agree A B N
[ "$(headless_letter A)" = "${first[A]}" ] || fail "A came back as $(headless_letter A):"
echo "ok: a new --list-drives gives A, B and N the letters the running --headless gives them"

# 3. A damaged letters file: untouched while the mounts stay, set aside with
# one warning in the action log at the next change.
letters="$XDG_STATE_HOME/kestrun/letters"
settings 1
kill -TERM "$pid"
wait "$pid" || true
"$binary" --headless --instant >"$work/log.txt" 2>&1 &
pid=$!
sleep 1.5
printf 'garbage\n' >"$letters"
sleep 2.5  # two clock passes over the same mounts
[ ! -e "$letters.bad" ] || fail "a pass over unchanged mounts read the letters file"
after_pass umount_volume N
after_pass mount_volume N
[ "$(grep -c '^Warning: ' "$work/log.txt")" -eq 1 ] || fail "not one warning in the action log"
grep -qF "Warning: the drive letters file '$letters' cannot be used (" "$work/log.txt" ||
  fail "the warning does not name the file"
[ "$(cat "$letters.bad")" = garbage ] || fail "the damaged file was not set aside"
kill -TERM "$pid"
wait "$pid" || fail "--headless did not end cleanly"
pid=
agree A B N
echo "ok: a damaged letters file is set aside with one warning in the action log"

# ... and from the command line, one warning on standard error.
rm "$letters.bad"
printf 'kestrun-letters 1\nD mounted uuid:x\n' >"$letters"
list >"$work/listing.txt" || fail "--list-drives failed over a damaged letters file"
[ "$(wc -l <"$work/stderr")" -eq 1 ] &&
  grep -qF "kestrun: the drive letters file '$letters' cannot be used (line 2" "$work/stderr" ||
  fail "not one warning naming the file and its damage"
grep -qF "${label[A]}" "$work/listing.txt" || fail "the drives were not listed"
echo "ok: --list-drives says so once on standard error"

# 4. Processes started at the same moment with volumes new to them agree, and
# the file they share remembers each volume once.
for round in 1 2 3; do
  export XDG_STATE_HOME="$work/state-race$round"
  for i in 1 2 3 4 5 6; do
    timeout 20 "$binary" --list-drives >"$work/race$i.txt" 2>"$work/race$i.err" &
  done
  wait
  for i in 2 3 4 5 6; do
    cmp -s <(cut -f1,8 "$work/race1.txt") <(cut -f1,8 "$work/race$i.txt") ||
      fail "two processes started together disagree: $(diff "$work/race1.txt" "$work/race$i.txt")"
  done
  for i in 1 2 3 4 5 6; do [ ! -s "$work/race$i.err" ] || fail "$(cat "$work/race$i.err")"; done
  file="$XDG_STATE_HOME/kestrun/letters"
  [ -z "$(tail -n +2 "$file" | cut -d' ' -f3 | sort | uniq -d)" ] || fail "$(cat "$file")"
  # Filesystems present but not mounted ('-') have no letter.
  [ "$(tail -n +2 "$file" | wc -l)" -eq "$(tail -n +2 "$work/race1.txt" | grep -Evc '^(C:|-)')" ] ||
    fail "the file does not hold every lettered volume: $(cat "$file")"
done
echo "ok: six processes started together agree, three times over"

# 5. A read-only state folder: the letters it holds still count, new ones hold
# for the run, with one warning.
export XDG_STATE_HOME="$work/state-ro"
umount_volume N
a_letter=$(letter A)
mount --bind "$XDG_STATE_HOME" "$XDG_STATE_HOME"
mount -o remount,bind,ro "$XDG_STATE_HOME"
umount_volume A
mount_volume N
n_letter=$(letter N)
[ "$(wc -l <"$work/stderr")" -eq 1 ] &&
  grep -qF "kestrun: cannot save the drive letters in '$XDG_STATE_HOME/kestrun/letters': Read-only file system" \
    "$work/stderr" || fail "not one warning for the read-only folder"
[ -n "$n_letter" ] && [ "$n_letter" != "$(letter B)" ] || fail "N has no letter of its own"
mount_volume A
[ "$(letter A)" = "$a_letter" ] || fail "A lost the letter the read-only file remembers"
"$binary" --headless --instant >"$work/log-ro.txt" 2>&1 &
pid=$!
sleep 1
umount_volume A
sleep 0.5
mount_volume A
sleep 1
kill -TERM "$pid"
wait "$pid" || fail "--headless did not end cleanly"
pid=
[ "$(grep -c '^Warning: cannot save the drive letters' "$work/log-ro.txt")" -eq 1 ] ||
  fail "not one warning in the action log: $(cat "$work/log-ro.txt")"
umount "$XDG_STATE_HOME"
echo "ok: a read-only state folder leaves the letters working, with one warning"

# 6. 24 volumes seen one after another: once every free letter is remembered,
# a new volume takes the letter of the volume seen longest ago, which forgets
# it. The test keeps the same queue, oldest sighting first.
for name in A B N; do umount_volume $name; done
export XDG_STATE_HOME="$work/state-24"
others=$(list | tail -n +2 | grep -Evc '^(C:|-)' || true)  # '-': not mounted, no letter
free=$((23 - others))
[ "$free" -ge 3 ] || fail "only $free free letters on this machine"
queue=()  # "NAME LETTER", seen longest ago first
sight() {
  local name=$1 got expected="" i entry kept=()
  mount_volume "$name"
  got=$(letter "$name")
  umount_volume "$name"
  for i in "${!queue[@]}"; do
    entry=${queue[$i]}
    if [ "${entry% *}" = "$name" ]; then expected=${entry#* }; else kept+=("$entry"); fi
  done
  if [ -z "$expected" ] && [ "${#kept[@]}" -eq "$free" ]; then
    expected=${kept[0]#* }
    kept=("${kept[@]:1}")
  fi
  if [ -n "$expected" ]; then
    [ "$got" = "$expected" ] || fail "$name took $got:, not $expected:"
  else
    for entry in "${kept[@]}"; do [ "${entry#* }" != "$got" ] || fail "$name took $got: again"; done
  fi
  queue=("${kept[@]}" "$name $got")
}
for ((i = 0; i < 24; i++)); do volume "Q$i" ext4 4M; done
for ((i = 0; i < free; i++)); do sight "Q$i"; done
sight Q0  # seen again, so Q1 is now the one seen longest ago
for ((i = free; i < 24; i++)); do sight "Q$i"; done
sight Q1  # forgotten by now: a new volume again
no_warning
echo "ok: 24 volumes over $free free letters: the letter seen longest ago is reused"
echo "PASS"
