// SPDX-License-Identifier: MIT
// Each process handle is signalled when the process ends; QWinEventNotifier
// turns that into an event on the loop, so nothing blocks the windows.
#include "platform/windows/process_watch.h"

#include <QObject>
#include <QWinEventNotifier>
#include <map>

namespace kestrun::platform {

struct ProcessWatch::State : QObject {
  struct Process {
    modGeneral::LaunchRequest request;
    Clock::time_point started;
    QWinEventNotifier* notifier = nullptr;
  };

  void ended(HANDLE handle) {
    const auto found = processes.find(handle);
    if (found == processes.end()) return;
    Process process = std::move(found->second);
    processes.erase(found);
    // This runs inside the notifier's own signal: let the loop delete it.
    process.notifier->setEnabled(false);
    process.notifier->deleteLater();
    DWORD code = 0;
    const bool known = GetExitCodeProcess(handle, &code);
    CloseHandle(handle);
    if (!known || !finished) return;
    modGeneral::CommandOutcome outcome;
    // Windows has no signals: a crash or TerminateProcess shows as its code.
    outcome.number = static_cast<int>(code);
    outcome.seconds = std::chrono::duration<double>(Clock::now() - process.started).count();
    finished(process.request, outcome);
  }

  std::map<HANDLE, Process> processes;
  modGeneral::Launcher::Finished finished;
};

ProcessWatch::ProcessWatch() : state_(std::make_unique<State>()) {}

ProcessWatch::~ProcessWatch() {
  for (auto& [handle, process] : state_->processes) {
    delete process.notifier;
    CloseHandle(handle);
  }
}

void ProcessWatch::set_finished(modGeneral::Launcher::Finished finished) {
  state_->finished = std::move(finished);
}

void ProcessWatch::follow(HANDLE process, modGeneral::LaunchRequest request,
                          Clock::time_point started) {
  auto* notifier = new QWinEventNotifier(process, state_.get());
  state_->processes[process] = {std::move(request), started, notifier};
  QObject::connect(notifier, &QWinEventNotifier::activated, state_.get(),
                   [state = state_.get(), process] { state->ended(process); });
}

}  // namespace kestrun::platform
