// SPDX-License-Identifier: MIT
// The Windows drive API, launcher and registry store behind the platform factory.
#include "platform/platform.h"

#include "platform/windows/drives.h"
#include "platform/windows/launcher.h"
#include "platform/windows/registry_store.h"

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
