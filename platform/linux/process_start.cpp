// SPDX-License-Identifier: MIT
// File names and arguments are bytes on Linux, and any of descriptors 0, 1 and
// 2 may be closed by whoever started the program (`kestrun ... <&-`).
#include "platform/process_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/qstring_bytes.h"

namespace kestrun::platform {

bool reopen_closed_standard_streams() {
  bool input_closed = false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDIN_FILENO) input_closed = true;
    // The lowest free descriptor is this one, the lower ones being open.
    const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null != fd && null >= 0) close(null);
  }
  return input_closed;
}

QStringList decode_arguments(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(decode_keeping_bytes(argv[i]));
  return arguments;
}

std::string argument_bytes(const QString& argument) { return encode_keeping_bytes(argument); }

std::FILE* open_argument_file(const QString& argument) {
  return std::fopen(encode_keeping_bytes(argument).c_str(), "rb");
}

}  // namespace kestrun::platform
