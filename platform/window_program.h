// SPDX-License-Identifier: MIT
// Kestrun typed without arguments: the command-line program hands over to the
// window program installed beside it.
#pragma once

#include <string>

namespace kestrun::platform {

/// Starts the window program installed with the running command-line program,
/// with no arguments. On Linux it replaces this process (`argv` is passed on,
/// so the window sees the name it was started by) and the call returns only
/// when that failed; on Windows it starts on its own and the call returns
/// true at once. On failure `error` names every place looked at and why.
bool open_window_program(char* argv[], std::string* error);

}  // namespace kestrun::platform
