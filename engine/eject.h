// SPDX-License-Identifier: MIT
// Ejecting an entry's drive once its command has ended: the "eject:" line,
// the platform's seam that does it, and what the log and the desktop hear.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/launcher.h"

namespace modGeneral {

struct Context;
struct Notice;

/// Like "volume:", counts only at the start of a line.
inline constexpr std::string_view kEjectKey = "eject:";

/// The value an "eject:" line holds, or nothing when it holds neither word.
std::optional<EjectWhen> parse_eject_value(std::string_view value);
/// "success" or "always"; "" for never.
std::string_view eject_value_text(EjectWhen when);
/// Why the "eject:" line starting at `position` (1-based, at its key) cannot
/// be read, naming the line; `value` is the line's value.
std::string eject_line_error(std::string_view script, std::size_t position, std::string_view value);

/// Whether a command that ended so is followed by an eject.
bool ejects_after(EjectWhen when, const CommandOutcome& outcome);

/// What became of an eject. `reason` comes from the system: not to be trusted.
struct EjectResult {
  bool ejected = false;
  std::string reason;  ///< why not, when not ejected
};

/// The platform's way of making a drive safe to remove.
class Ejector {
 public:
  using Done = std::function<void(const EjectResult&)>;
  virtual ~Ejector() = default;
  /// Unmounts the volume the request's command ran on and powers its drive off
  /// where the system can, never forcing a volume that a program keeps busy,
  /// and never touching another volume mounted at the same place since. Calls
  /// `done` once, from the event loop, possibly before returning.
  virtual void eject(const LaunchRequest& request, Done done) = 0;
};

/// "  ejected: 'LABEL' from E:\ (safe to remove)" or
/// "  not ejected: 'LABEL' on E:\: REASON", the reason escaped.
std::string eject_line(const LaunchRequest& request, const EjectResult& result);
Notice eject_notice(const LaunchRequest& request, const EjectResult& result);

/// After a command's "finished:" line: ejects its drive when its entry asked
/// for it, then logs the outcome and tells the context's events.
void eject_after_command(Context& context, const LaunchRequest& request,
                         const CommandOutcome& outcome);

}  // namespace modGeneral
