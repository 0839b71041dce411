// SPDX-License-Identifier: MIT
#include "app/user_settings.h"

#include "platform/platform.h"
#include "settings/qt_settings_store.h"

namespace kestrun::app {

std::unique_ptr<modGeneral::SettingsStore> user_settings() {
  if (auto native = platform::make_native_settings_store()) return native;
  return std::make_unique<QtSettingsStore>();
}

}  // namespace kestrun::app
