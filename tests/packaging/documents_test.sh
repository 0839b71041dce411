#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What --help, the manual page and the README say about --list-drives, checked
# against the program's real output: the column list is taken from the header
# line it prints, so a column added to the table fails here until every
# document names it. And the tray's login item, named as the menu names it by
# the README, the manual page and the installer's page, with the switch that
# the README documents for a silent install; and the installer's PATH box.
#   documents_test.sh KESTRUN SOURCE_DIR
set -euo pipefail
kestrun=$(realpath "$1")
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
fail() { echo "FAIL: $*"; exit 1; }

timeout 20 "$kestrun" --list-drives >"$work/table"
header=$(head -n 1 "$work/table")
columns=$(printf '%s' "$header" | awk -F'\t' '{ for (i = 1; i <= NF; i++) printf "%s%s", (i > 1 ? ", " : ""), $i }')
[ -n "$columns" ] || fail "--list-drives printed no header line"
# Every line of the table has as many fields as the header.
awk -F'\t' 'NR == 1 { n = NF } NF != n { exit 1 }' "$work/table" ||
  fail "a line of --list-drives has other columns than its header"

flat() { tr -s ' \n' '  '; }
timeout 20 "$kestrun" --help | flat | grep -qF "columns: $columns." ||
  fail "--help does not name the columns '$columns'"
sed -e 's/\\-/-/g' "$source_dir/packaging/kestrun.1" | flat | grep -qF "columns: $columns." ||
  fail "the manual page does not name the columns '$columns'"
grep -qF "columns: $columns" "$source_dir/README.md" ||
  fail "the README does not name the columns '$columns'"
echo "ok: --help, the manual page and the README name the $(awk -F'\t' 'NR == 1 { print NF }' "$work/table") columns: $columns"

item=$(sed -n 's/.*mPopLogin(mPopupSys->addAction(QStringLiteral("\([^"]*\)")).*/\1/p' \
  "$source_dir/ui/tray_icon.cpp")
[ -n "$item" ] || fail "no caption for the login item in ui/tray_icon.cpp"
for document in README.md packaging/kestrun.1 packaging/start_at_login.nsh; do
  grep -qF "$item" "$source_dir/$document" || fail "$document does not name '$item'"
done
for document in README.md packaging/kestrun.1; do
  grep -qF "autostart/org.example.Kestrun.desktop" "$source_dir/$document" ||
    fail "$document does not name the autostart entry"
done
grep -qF '"/STARTATLOGIN="' "$source_dir/packaging/start_at_login.nsh" &&
  grep -qF '/STARTATLOGIN=0' "$source_dir/README.md" ||
  fail "the README and the installer do not agree on /STARTATLOGIN="
echo "ok: the README, the manual page and the installer name '$item'"
# The installer's PATH box, as the README names it and its silent switch.
box=$(sed -n 's/.*NSD_CreateCheckbox.*"\(Add [^"]*\)"$/\1/p' "$source_dir/packaging/add_to_path.nsh")
[ -n "$box" ] && grep -qF "**$box**" "$source_dir/README.md" ||
  fail "the README does not name the installer's box '$box'"
grep -qF '"/ADDTOPATH="' "$source_dir/packaging/add_to_path.nsh" &&
  grep -qF '/ADDTOPATH=1' "$source_dir/README.md" ||
  fail "the README and the installer do not agree on /ADDTOPATH="
echo "ok: the README names the installer's '$box' and its switch"
