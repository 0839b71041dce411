#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kestrun --headless --mount against a real udisks2, started for the test by
# tests/system_services.sh: a stick whose label an entry names is mounted
# and its command runs; one no entry names and one that carries a pinned
# entry's label but another volume stay unmounted; eject:success ejects
# after exit code 0 only, eject:always after any end, a busy volume is
# reported and not forced; --explain names a filesystem that is present but
# not mounted. Needs root; exits 77 (skipped) where udisks2 cannot run.
# Prints the time from losetup to the command's start for each arrival.
set -euo pipefail
binary=$(realpath "$1")
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: loop devices and udisks2 need root; CI runs this as root"
  exit 77
fi
command -v udisksctl >/dev/null || { echo "skipped: udisksctl is missing (udisks2)"; exit 77; }
dbus-send --system --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus \
  /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.UDisks2 \
  2>/dev/null | grep -q 'boolean true' ||
  { echo "skipped: udisks2 is not running (start this through tests/system_services.sh)"; exit 77; }

work=$(mktemp -d /tmp/kestrun-udisks.XXXXXX)
# Labels no other drive on the machine carries (ext4 labels hold 16 bytes).
suffix=$(printf '%08X' $((RANDOM << 15 | RANDOM)))
named="KN$suffix" stranger="KS$suffix" pinned="KP$suffix"
pid=
declare -A loops=()
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  for image in "${!loops[@]}"; do detach "$image"; done
  rm -rf "$work"
}
trap cleanup EXIT
# Killed by a timeout, still take the loops and the Kestrun started here away.
trap 'exit 143' TERM
trap 'exit 130' INT
fail() { echo "FAIL: $*"; echo "--- log"; cat "$work/log.txt" || true; exit 1; }

# Unmounts (retrying for 2 s while the volume is busy) and detaches an image's loop.
detach() {
  local loop=${loops[$1]:-} i
  [ -n "$loop" ] || return 0
  for ((i = 0; i < 100; i++)); do
    findmnt -n -S "$loop" >/dev/null || break
    umount "$loop" 2>/dev/null || sleep 0.02
  done
  losetup -d "$loop" 2>/dev/null || true
  unset "loops[$1]"
  sleep 1  # a stick is out for a moment at least before it is put back
}
attach() { loops[$1]=$(losetup --find --show "$work/$1.img"); }
mounted() { findmnt -n -S "${loops[$1]}" >/dev/null; }
# until SECONDS COMMAND...: true once the command succeeds, polling every 20 ms.
until_true() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
  shift
  while ! "$@"; do [ "$(date +%s%N)" -lt "$deadline" ] || return 1; sleep 0.02; done
}
# stop_kestrun AS: SIGTERM ends the Kestrun started last, within 10 s and well.
stop_kestrun() {
  kill -TERM "$pid"
  until_true 10 sh -c "! kill -0 $pid 2>/dev/null" || fail "kestrun$1 still runs 10 s after SIGTERM"
  wait "$pid" || fail "SIGTERM gave a failing exit status$1"
  pid=
}
log_has() { grep -qF -- "$1" "$work/log.txt"; }
runs() { if [ -f "$work/runs.txt" ]; then grep -c . "$work/runs.txt"; else echo 0; fi; }
finished_lines() { grep -c "finished: '$named'" "$work/log.txt" || true; }
more_than() { [ "$("$1")" -gt "$2" ]; }  # more_than COUNTER N

for label in "$named" "$stranger" "$pinned"; do
  truncate -s 16M "$work/$label.img"
  mkfs.ext4 -q -L "$label" "$work/$label.img"
