// SPDX-License-Identifier: MIT
// Storing one setting from a window.
#pragma once

#include <QString>
#include <optional>
#include <string_view>

#include "engine/settings_store.h"

namespace kestrun::ui {

/// Stores `value` under `key`. When the store refuses it, the message that
/// tells the user which setting was not saved and the system's reason.
std::optional<QString> write_setting(modGeneral::SettingsStore& settings,
                                     const modGeneral::SettingKey& key, std::string_view value);

}  // namespace kestrun::ui
