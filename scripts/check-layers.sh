#!/bin/sh
# SPDX-License-Identifier: MIT
# Fails when a layer includes what it may not. Every target exports the whole
# source root as an include path, so the compiler cannot keep the layers; this
# does, over the files git tracks (tests, benchmarks and fuzzers aside).
#
# The rule, layer by layer (a layer may always include its own headers):
#   engine    the C++ standard library only.
#   platform  the engine, the OS and QtCore; platform/linux also QtDBus, for
#             udisks2 (Qt for Windows is built without it).
#   settings  the engine, QtCore and the platform's interfaces (the settings
#             file on disk is the platform's business).
#   ui        the engine, the settings' and the platform's interfaces, and Qt.
#   cli, app, instance
#             everything above, but none of the platform's implementations.
# The platform's interfaces are the headers at its top (platform.h, native.h,
# ...); each system's implementation lives in a folder of its own
# (platform/linux, platform/windows), for the platform alone, and neither
# system's folder nor the contracts include the other's. The settings'
# interface is qt_settings_store.h.
# Standard headers are the lower-case names without an extension (<string>,
# <cstdio>); QtCore headers are those found in QTCORE_DIR.
#
# Usage: check-layers.sh [SOURCE_DIR [QTCORE_DIR]]
set -u
root=${1:-$(dirname "$0")/..}
qtcore=${2:-}
if [ -z "$qtcore" ]; then
  for dir in /usr/include/*/qt6/QtCore /usr/include/qt6/QtCore; do
    [ -d "$dir" ] && qtcore=$dir && break
  done
fi
cd "$root" || exit 2
if [ -z "$qtcore" ] || [ ! -d "$qtcore" ]; then
  echo "check-layers: no QtCore headers to tell QtCore from the rest of Qt" >&2
  exit 2
fi

status=0
refuse() {
  echo "$1: $2 may not include $3" >&2
  status=1
}

is_standard() { printf '%s\n' "$1" | grep -Eq '^[a-z_]+$'; }
is_qt() { printf '%s\n' "$1" | grep -Eq '^Q'; }
is_qtcore() { is_qt "$1" && [ -e "$qtcore/$1" ]; }
is_qtdbus() { printf '%s\n' "$1" | grep -Eq '^QDBus[A-Za-z]*$'; }
is_platform_interface() { printf '%s\n' "$1" | grep -Eq '^platform/[a-z_]+\.h$'; }
# The system folder a platform file belongs to, or "" for the contracts.
system_of() { printf '%s\n' "$1" | sed -n -e 's#^platform/\(linux\|windows\)/.*#\1#p'; }

# Prints "file kind name" for each include: kind is "quoted" or "angled".
includes() {
  git ls-files -- "$1/*.h" "$1/*.cpp" | while read -r file; do
    sed -n -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/quoted \1/p' \
      -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/angled \1/p' "$file" |
      while read -r kind name; do echo "$file $kind $name"; done
  done
}

check_layer() {
  layer=$1
  includes "$layer" > "${TMPDIR:-/tmp}/check-layers.$$"
  while read -r file kind name; do
    case "$kind" in
      quoted)
        case "$layer:$name" in platform:*) ;; "$layer:$layer"/*) continue ;; esac
        case "$layer" in
          engine) refuse "$file" engine "\"$name\"" ;;
          platform)
            case "$name" in
              engine/*) ;;
              platform/*)
                room=$(system_of "$name")
                [ -z "$room" ] || [ "$room" = "$(system_of "$file")" ] ||
                  refuse "$file" platform "\"$name\" (another system's room)" ;;
              *) refuse "$file" platform "\"$name\"" ;;
            esac ;;
          settings)
            case "$name" in
              engine/*) ;;
              *) is_platform_interface "$name" || refuse "$file" settings "\"$name\"" ;;
            esac ;;
          ui)
            case "$name" in
              engine/* | settings/qt_settings_store.h) ;;
              *) is_platform_interface "$name" || refuse "$file" ui "\"$name\"" ;;
            esac ;;
          *)
            case "$name" in
              platform/*) is_platform_interface "$name" || refuse "$file" "$layer" "\"$name\"" ;;
            esac ;;
        esac ;;
      angled)
        is_standard "$name" && continue
        case "$layer" in
          engine) refuse "$file" engine "<$name>" ;;
          platform)
            if is_qt "$name" && ! is_qtcore "$name" &&
              ! { [ "$(system_of "$file")" = linux ] && is_qtdbus "$name"; }; then
              refuse "$file" platform "<$name>"
            fi ;;
          settings) is_qtcore "$name" || refuse "$file" settings "<$name>" ;;
          *) is_qt "$name" || refuse "$file" "$layer" "<$name> (the OS is the platform's)" ;;
        esac ;;
    esac
  done < "${TMPDIR:-/tmp}/check-layers.$$"
  rm -f "${TMPDIR:-/tmp}/check-layers.$$"
}

for layer in engine platform settings ui cli app instance; do check_layer "$layer"; done
[ "$status" -eq 0 ] && echo "check-layers: every layer includes only what it may"
exit "$status"
