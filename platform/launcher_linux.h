// Starting the user's commands on Linux.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/launcher.h"

namespace kestrun::platform {

/// Splits the command like the classic command line (whitespace separates,
/// double quotes group, backslashes are literal), finds the program on PATH
/// and starts it detached in the home folder (or /), with standard input
/// from /dev/null, default signal handling and no descriptor of Kestrun's
/// beyond the standard three. No shell is involved, and the drive's details
/// reach the process only as KESTRUN_* environment variables, byte for byte.
class LinuxLauncher : public modGeneral::Launcher {
 public:
  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override;
};

/// The program and its arguments as the launcher starts them. Splits as
/// QProcess::splitCommand does, but bytes that are not valid UTF-8 come out
/// exactly as they went in rather than as U+FFFD.
std::vector<std::string> split_command(std::string_view command);

}  // namespace kestrun::platform
