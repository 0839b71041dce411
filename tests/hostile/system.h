// SPDX-License-Identifier: MIT
// Running tools and keeping loop-mounted images for the hostile-input tests.
// Mounts go through mount(2) rather than mount(8), so a folder name reaches
// the kernel exactly as the test wrote it.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace kestrun::testing {

struct Outcome {
  int status = -1;     // the exit status, or -1 when it did not exit normally
  std::string output;  // standard output and standard error together
};

/// Runs `command` (found on PATH) and waits for it, with `input` on its
/// standard input. A command still running after two minutes is killed and
/// gives status 124 or 137, so a hung tool fails the test instead of hanging it.
inline Outcome run(const std::vector<std::string>& command, const std::string& input = {}) {
  std::vector<std::string> bounded = {"timeout", "--kill-after=5", "120"};
  bounded.insert(bounded.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (const auto& word : bounded) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  int out[2];
  int in[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  if (pipe2(in, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (failed == 0 && !input.empty()) {
    [[maybe_unused]] const auto written = write(in[1], input.data(), input.size());
  }
  close(in[1]);
  Outcome outcome;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = read(out[0], chunk, sizeof chunk)) > 0) outcome.output.append(chunk, got);
  close(out[0]);
  if (failed != 0) return {-1, command[0] + ": " + std::strerror(failed)};
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

/// Unmounts `folder`. Any process that lists the drives (a Kestrun of
/// another test, or the one under test) opens each mount point for a moment
/// to read its label, and the kernel refuses the unmount meanwhile: try again
/// for up to two seconds.
inline bool unmount_folder(const std::string& folder) {
  for (int tries = 0; umount2(folder.c_str(), 0) != 0; ++tries) {
    if (errno != EBUSY || tries == 100) return false;
    usleep(20000);
  }
  return true;
}

/// A filesystem image on a loop device. Undoes only what it did.
class LoopImage {
 public:
  LoopImage() = default;
  LoopImage(const LoopImage&) = delete;
  LoopImage& operator=(const LoopImage&) = delete;
  ~LoopImage() {
    unmount();
    if (!device_.empty()) run({"losetup", "-d", device_});
    if (!image_.empty()) unlink(image_.c_str());
  }

  /// Makes the image with `mkfs` (the image path is appended) and attaches it.
  /// Returns "" or what went wrong.
  std::string create(const std::string& image, const std::string& size, std::string fs,
                     std::vector<std::string> mkfs) {
    image_ = image;
    fs_ = std::move(fs);
    if (auto made = run({"truncate", "-s", size, image}); made.status != 0) return made.output;
    mkfs.push_back(image);
    if (auto made = run(mkfs); made.status != 0) return made.output;
    const auto attached = run({"losetup", "--find", "--show", image});
    if (attached.status != 0) return attached.output;
    device_ = attached.output.substr(0, attached.output.find('\n'));
    return {};
  }

  /// Mounts the image on the folder `target`. Returns "" or the system's reason.
  std::string mount_at(const std::string& target, unsigned long flags = 0) {
    unmount();
    if (::mount(device_.c_str(), target.c_str(), fs_.c_str(), flags, nullptr) != 0) {
      return std::strerror(errno);
    }
    mounted_at_ = target;
    return {};
  }

  bool unmount() {
    if (mounted_at_.empty()) return true;
    if (!unmount_folder(mounted_at_)) return false;
    mounted_at_.clear();
    return true;
  }

  /// Relabels the mounted filesystem online. Returns "" or the system's reason.
  std::string set_label(const std::string& label) const {
    char buffer[FSLABEL_MAX] = {};
    if (label.size() >= sizeof buffer) return "label too long";
    std::memcpy(buffer, label.data(), label.size());
    const int folder = open(mounted_at_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return std::strerror(errno);
    const int result = ioctl(folder, FS_IOC_SETFSLABEL, buffer);
    const int failure = errno;
    close(folder);
    return result == 0 ? std::string() : std::strerror(failure);
  }

  const std::string& device() const { return device_; }
  const std::string& mount_point() const { return mounted_at_; }

 private:
  std::string image_;
  std::string fs_;
  std::string device_;
  std::string mounted_at_;
};

}  // namespace kestrun::testing
