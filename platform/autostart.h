// SPDX-License-Identifier: MIT
// The user's login entry that has the desktop start Kestrun: an XDG autostart
// file on Linux, a value under the user's Run key on Windows.
#pragma once

#include <string>

namespace kestrun::platform::autostart {

/// Whether the desktop starts Kestrun when the user logs in: the entry is
/// there and neither the user nor the desktop's settings switched it off.
/// Asked afresh each time, since either may change it behind Kestrun's back.
bool is_enabled();

/// Makes the entry start this program, switched on, or takes it away. False
/// with the system's words in `error` when that cannot be done; the entry is
/// then as it was.
bool set_enabled(bool enabled, std::string* error);

}  // namespace kestrun::platform::autostart
