#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drives the Windows layer's tests expect, made once in a new Wine prefix
# (run by cmake/wine-run.sh --setup with WINEPREFIX set). Z: (the host's /) is
# removed so the list is the same on every machine. Keep in step with
# fixture_drives.h.
set -euo pipefail

drives=$WINEPREFIX/kestrun-drives
declare -A type label
type[d]=floppy;  label[d]='Überstick Ключ'
type[e]=floppy;  label[e]='THIRTEEN CHRS'
type[f]=hd;      label[f]='FOURTEEN CHARS'
type[g]=floppy;  label[g]='TWENTY CHARACTERS XY'
type[h]=cdrom;   label[h]='DISC'
type[i]=network; label[i]='SHARE'
type[j]=ramdisk; label[j]='RAM DISK'
type[k]=hd;      label[k]=''
type[l]=hd;      label[l]='  LEADING SPACES'

reg=$WINEPREFIX/drive_c/kestrun-drives.reg
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
  for d in "${!type[@]}"; do
    printf '"%s:"="%s"\r\n' "$d" "${type[$d]}"
  done
} >"$reg"
wine reg import 'C:\kestrun-drives.reg'
rm "$reg"

rm "$WINEPREFIX/dosdevices/z:"
for d in "${!type[@]}"; do
  mkdir -p "$drives/$d"
  # Wine drops trailing white space from this file, but keeps leading spaces.
  if [ -n "${label[$d]}" ]; then printf '%s' "${label[$d]}" >"$drives/$d/.windows-label"; fi
  ln -s "$drives/$d" "$WINEPREFIX/dosdevices/$d:"
done
# Wine reads a folder drive's volume serial from this file, in hex.
printf '1a2b3c4d' >"$drives/e/.windows-serial"
# A drive whose folder is gone, the nearest Wine comes to an empty card reader.
ln -s "$drives/gone" "$WINEPREFIX/dosdevices/m:"
