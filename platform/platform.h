// SPDX-License-Identifier: MIT
// The platform's drive API, launcher and settings store, made for the OS the program is built for.
#pragma once

#include <memory>

#include "engine/drive_api.h"
#include "engine/launcher.h"
#include "engine/settings_store.h"

namespace kestrun::platform {

/// The machine's drives. Where the platform gives out the letters itself, it
/// remembers them per user, so every process agrees on them; keep one object
/// for the whole run, which lists again only when the mounts change.
std::unique_ptr<modGeneral::DriveApi> make_drive_api();

std::unique_ptr<modGeneral::Launcher> make_launcher();

/// The system's own per-user settings store (the registry on Windows), or
/// nullptr where Kestrun keeps its settings in a file of its own.
std::unique_ptr<modGeneral::SettingsStore> make_native_settings_store();

}  // namespace kestrun::platform
