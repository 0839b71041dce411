#include "cli/script_commands.h"

#include <string>
#include <string_view>

#include "cli/stdout_pane.h"
#include "engine/poll_clock.h"
#include "engine/text_bytes.h"
#include "platform/process_start.h"

namespace kestrun::cli {

namespace {

int fail(const Streams& streams, std::string_view message) {
  write_all(streams.err, "kestrun: " + std::string(message) + "\n");
  return kExitUsage;
}

bool store(const modGeneral::SettingKey& key, std::string_view value, Services& services,
           const Streams& streams) {
  std::string reason;
  if (services.settings.write(key, value, &reason)) return true;
  fail(streams, "cannot save the setting '" + std::string(key.name) + "': " + reason);
  return false;
}

}  // namespace

int store_script(const QString& file, Services& services, const Streams& streams) {
  std::string text;
  std::string error;
  if (!read_script(file, streams, &text, &error)) return fail(streams, error);
  text = to_crlf(text);
  if (const int checked = validate_text(text, streams.out); checked != kExitOk) return checked;
  return store(modGeneral::kAdvanced, text, services, streams) ? kExitOk : kExitUsage;
}

int print_script(Services& services, const Streams& streams) {
  const auto script = services.settings.read(modGeneral::kAdvanced);
  // Unusable settings read as the defaults: printing "" would pass for an
  // empty script.
  if (const auto problem = services.settings.problem()) return fail(streams, problem.message);
  const auto printed = to_lf(script);
  write_all(streams.out, printed);
  // Line ends the editor never writes (a lone CR or LF from a hand edit)
  // cannot come back from LF lines, and they change what the script means.
  if (to_crlf(printed) != script) {
    write_all(streams.err,
              "kestrun: the stored script has line ends other than CR LF; storing the printed "
              "text again would change them\n");
  }
  return kExitOk;
}

int set_interval(const QString& value, Services& services, const Streams& streams) {
  const auto text = platform::argument_bytes(value);
  const auto seconds = modGeneral::parse_interval(text);
  if (!seconds || *seconds <= 0) {
    return fail(streams, "the poll interval '" + modGeneral::escape_for_terminal(text) +
                             "' is not a positive number of seconds");
  }
  return store(modGeneral::kInterval, text, services, streams) ? kExitOk : kExitUsage;
}

}  // namespace kestrun::cli