done
mkdir -m 700 "$work/runtime"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/runtime" WORK="$work"
# The command writes to the stick, notes when it started, and exits with
# the code in $WORK/exit; with $WORK/hold it leaves a process in the volume.
cat > "$work/backup.sh" <<'SH'
#!/bin/sh
date +%s%N > "$WORK/started"
echo run >> "$WORK/runs.txt"
echo backup > "$KESTRUN_MOUNT/backup.txt"
if [ -f "$WORK/hold" ]; then (cd "$KESTRUN_MOUNT" && exec sleep 3) </dev/null >/dev/null 2>&1 & fi
exit "$(cat "$WORK/exit")"
SH
chmod +x "$work/backup.sh"
store() {  # store EJECT_VALUE
  printf 'label:%s\nexec:%s\neject:%s\nlabel:%s\nvolume:uuid:0000-1111\nexec:%s\n' \
    "$named" "$work/backup.sh" "$1" "$pinned" "$work/backup.sh" > "$work/script.txt"
  "$binary" --store-script "$work/script.txt" > /dev/null || fail "--store-script refused it"
}
store success

# Attaches the named image and waits for its command to end; prints the time
# from losetup to the command's start.
arrive() {  # arrive EXIT_CODE
  echo "$1" > "$work/exit"
  local before finished_before
  before=$(runs)
  finished_before=$(finished_lines)
  local attached
  attached=$(date +%s%N)
  attach "$named"
  until_true 10 more_than runs "$before" || fail "the named stick's command did not run"
  echo "losetup to command start: $(( ($(cat "$work/started") - attached) / 1000000 )) ms"
  until_true 10 more_than finished_lines "$finished_before" || fail "no finished line"
  sleep 1.5  # room for an eject, or for one that should not come
}

"$binary" --headless --mount > "$work/log.txt" 2>&1 &
pid=$!
until_true 5 log_has "Started..." || fail "no 'Started...'"

arrive 0
mounted "$named" && fail "eject:success left the volume mounted after exit code 0"
log_has "  ejected: '$named' from " || fail "no ejected line"
# Read from the image itself, past any cache: the eject wrote it out.
debugfs -R "cat /backup.txt" "$work/$named.img" 2>/dev/null | grep -qx backup ||
  fail "the backup is not on the stick"
echo "ok: eject:success ejected after exit code 0, with the command's writes on the stick"

# Present, labelled as an entry names, not mounted: --explain says so.
"$binary" --explain > "$work/explain.txt" 2>&1 || true
grep -qF "does not run: '$named' is on ${loops[$named]}, which is not mounted (start Kestrun with --mount, or mount it)" \
  "$work/explain.txt" || { cat "$work/explain.txt"; fail "--explain did not name the unmounted filesystem"; }
echo "ok: --explain names the filesystem present but not mounted"
detach "$named"

arrive 1
mounted "$named" || fail "eject:success ejected after exit code 1"
log_has "  ejected: '$named'" && [ "$(grep -c "  ejected: '$named'" "$work/log.txt")" -gt 1 ] &&
  fail "a second ejected line after exit code 1"
echo "ok: eject:success left the volume mounted after exit code 1"
detach "$named"

store always
arrive 1
mounted "$named" && fail "eject:always left the volume mounted after exit code 1"
echo "ok: eject:always ejected after exit code 1"
detach "$named"

touch "$work/hold"
arrive 0
mounted "$named" || fail "a busy volume was unmounted"
log_has "  not ejected: '$named' on " || fail "no not-ejected line for the busy volume"
echo "ok: a busy volume is reported and not forced"
rm -f "$work/hold"
sleep 2  # the holding process ends
detach "$named"

# Strangers: no entry names one, the other carries a pinned entry's label
# but another volume. udisks2 knows them, and after a settle they are still
# not mounted.
attach "$stranger"
attach "$pinned"
for label in "$stranger" "$pinned"; do
  until_true 10 sh -c "udisksctl info -b '${loops[$label]}' | grep -q 'IdLabel: *$label'" ||
    fail "udisks2 did not see $label"
done
sleep 2
mounted "$stranger" && fail "a filesystem no entry names was mounted"
mounted "$pinned" && fail "a pinned entry's label on another volume was mounted"
echo "ok: filesystems no entry names, or of another volume than the pinned one, stay unmounted"

stop_kestrun ""
echo "--- log"
cat "$work/log.txt"
detach "$stranger"
detach "$pinned"

