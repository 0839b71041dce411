// Process-level events the headless mode reacts to, delivered on the Qt event loop.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace kestrun::platform {

/// Calls `requested` from the event loop when the process is asked to end
/// (SIGINT, SIGTERM, SIGHUP). Keep the returned object alive while it should listen.
std::unique_ptr<QObject> watch_termination_requests(std::function<void()> requested);

/// Calls `changed` from the event loop soon after a filesystem is mounted or
/// unmounted; nullptr where the platform cannot tell.
std::unique_ptr<QObject> watch_mounts(std::function<void()> changed);

/// Connects standard output and error to the console of the program that
/// started this one when they lead nowhere, as for a windowed program started
/// from a command prompt. Streams already redirected stay as they are.
void attach_parent_console();

}  // namespace kestrun::platform
