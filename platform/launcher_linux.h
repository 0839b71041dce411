// Starting the user's commands on Linux.
#pragma once

#include <string>

#include "engine/launcher.h"

namespace kestrun::platform {

/// Splits the command like the classic command line (whitespace separates,
/// double quotes group, backslashes are literal), finds the program on PATH
/// and starts it detached in the home folder. No shell is involved, and the
/// drive's details reach the process only as KESTRUN_* environment variables.
class LinuxLauncher : public modGeneral::Launcher {
 public:
  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override;
};

}  // namespace kestrun::platform
