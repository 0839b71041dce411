// SPDX-License-Identifier: MIT
// Opening a web address in the user's default browser with ShellExecuteW.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/native.h"

namespace kestrun::platform {

/// Opens `address` with the verb "open" and a normal window, owned by
/// `owner_window` (a native window handle, as QWidget::winId() gives; 0 for
/// none). On failure returns false and sets `message` to the text to show.
bool open_web_address(std::string_view address, std::uintptr_t owner_window, std::string* message);

}  // namespace kestrun::platform
