// SPDX-License-Identifier: MIT
// Where the real program keeps the user's settings.
#pragma once

#include <memory>

#include "engine/settings_store.h"

namespace kestrun::app {

/// The current user's settings: the system's own store where it has one (the
/// registry on Windows), Kestrun's settings file elsewhere.
std::unique_ptr<modGeneral::SettingsStore> user_settings();

}  // namespace kestrun::app
