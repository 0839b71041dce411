// SPDX-License-Identifier: MIT
// A file descriptor closed when it goes out of scope.
#pragma once

#include <unistd.h>

namespace kestrun::platform {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace kestrun::platform
