// SPDX-License-Identifier: MIT
// Kestrun started with arguments: validate scripts, list drives, poll headless.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/drive_api.h"
#include "engine/eject.h"
#include "engine/launcher.h"
#include "engine/mount_targets.h"
#include "engine/settings_store.h"
#include "platform/session_driver.h"

namespace kestrun::cli {

/// What the command line works with; the program passes the real machine,
/// tests a fake one.
struct Services {
  modGeneral::DriveApi& drives;
  modGeneral::Launcher& launcher;
  modGeneral::SettingsStore& settings;
  /// Makes --headless the user's one Kestrun for as long as the program runs;
  /// the message when another one already runs. Tests leave it empty.
  std::function<std::optional<QString>()> claim_instance = {};
  /// The system's word that drives came or went, for --headless; tests
  /// leave it empty and hand the session its words themselves.
  platform::VolumeWatchMaker watch_volumes = {};
  /// Ejects the drives of entries with an "eject:" line, for --headless;
  /// without one, such an entry's log says the drive was not ejected.
  modGeneral::Ejector* ejector = nullptr;
  /// The labelled filesystems present but not mounted, for --explain and
  /// --list-drives; tests leave it empty.
  std::function<std::vector<modGeneral::UnmountedVolume>()> unmounted_volumes = {};
  /// Mounts the filesystems that entries name, for --headless --mount, as
  /// platform::mount_named_volumes() does; tests leave it empty.
  std::function<std::unique_ptr<QObject>(std::function<std::string()> read_script,
                                         std::function<void(const std::string&)> log)>
      mount_volumes = {};
};

struct Streams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  bool input_closed = false;  ///< standard input was closed when the program started
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitCheckFailed = 1;
inline constexpr int kExitUsage = 2;

/// Runs the command line (arguments[0] is the program, file names as
/// platform::decode_arguments() gives them) and gives the exit status.
/// --headless needs a QCoreApplication and runs its event loop.
int run_command_line(const QStringList& arguments, Services& services, const Streams& streams = {});

}  // namespace kestrun::cli
