// SPDX-License-Identifier: MIT
// The running program's own path, and where the files installed with it (the
// window program, the udisks2 module) live relative to it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::platform {

/// The running program's path, even after an upgrade replaced its file; ""
/// with errno set when the system does not tell.
std::string running_program();

/// Where `file` may be, in the order tried, for the program at `program`:
/// beside it in the build tree, then in each of `folders`, given relative to
/// the program's folder as installed.
std::vector<std::string> installed_places(const std::string& program, std::string_view file,
                                          std::initializer_list<std::string_view> folders);

/// Where the window program may be, in the order tried, for the command-line
/// program at `program` (an absolute path without symbolic links): beside it
/// in the build tree, in the package's private folder when installed.
std::vector<std::string> window_program_places(const std::string& program);

}  // namespace kestrun::platform
