// SPDX-License-Identifier: MIT
// The drives as an ordinary user sees them, looked at from a root test.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/linux/drives.h"
#include "tests/platform/linux/listed_mounts.h"

namespace kestrun::testing {

/// How the nobody user sees the drive mounted at `folder`: "" when it is
/// listed but unreadable, otherwise what was seen. Looked at from a child
/// process, since root once given up cannot be taken back.
inline std::string seen_by_nobody(const std::string& folder) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return std::strerror(errno);
  const pid_t child = fork();
  if (child < 0) return std::strerror(errno);
  if (child == 0) {
    close(report[0]);
    std::string seen = "the mount table does not list it";
    if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
        setresuid(65534, 65534, 65534) != 0) {
      seen = std::string("cannot act as nobody: ") + std::strerror(errno);
    } else {
      platform::LinuxDriveApi api;
      if (const auto root = root_mounted_at(api, folder); !root.empty()) {
        const auto label = api.volume_label(root);
        seen = label ? "its label reads as '" + *label + "'" : "";
      }
    }
    [[maybe_unused]] const auto written = write(report[1], seen.data(), seen.size());
    _exit(0);
  }
  close(report[1]);
  std::string seen;
  bool answered = false;
  pollfd ready{report[0], POLLIN, 0};
  char chunk[512];
  while (!answered && poll(&ready, 1, 30000) == 1) {
    const auto got = read(report[0], chunk, sizeof chunk);
    answered = got <= 0;
    if (got > 0) seen.append(chunk, static_cast<std::size_t>(got));
  }
  close(report[0]);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return answered ? seen : "no answer within 30 s";
}

}  // namespace kestrun::testing
