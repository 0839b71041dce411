// SPDX-License-Identifier: MIT
// Kestrun started without arguments: the main window over the real machine,
// one per user.
#pragma once

#include "engine/settings_store.h"

namespace kestrun::app {

/// Runs the window program until Exit or a termination request and gives the
/// exit status. A later start hands over to the running Kestrun and ends.
/// Needs a QApplication.
int run_window_program(modGeneral::SettingsStore& settings);

}  // namespace kestrun::app
