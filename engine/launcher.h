// Starting the user's commands as processes of their own.
#pragma once

#include <string>

namespace modGeneral {

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
};

class Launcher {
 public:
  virtual ~Launcher() = default;

  /// Starts the request's command with a normal, focused window and does not
  /// wait for it. On failure returns false and sets `error` to the platform's
  /// own description of why the program could not be started.
  virtual bool launch(const LaunchRequest& request, std::string* error) = 0;
};

}  // namespace modGeneral
