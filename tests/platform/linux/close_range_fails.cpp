// SPDX-License-Identifier: MIT
// Stands in for the C library's close_range in a test program, failing as it
// does before Linux 5.11 and under seccomp profiles that refuse it.
#include <errno.h>
#include <unistd.h>

extern "C" int close_range(unsigned int, unsigned int, int) noexcept {
  errno = ENOSYS;
  return -1;
}
