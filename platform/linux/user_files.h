// SPDX-License-Identifier: MIT
// Where the user's own files live, and replacing one of them as a whole.
#pragma once

#include <sys/stat.h>

#include <string>

namespace kestrun::platform {

/// The folder an XDG base directory variable names, such as
/// $XDG_CONFIG_HOME, or `under_home` inside the home folder when the variable
/// is unset or relative; "" when no home folder can be found.
std::string xdg_folder(const char* variable, const char* under_home);

/// Replaces `path` with a file that holds `text`: written beside it and
/// renamed over it, so that a reader finds the old file or the new one, never
/// part of one. `written`, when given, gets the new file's status. The
/// system's words on failure, "" on success; on failure `path` is untouched.
std::string replace_file(const std::string& path, const std::string& text, mode_t mode,
                         struct stat* written = nullptr);

}  // namespace kestrun::platform
