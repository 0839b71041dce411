// SPDX-License-Identifier: MIT
// The settings store in the user's registry hive.
#pragma once

#include <string>
#include <string_view>

#include "engine/settings_store.h"

namespace kestrun::platform {

/// Values live as REG_SZ under HKEY_CURRENT_USER\Software\VB and VBA Program
/// Settings\<app>\<section>, where earlier versions of Kestrun kept them, so a
/// user's settings carry over.
class RegistryStore : public modGeneral::SettingsStore {
 public:
  using SettingsStore::read;
  using SettingsStore::write;

  /// The default also when the value is not text (REG_SZ).
  std::string read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view default_value) override;
  bool write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value, std::string* error) override;
};

/// Writes `value` as REG_SZ named `name` under HKEY_CURRENT_USER\`key`,
/// creating the key as needed. The system's error code, 0 once written.
long write_user_text(const std::wstring& key, const std::wstring& name, const std::wstring& value);

/// The key below HKEY_CURRENT_USER that holds `section` of `app`.
std::wstring registry_settings_path(std::string_view app, std::string_view section);

}  // namespace kestrun::platform
