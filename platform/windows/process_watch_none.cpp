// SPDX-License-Identifier: MIT
// The engine-only Windows build has no event loop to wait on, so started
// processes are let go at once, as before ends were reported.
#include "platform/windows/process_watch.h"

namespace kestrun::platform {

struct ProcessWatch::State {};

ProcessWatch::ProcessWatch() = default;
ProcessWatch::~ProcessWatch() = default;

void ProcessWatch::set_finished(modGeneral::Launcher::Finished) {}

void ProcessWatch::follow(HANDLE process, modGeneral::LaunchRequest, Clock::time_point) {
  CloseHandle(process);
}

}  // namespace kestrun::platform
