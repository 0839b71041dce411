// SPDX-License-Identifier: MIT
// The running program's own path, and where the window program lives relative
// to the command-line program.
#pragma once

#include <string>
#include <vector>

namespace kestrun::platform {

/// The running program's path, even after an upgrade replaced its file; ""
/// with errno set when the system does not tell.
std::string running_program();

/// Where the window program may be, in the order tried, for the command-line
/// program at `program` (an absolute path without symbolic links): beside it
/// in the build tree, in the package's private folder when installed.
std::vector<std::string> window_program_places(const std::string& program);

}  // namespace kestrun::platform
