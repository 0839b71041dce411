// SPDX-License-Identifier: MIT
// The Linux drive API and launcher behind the platform factory.
#include "platform/platform.h"

#include <utility>

#include "platform/linux/drives.h"
#include "platform/linux/launcher.h"

namespace kestrun::platform {

std::unique_ptr<modGeneral::DriveApi> make_drive_api() {
  LinuxSources sources;
  sources.letters_file = default_letters_path();
  return std::make_unique<LinuxDriveApi>(std::move(sources));
}

std::unique_ptr<modGeneral::Launcher> make_launcher() { return std::make_unique<LinuxLauncher>(); }

std::unique_ptr<modGeneral::SettingsStore> make_native_settings_store() { return nullptr; }

}  // namespace kestrun::platform
