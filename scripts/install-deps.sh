#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages of the named lists in scripts/deps/ (every list
# but windows when none is named) that are missing. Runs apt-get update only
# when something has to be installed.
set -euo pipefail
cd "$(dirname "$0")/deps"

if [ $# -eq 0 ]; then
  lists=$(ls -- *.txt | grep -v '^windows\.txt$')
else
  lists=$(printf '%s.txt\n' "$@")
fi
# shellcheck disable=SC2086
wanted=$(sed -e 's/#.*//' -- $lists | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
