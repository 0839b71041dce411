// SPDX-License-Identifier: MIT
#include "platform/linux/user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrun::platform {
namespace {

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const auto wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

std::string xdg_folder(const char* variable, const char* under_home) {
  const char* value = std::getenv(variable);
  // Relative paths in XDG variables are to be ignored.
  if (value != nullptr && value[0] == '/') return value;
  std::string home;
  if (const char* named = std::getenv("HOME"); named != nullptr && named[0] == '/') {
    home = named;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  if (home.empty() || home[0] != '/') return {};
  return home + "/" + under_home;
}

std::string replace_file(const std::string& path, const std::string& text, mode_t mode,
                         struct stat* written) {
  const auto fresh = path + ".new";
  const int fd =
      open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, mode);
  if (fd < 0) return std::strerror(errno);
  struct stat status {};
  bool done = write_all(fd, text) && fstat(fd, &status) == 0;
  int error = errno;
  if (close(fd) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && rename(fresh.c_str(), path.c_str()) != 0) {
    done = false;
    error = errno;
  }
  if (!done) {
    unlink(fresh.c_str());
    return std::strerror(error);
  }
  if (written != nullptr) *written = status;
  return {};
}

}  // namespace kestrun::platform
