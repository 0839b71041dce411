// SPDX-License-Identifier: MIT
// SIGINT, SIGTERM and SIGHUP through a self-pipe, mount table changes through
// the priority event the kernel raises on /proc/self/mountinfo, and why
// xdg-open failed, which the desktop reports with no reason.
#include "platform/native.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "platform/linux/mountinfo.h"

namespace kestrun::platform {

namespace {

int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already holds a request.
  [[maybe_unused]] const auto written = ::write(g_signal_pipe[1], &byte, 1);
}

// A notifier on the signal pipe, drained and kept for the next watcher.
class SignalWatch : public QObject {
 public:
  explicit SignalWatch(std::function<void()> callback)
      : notifier_(g_signal_pipe[0], QSocketNotifier::Read), callback_(std::move(callback)) {
    connect(&notifier_, &QSocketNotifier::activated, this, [this] {
      char buffer[64];
      while (::read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
      }
      callback_();
    });
  }
  ~SignalWatch() override { notifier_.setEnabled(false); }

 private:
  QSocketNotifier notifier_;
  std::function<void()> callback_;
};

// The kernel flags each change of the mount table to every reader of it
// once: a poll() that sees the flag clears it for that descriptor. Held, the
// notifier stops asking, so the flag waits for changed().
class MountTableWatch : public QObject, public modGeneral::VolumeWatch {
 public:
  MountTableWatch(int fd, std::function<void()> changed)
      : fd_(fd), notifier_(fd, QSocketNotifier::Exception), changed_(std::move(changed)) {
    connect(&notifier_, &QSocketNotifier::activated, this, [this] { changed_(); });
  }
  ~MountTableWatch() override {
    notifier_.setEnabled(false);
    ::close(fd_);
  }

  void hold() override { notifier_.setEnabled(false); }
  void release() override { notifier_.setEnabled(true); }
  bool changed() override {
    pollfd flag{fd_, POLLPRI, 0};
    return ::poll(&flag, 1, 0) > 0 && (flag.revents & POLLPRI) != 0;
  }

 private:
  int fd_;
  QSocketNotifier notifier_;
  std::function<void()> changed_;
};

class LinuxNative : public NativeInterface {
 public:
  std::unique_ptr<QObject> watch_termination_requests(std::function<void()> requested) override;
  std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()> changed) override;
  // A program started from a terminal already writes to it.
  void attach_parent_console() override {}
  SystemError web_link_failure() override;
};

}  // namespace

std::unique_ptr<QObject> LinuxNative::watch_termination_requests(std::function<void()> requested) {
  if (g_signal_pipe[0] < 0 && ::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return nullptr;
  }
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal sends SIGHUP, which asks for an end as SIGTERM does;
  // started under nohup, Kestrun keeps ignoring it.
  struct sigaction hangup {};
  if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) {
    sigaction(SIGHUP, &action, nullptr);
  }
  return std::make_unique<SignalWatch>(std::move(requested));
}

std::unique_ptr<modGeneral::VolumeWatch> LinuxNative::watch_volumes(std::function<void()> changed) {
  // The descriptor lives as long as the process watches.
  const int fd = open_mount_table(std::string(kMountTablePath));
  if (fd < 0) return nullptr;
  return std::make_unique<MountTableWatch>(fd, std::move(changed));
}

SystemError LinuxNative::web_link_failure() {
  const int left_by_start = errno;
  const auto words = [](int number) {
    return SystemError{std::strerror(number), static_cast<unsigned long>(number)};
  };
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return words(ENOENT);
  if (left_by_start != 0) return words(left_by_start);
  return {"xdg-open could not be started", 0};
}

std::unique_ptr<NativeInterface> make_native_interface() { return std::make_unique<LinuxNative>(); }

}  // namespace kestrun::platform
