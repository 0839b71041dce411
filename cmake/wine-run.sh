#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine, headless, in a prefix of its own:
#   wine-run.sh PREFIX [--setup SCRIPT] PROGRAM [ARGS...]
# The prefix is made on first use, and made afresh whenever this file or SCRIPT
# changes. SCRIPT runs once on a new prefix, with WINEPREFIX set; the server is
# restarted after it, because Wine reads drive types and labels only at start.
# The folder holding PREFIX (the build folder) is C:\build inside it, and
# programs from there run by that name, so they find their own files as on
# Windows. Programs share one wineserver that lingers for a minute after the
# last one ends: without it each program pays for starting a server, and CTest
# waits for every server to exit. (Its -p takes the delay attached: "-p 60"
# would keep it forever.)
set -euo pipefail

prefix=$1
shift
mkdir -p "$(dirname "$prefix")"
setup=
if [ "${1-}" = --setup ]; then
  setup=$2
  shift 2
fi

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# No menu entries written to the home folder; no prompts for Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY

build=$(realpath -- "$(dirname "$prefix")")
stamp=$prefix/.kestrun-stamp
want=$(cat "$0" ${setup:+"$setup"} | sha256sum | cut -d' ' -f1)

make_prefix() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
  wine wineboot --init || return 1
  ln -s "$build" "$prefix/drive_c/build"
  if [ -n "$setup" ]; then
    bash "$setup" || return 1
  fi
  wineserver -k || true
  wineserver -w || true
  echo "$want" >"$stamp"
}

{
  flock 9
  if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
    make_prefix </dev/null >"$prefix.log" 2>&1 9>&- || {
      cat "$prefix.log" >&2
      exit 1
    }
  fi
  # Fails at once when a server already runs. A new server gets Wine's own
  # services started here with no stream of the caller's and not the lock:
  # they live as long as the server and would hold either open.
  if setsid wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
} 9>"$prefix.lock"

# The DLLs and Qt plugins that cmake/WindowsRuntime.cmake gathers.
if [ -d "$build/runtime" ]; then
  export WINEPATH='C:\build\runtime' QT_PLUGIN_PATH='C:\build\runtime\plugins'
fi
# Wine keeps the caller's QT_* variables from Windows programs (they are
# meant for the host's Qt) and passes WINEQT_* under the QT_* name instead.
for name in $(compgen -e); do
  case $name in
    QT_*) export "WINE$name=${!name}" ;;
  esac
done

program=$1
shift
if [ -e "$program" ]; then program=$(realpath -- "$program"); fi
case $program in
  "$build"/*)
    inside=${program#"$build"/}
    program="C:\\build\\${inside//\//\\}"
    ;;
esac
cd "$prefix/drive_c"
# Wine's C runtime writes CR LF, which CTest's test discovery does not expect.
set +e
wine "$program" "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
