// SPDX-License-Identifier: MIT
// Starting the user's commands on Linux.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/launcher.h"
#include "platform/linux/process_watch.h"

namespace kestrun::platform {

/// Splits the command like the classic command line (whitespace separates,
/// double quotes group, backslashes are literal), finds the program on PATH
/// and starts it in a session of its own in the home folder (or /), with
/// standard input from /dev/null, default signal handling and no descriptor
/// of Kestrun's beyond the standard three. No shell is involved, and the
/// drive's details reach the process only as KESTRUN_* environment variables,
/// byte for byte. Started commands stay children of Kestrun's until they end,
/// so their ends can be reported; ending them needs a Qt event loop.
class LinuxLauncher : public modGeneral::Launcher {
 public:
  explicit LinuxLauncher(ProcessWatch::Method method = ProcessWatch::Method::pidfd);

  bool launch(const modGeneral::LaunchRequest& request, std::string* error) override;
  void on_finished(Finished finished) override;
  std::vector<std::string> words(std::string_view command) const override;
  std::string start_problem(std::string_view command) const override;

 private:
  ProcessWatch children_;
};

/// The program and its arguments as the launcher starts them. Splits as
/// QProcess::splitCommand does, but bytes that are not valid UTF-8 come out
/// exactly as they went in rather than as U+FFFD.
std::vector<std::string> split_command(std::string_view command);

}  // namespace kestrun::platform
