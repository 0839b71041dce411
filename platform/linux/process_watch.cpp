// SPDX-License-Identifier: MIT
#include "platform/linux/process_watch.h"

#include <signal.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace kestrun::platform {

namespace {

int open_pidfd(pid_t pid) {
  // A pidfd of a child that has already ended still reads as ended, so there
  // is no race with a command that is over before it is followed.
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

std::string signal_name(int number) {
  const char* abbreviation = sigabbrev_np(number);
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(number);
}

}  // namespace

ProcessWatch::ProcessWatch(Method method) : method_(method) {}

ProcessWatch::~ProcessWatch() {
  for (auto& [pid, child] : children_) {
    if (child.pidfd >= 0) {
      delete child.notifier;
      close(child.pidfd);
    }
  }
}

void ProcessWatch::follow(pid_t pid, modGeneral::LaunchRequest request, Clock::time_point started) {
  Child child{std::move(request), started};
  if (method_ == Method::pidfd) child.pidfd = open_pidfd(pid);
  if (child.pidfd >= 0) {
    child.notifier = new QSocketNotifier(child.pidfd, QSocketNotifier::Read, this);
    connect(child.notifier, &QSocketNotifier::activated, this, [this, pid] { reap(pid); });
  } else {
    if (!poll_timer_) {
      poll_timer_ = new QTimer(this);
      poll_timer_->setInterval(100);
      connect(poll_timer_, &QTimer::timeout, this, &ProcessWatch::poll_children);
    }
    poll_timer_->start();
  }
  children_.emplace(pid, std::move(child));
}

bool ProcessWatch::reap(pid_t pid) {
  const auto found = children_.find(pid);
  if (found == children_.end()) return true;
  int status = 0;
  pid_t reaped = 0;
  while ((reaped = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (reaped == 0) return false;

  Child child = std::move(found->second);
  children_.erase(found);
  if (child.pidfd >= 0) {
    // This may run inside the notifier's own signal: let the loop delete it.
    child.notifier->setEnabled(false);
    child.notifier->deleteLater();
    close(child.pidfd);
  }
  // reaped < 0: someone else took the status (ECHILD); there is nothing to tell.
  if (reaped < 0 || !finished_) return true;
  modGeneral::CommandOutcome outcome;
  outcome.seconds = std::chrono::duration<double>(Clock::now() - child.started).count();
  if (WIFSIGNALED(status)) {
    outcome.signalled = true;
    outcome.number = WTERMSIG(status);
    outcome.signal_name = signal_name(outcome.number);
  } else {
    outcome.number = WEXITSTATUS(status);
  }
  finished_(child.request, outcome);
  return true;
}

void ProcessWatch::poll_children() {
  std::vector<pid_t> polled;
  for (const auto& [pid, child] : children_) {
    if (child.pidfd < 0) polled.push_back(pid);
  }
  for (const pid_t pid : polled) reap(pid);
  // A report may have started another command, so look again.
  const bool still_polled = std::any_of(children_.begin(), children_.end(),
                                        [](const auto& each) { return each.second.pidfd < 0; });
  if (!still_polled) poll_timer_->stop();
}

}  // namespace kestrun::platform
