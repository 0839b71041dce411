// SPDX-License-Identifier: MIT
// The window program replaces the command-line program that found it, so the
// desktop, the login entry and the shell see one process whichever they
// started.
#include "platform/window_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "engine/text_bytes.h"
#include "platform/linux/window_places.h"

namespace kestrun::platform {

std::string running_program() {
  char buffer[PATH_MAX];
  const ssize_t size = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (size <= 0) return {};
  std::string path(buffer, static_cast<std::size_t>(size));
  struct stat status {};
  const std::string deleted = " (deleted)";
  if (stat("/proc/self/exe", &status) == 0 && status.st_nlink == 0 && path.ends_with(deleted)) {
    path.resize(path.size() - deleted.size());
  }
  return path;
}

std::vector<std::string> installed_places(const std::string& program, std::string_view file,
                                          std::initializer_list<std::string_view> folders) {
  const std::filesystem::path folder = std::filesystem::path(program).parent_path();
  std::vector<std::string> places{(folder / file).string()};
  for (const auto installed : folders) {
    places.push_back((folder / installed / file).lexically_normal().string());
  }
  return places;
}

std::vector<std::string> window_program_places(const std::string& program) {
  return installed_places(program, "kestrun-window", {KESTRUN_WINDOW_DIR_FROM_BIN});
}

bool open_window_program(char* argv[], std::string* error) {
  const std::string program = running_program();
  if (program.empty()) {
    *error = std::string("cannot find the running program: ") + std::strerror(errno);
    return false;
  }
  std::string tried;
  for (const auto& place : window_program_places(program)) {
    execv(place.c_str(), argv);
    const std::string why = std::strerror(errno);
    tried +=
        (tried.empty() ? "" : ", ") + modGeneral::escape_for_terminal(place) + " (" + why + ")";
  }
  *error = "the window program is not installed; looked for " + tried;
  return false;
}

}  // namespace kestrun::platform
