// SPDX-License-Identifier: MIT
// What the program asks of the operating system beyond the engine's seams:
// one contract, implemented once per OS and made by one factory.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/poll_session.h"

class QObject;

namespace kestrun::platform {

/// A failure in the system's own words and number.
struct SystemError {
  std::string description;
  unsigned long number = 0;
};

/// "Unable to load '<address>' : <description> (Error <number>)".
std::string web_link_error_message(std::string_view address, const SystemError& failure);

class NativeInterface {
 public:
  virtual ~NativeInterface() = default;

  /// Calls `requested` from the event loop when the process is asked to end
  /// (SIGINT, SIGTERM, SIGHUP; a console's close or logoff on Windows). Keep
  /// the returned object alive while it should listen.
  virtual std::unique_ptr<QObject> watch_termination_requests(std::function<void()> requested) = 0;

  /// Calls `changed` from the event loop soon after a volume comes or goes
  /// (on Linux, any filesystem mounted or unmounted); nullptr where the
  /// platform cannot tell.
  virtual std::unique_ptr<modGeneral::VolumeWatch> watch_volumes(std::function<void()> changed) = 0;

  /// Connects standard output and error to the console of the program that
  /// started this one when they lead nowhere, as for a windowed program
  /// started from a command prompt. Streams already redirected stay as they are.
  virtual void attach_parent_console() = 0;

  /// Why the desktop's handler for web addresses could not be started. Ask
  /// right after an attempt to open an address failed, before anything else
  /// can change the thread's last error.
  virtual SystemError web_link_failure() = 0;
};

/// The interface for the OS the program is built for.
std::unique_ptr<NativeInterface> make_native_interface();

}  // namespace kestrun::platform
