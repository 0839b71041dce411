// SPDX-License-Identifier: MIT
// The detection pass: one walk over the script's entries shared by the poll,
// menu and validate modes, and the launching of what it finds.
#pragma once

#include <string>
#include <string_view>

#include "engine/drive_api.h"
#include "engine/events.h"
#include "engine/launcher.h"
#include "engine/run_item.h"
#include "engine/settings_store.h"
#include "engine/text_pane.h"

namespace modGeneral {

class Ejector;

enum class Mode { poll, menu, validate };

/// What a pass works with. `last_drive_snapshot` is the engine's only memory
/// between passes; only poll passes read or change it. `events`, when set,
/// hears of commands that could not start or have ended; `ejector`, when set,
/// ejects the drives of entries that ask for it.
struct Context {
  DriveApi& drives;
  Launcher& launcher;
  SettingsStore& settings;
  TextPane& action_log;
  RunItem& run_item;
  std::string last_drive_snapshot;
  EngineEvents* events = nullptr;
  Ejector* ejector = nullptr;
};

/// One detection pass. `text` is the script for a validate pass; poll and
/// menu passes read the stored script. Returns the validation report.
std::string run_detection(Context& context, Mode mode, std::string_view text = {});

/// The launch request for `command` on the drive at `root`, found for the entry
/// labelled `label`: placeholders substituted, drive fields filled in.
LaunchRequest make_launch_request(DriveApi& drives, std::string_view command, std::string_view root,
                                  std::string_view label);

/// Logs "  executing script..." and the command, then starts it; a launch that
/// fails adds "  error: " and the platform's words. Returns the error, or "".
std::string execute_logged(Context& context, const LaunchRequest& request);

}  // namespace modGeneral
