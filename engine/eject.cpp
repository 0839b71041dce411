// SPDX-License-Identifier: MIT
// Ejecting an entry's drive once its command has ended: the "eject:" line,
// the platform's seam that does it, and what the log and the desktop hear.
#include "engine/eject.h"

#include <memory>
#include <string>

#include "engine/action_log.h"
#include "engine/detection.h"
#include "engine/events.h"
#include "engine/outcomes.h"
#include "engine/script.h"
#include "engine/text_bytes.h"

namespace modGeneral {

namespace {

constexpr std::string_view kSuccess = "success";
constexpr std::string_view kAlways = "always";

void log_eject(Context& context, const LaunchRequest& request, const EjectResult& result) {
  TextPane& log = context.action_log;
  log_size_check(log);
  log_append(log, eject_line(request, result));
  log_keep_end_in_view(log);
  if (context.events) context.events->volume_ejected(request, result);
}

}  // namespace

std::optional<EjectWhen> parse_eject_value(std::string_view value) {
  if (value == kSuccess) return EjectWhen::success;
  if (value == kAlways) return EjectWhen::always;
  return std::nullopt;
}

std::string_view eject_value_text(EjectWhen when) {
  switch (when) {
    case EjectWhen::success:
      return kSuccess;
    case EjectWhen::always:
      return kAlways;
    case EjectWhen::never:
      break;
  }
  return {};
}

std::string eject_line_error(std::string_view script, std::size_t position,
                             std::string_view value) {
  const auto line = "'eject:' on line " + std::to_string(line_number(script, position));
  const std::string how = "write success (eject after exit code 0) or always";
  if (value.empty()) return line + " is blank: " + how;
  return line + " holds '" + escape_for_terminal(value) + "': " + how;
}

bool ejects_after(EjectWhen when, const CommandOutcome& outcome) {
  if (when == EjectWhen::always) return true;
  return when == EjectWhen::success && !outcome.signalled && outcome.number == 0;
}

std::string eject_line(const LaunchRequest& request, const EjectResult& result) {
  if (result.ejected) {
    return "  ejected: '" + request.label + "' from " + request.root + " (safe to remove)";
  }
  return "  not ejected: '" + request.label + "' on " + request.root + ": " +
         escape_for_terminal(result.reason);
}

Notice eject_notice(const LaunchRequest& request, const EjectResult& result) {
  if (result.ejected) {
    return {"'" + request.label + "' can be removed",
            "The drive " + request.root + " was ejected: it is safe to remove the stick."};
  }
  return {"'" + request.label + "' on " + request.root + " was not ejected",
          "Do not remove the stick yet: " + escape_for_terminal(result.reason)};
}

void eject_after_command(Context& context, const LaunchRequest& request,
                         const CommandOutcome& outcome) {
  if (!ejects_after(request.eject, outcome)) return;
  if (!context.ejector) {
    log_eject(context, request, {false, "this system cannot eject drives"});
    return;
  }
  // The ejector may answer after the pass that started the command is long
  // gone, but never after the context.
  context.ejector->eject(request, [&context, request](const EjectResult& result) {
    log_eject(context, request, result);
  });
}

}  // namespace modGeneral
