// SPDX-License-Identifier: MIT
// Starting the user's commands as processes of their own.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace modGeneral {

/// When an entry's drive is ejected after its command: never, after an exit
/// status of 0, or after any end.
enum class EjectWhen { never, success, always };

/// A command to start and the drive it was started for. Only `command` decides
/// what runs; the drive fields reach the process as KESTRUN_* environment
/// variables, never as part of its command line.
struct LaunchRequest {
  std::string command;      ///< placeholders already substituted
  std::string root;         ///< KESTRUN_DRIVE, e.g. "E:\"
  std::string letter;       ///< KESTRUN_LETTER, e.g. "E"
  std::string label;        ///< KESTRUN_LABEL, the entry's label as written
  std::string mount_point;  ///< KESTRUN_MOUNT
  std::string device;       ///< KESTRUN_DEVICE, empty when there is none
  std::string identity;     ///< the volume's, as the drive API gives it
  EjectWhen eject = EjectWhen::never;
};

/// An environment variable that carries one of a request's drive fields.
struct DriveVariable {
  std::string_view name;
  std::string LaunchRequest::*field;
};

/// Every variable a launched command gets, in the order they are shown.
inline constexpr std::array<DriveVariable, 5> kDriveVariables = {{
    {"KESTRUN_DRIVE", &LaunchRequest::root},
    {"KESTRUN_LETTER", &LaunchRequest::letter},
    {"KESTRUN_LABEL", &LaunchRequest::label},
    {"KESTRUN_MOUNT", &LaunchRequest::mount_point},
    {"KESTRUN_DEVICE", &LaunchRequest::device},
}};

/// How a started command ended.
struct CommandOutcome {
  bool signalled = false;   ///< ended by a signal rather than by exiting
  int number = 0;           ///< the exit code, or the signal's number
  std::string signal_name;  ///< the signal's name, such as "SIGKILL"
  double seconds = 0;       ///< from its start to its end
};

class Launcher {
 public:
  using Finished = std::function<void(const LaunchRequest&, const CommandOutcome&)>;

  virtual ~Launcher() = default;

  /// Starts the request's command with a normal, focused window and does not
  /// wait for it. On failure returns false and sets `error` to the platform's
  /// own description of why the program could not be started.
  virtual bool launch(const LaunchRequest& request, std::string* error) = 0;

  /// Calls `finished` from the event loop each time a command this launcher
  /// started ends, including those started before the call; an empty function
  /// stops the reports. Commands are never waited for or killed: one still
  /// running when the launcher goes keeps running, unreported.
  virtual void on_finished(Finished finished) { static_cast<void>(finished); }

  /// The program and arguments `command` would be started with, for showing
  /// the user; nothing is started.
  virtual std::vector<std::string> words(std::string_view command) const {
    return {std::string(command)};
  }

  /// Why `command` would fail to start, as far as can be told without
  /// starting it (its program missing or not runnable), beginning with the
  /// words launch() would give; "" when it looks startable or cannot be told.
  virtual std::string start_problem(std::string_view command) const {
    static_cast<void>(command);
    return {};
  }
};

}  // namespace modGeneral
