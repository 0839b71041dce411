// SPDX-License-Identifier: MIT
// The Windows drive API, launcher and registry store behind the platform factory.
#include "platform/drives_win.h"
#include "platform/launcher_win.h"
#include "platform/platform.h"
#include "platform/registry_store_win.h"

namespace kestrun::platform {

std::unique_ptr<modGeneral::DriveApi> make_drive_api() {
  return std::make_unique<WindowsDriveApi>();
}

std::unique_ptr<modGeneral::Launcher> make_launcher() {
  return std::make_unique<WindowsLauncher>();
}

std::unique_ptr<modGeneral::SettingsStore> make_native_settings_store() {
  return std::make_unique<RegistryStore>();
}

}  // namespace kestrun::platform
