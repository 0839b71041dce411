// SPDX-License-Identifier: MIT
// Launched by the launcher tests: writes its arguments, its KESTRUN_*
// environment, its working folder, and what it inherited (ignored and blocked
// signals, descriptors from 3 up) to the file named by its first argument, as
// NUL-terminated "key=value" records, and renames it into place when done.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string inherited() {
  std::string records;
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  for (int number = 1; number < NSIG; ++number) {
    struct sigaction action {};
    if (sigaction(number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
      records.append("ignored=").append(std::to_string(number)).push_back('\0');
    }
    if (sigismember(&blocked, number) == 1) {
      records.append("blocked=").append(std::to_string(number)).push_back('\0');
    }
  }
  if (DIR* folder = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(folder)) {
      const int fd = std::atoi(entry->d_name);
      if (fd >= 3 && fd != dirfd(folder)) {
        records.append("fd=").append(entry->d_name).push_back('\0');
      }
    }
    closedir(folder);
  }
  return records;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string records = inherited();
  for (int i = 2; i < argc; ++i) records.append("arg=").append(argv[i]).push_back('\0');
  for (const char* name :
       {"KESTRUN_DRIVE", "KESTRUN_LETTER", "KESTRUN_LABEL", "KESTRUN_MOUNT", "KESTRUN_DEVICE"}) {
    if (const char* value = std::getenv(name)) {
      records.append(name).append("=").append(value).push_back('\0');
    }
  }
  char folder[PATH_MAX];
  if (getcwd(folder, sizeof folder)) records.append("cwd=").append(folder).push_back('\0');

  const std::string part = std::string(argv[1]) + ".part";
  FILE* file = std::fopen(part.c_str(), "wb");
  if (!file) return 1;
  std::fwrite(records.data(), 1, records.size(), file);
  if (std::fclose(file) != 0) return 1;
  return std::rename(part.c_str(), argv[1]) == 0 ? 0 : 1;
}
