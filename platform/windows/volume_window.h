// SPDX-License-Identifier: MIT
// Volume arrivals and removals from the system's WM_DEVICECHANGE broadcasts.
#pragma once

#include <functional>
#include <memory>

#include "engine/poll_session.h"

namespace kestrun::platform {

/// A hidden top-level window that hears the volume broadcasts and calls
/// `changed` from the event loop; nullptr when it cannot be made.
std::unique_ptr<modGeneral::VolumeWatch> make_volume_window(std::function<void()> changed);

}  // namespace kestrun::platform