# As a user without a login session, as a service with linger runs: udisks2
# asks polkit, which refuses until the README's rule allows it. The stick is
# made to look removable, as a USB stick is, rather than a system disk.
if [ ! -x /usr/lib/polkit-1/polkitd ] || [ ! -d /etc/polkit-1/rules.d ]; then
  echo "skipped as a user: polkitd is missing (Debian package polkitd)"
  echo "PASS"
  exit 0
fi
user_rules="/etc/polkit-1/rules.d/49-kestrun-test-$suffix.rules"
udev_rules="/run/udev/rules.d/99-kestrun-test-$suffix.rules"
user_dir="$work/user"
user_label="KU$suffix"
cleanup_as_user() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  pid=
  rm -f "$user_rules" "$udev_rules"
  udevadm control --reload 2>/dev/null || true
  cleanup
}
trap cleanup_as_user EXIT
mkdir -p /run/udev/rules.d
printf 'ENV{ID_FS_LABEL}=="%s", ENV{UDISKS_SYSTEM}="0"\n' "$user_label" > "$udev_rules"
udevadm control --reload
truncate -s 16M "$work/$user_label.img"
mkfs.ext4 -q -L "$user_label" "$work/$user_label.img"
chmod 755 "$work"
mkdir -p "$user_dir/runtime"
chmod 700 "$user_dir/runtime"
printf '#!/bin/sh\necho "$(id -un) $KESTRUN_MOUNT" >> "%s/runs.txt"\n' "$user_dir" > "$user_dir/record.sh"
chmod 755 "$user_dir/record.sh"
printf 'label:%s\nexec:%s\neject:success\n' "$user_label" "$user_dir/record.sh" > "$user_dir/script.txt"
chown -R nobody:nogroup "$user_dir"
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$user_dir" \
    XDG_CONFIG_HOME="$user_dir/config" XDG_STATE_HOME="$user_dir/state" \
    XDG_RUNTIME_DIR="$user_dir/runtime" "$@"
}
as_nobody "$binary" --store-script "$user_dir/script.txt" > /dev/null || fail "nobody's script"
# exec: $! must be Kestrun itself, which the cleanup ends, not a subshell.
(exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$user_dir" \
  XDG_CONFIG_HOME="$user_dir/config" XDG_STATE_HOME="$user_dir/state" \
  XDG_RUNTIME_DIR="$user_dir/runtime" "$binary" --headless --mount) > "$work/user.log" 2>&1 &
pid=$!
user_log_has() { grep -qF -- "$1" "$work/user.log"; }
until_true 5 user_log_has "Started..." || fail "no 'Started...' as nobody"

attach "$user_label"
until_true 15 user_log_has "  not mounted: '$user_label' on ${loops[$user_label]}: " ||
  { cat "$work/user.log"; fail "no refusal without the polkit rule"; }
mounted "$user_label" && fail "mounted without the polkit rule"
echo "ok: without the polkit rule the mount is refused, with udisks2's reason in the log"
detach "$user_label"

cat > "$user_rules" <<RULE
polkit.addRule(function (action, subject) {
  var allowed = [
    "org.freedesktop.udisks2.filesystem-mount",
    "org.freedesktop.udisks2.filesystem-mount-other-seat",
    "org.freedesktop.udisks2.power-off-drive",
    "org.freedesktop.udisks2.power-off-drive-other-seat",
  ];
  if (subject.user == "nobody" && allowed.indexOf(action.id) >= 0) {
    return polkit.Result.YES;
  }
});
RULE
sleep 2  # polkitd reads its rules again when the folder changes
attach "$user_label"
user_ran() { grep -q "^nobody " "$user_dir/runs.txt" 2>/dev/null; }
until_true 15 user_ran || { cat "$work/user.log"; fail "nobody's command did not run with the rule"; }
until_true 10 user_log_has "  ejected: '$user_label' from " ||
  { cat "$work/user.log"; fail "nobody's stick was not ejected"; }
echo "ok: with the polkit rule a user without a session mounts, runs and ejects"
stop_kestrun " as nobody"
echo "--- log as nobody"
cat "$work/user.log"
echo "PASS"
