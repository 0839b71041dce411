# SPDX-License-Identifier: MIT
# Sourced by the tests that mount loop images. Any process that lists the
# drives opens each mount point for a moment to read its label, and the
# kernel refuses to unmount meanwhile: `unmount DIR` retries for 2 s.
unmount() {
  local i
  for ((i = 0; i < 100; i++)); do umount "$1" 2>/dev/null && return 0; sleep 0.02; done
  umount "$1"
}
