#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command with the daemons a real Linux machine runs, which CI machines
# lack:
#   tests/system_services.sh udev   -- COMMAND [ARG...]   udevd, block devices announced
#   tests/system_services.sh udisks -- COMMAND [ARG...]   the above, the system bus, udisksd
# A daemon already running is used as it is. The ones started here are
# stopped by their process id once the command ends, whatever its outcome,
# and the records udevd left in /run and /dev are removed when there were
# none before, so later runs see a machine without udev again. Exits with the
# command's status, or 77 (skipped) where the daemons cannot be started.
set -uo pipefail

usage() {
  echo "usage: $0 udev|udisks -- COMMAND [ARG...]" >&2
  exit 2
}
if [ $# -lt 3 ] || [ "$2" != "--" ]; then usage; fi
case "$1" in udev | udisks) ;; *) usage ;; esac
wanted=$1
shift 2

skip() {
  echo "system_services: $1; skipped" >&2
  exit 77
}

# Runs a command every tenth of a second until it succeeds, at most `tenths`
# times; its output is dropped.
poll_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

started=()  # process ids, in the order they were started
created=()  # folders that did not exist before the daemons ran
logs=$(mktemp -d)

# A process that ended but has not been waited for yet counts as gone.
gone() {
  ! grep -qs '^State:[[:space:]]*[^Z]' "/proc/$1/status"
}

stop_all() {
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    kill "$pid" 2>/dev/null || continue
    poll_for 50 gone "$pid" || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  started=()
  for folder in "${created[@]}"; do rm -rf "$folder"; done
  created=()
  rm -rf "$logs"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Remembers the folders among the arguments that do not exist yet.
note_new() {
  for folder in "$@"; do [ -e "$folder" ] || created+=("$folder"); done
}

# Starts a daemon that stays in the foreground, with all three streams away
# from the caller's (CTest waits on any process that holds its pipes).
launch() {
  local name=$1
  shift
  "$@" </dev/null >/dev/null 2>"$logs/$name" &
  started+=($!)
}

failed_to_start() {
  echo "system_services: $1 did not come up:" >&2
  tail -n 20 "$logs/$1" >&2
  exit 1
}

bus_answers() {
  dbus-send --system --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId
}

name_has_owner() {
  dbus-send --system --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'
}

start_udev() {
  if udevadm control --ping --timeout=2 >/dev/null 2>&1; then
    echo "system_services: udevd is running already; used as it is" >&2
    return
  fi
  local udevd=""
  for candidate in /lib/systemd/systemd-udevd /usr/lib/systemd/systemd-udevd; do
    [ -x "$candidate" ] && udevd=$candidate && break
  done
  [ -n "$udevd" ] || skip "systemd-udevd is missing (Debian package udev)"
  note_new /run/udev /dev/disk /dev/block /dev/char
  launch udevd "$udevd"
  poll_for 100 udevadm control --ping --timeout=1 || failed_to_start udevd
  # As at boot: every block device there already is announced once more.
  udevadm trigger --action=add --subsystem-match=block || failed_to_start udevd
  udevadm settle --timeout=60 || failed_to_start udevd
}

start_udisks() {
  command -v dbus-send >/dev/null || skip "dbus-send is missing (Debian package dbus)"
  if ! bus_answers >/dev/null 2>&1; then
    command -v dbus-daemon >/dev/null || skip "dbus-daemon is missing (Debian package dbus)"
    note_new /run/dbus /run/dbus/system_bus_socket
    mkdir -p /run/dbus
    # No pid file: one left behind would stop the next system bus from starting.
    launch dbus-daemon dbus-daemon --system --nofork --nopidfile
    poll_for 100 bus_answers || failed_to_start dbus-daemon
  fi
  name_has_owner org.freedesktop.UDisks2 && return
  local udisksd=/usr/libexec/udisks2/udisksd
  [ -x "$udisksd" ] || skip "udisksd is missing (Debian package udisks2)"
  note_new /run/udisks2
  launch udisksd "$udisksd" --no-debug
  poll_for 200 name_has_owner org.freedesktop.UDisks2 || failed_to_start udisksd
}

[ "$(id -u)" -eq 0 ] || skip "starting system daemons needs root"
command -v udevadm >/dev/null || skip "udevadm is missing (Debian package udev)"
start_udev
[ "$wanted" = udisks ] && start_udisks

"$@"
exit $?
