// SPDX-License-Identifier: MIT
// Starting the user's commands with CreateProcessW.
#pragma once

#include <string>

#include "engine/launcher.h"
#include "platform/windows/process_watch.h"

namespace kestrun::platform {

/// Hands the command line to CreateProcessW as it stands: Windows programs
/// split their own command lines, so nothing is split or quoted here. The
/// drive's details reach the process as KESTRUN_* environment variables.
/// Started processes are followed until they end.
class WindowsLauncher : public modGeneral::Launcher {
 public:
  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override;
  void on_finished(Finished finished) override { processes_.set_finished(std::move(finished)); }
  /// A program that no name CreateProcessW would try finds, or that is a folder.
  std::string start_problem(std::string_view command) const override;

 private:
  ProcessWatch processes_;
};

}  // namespace kestrun::platform
