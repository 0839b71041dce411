// SPDX-License-Identifier: MIT
#include "cli/script_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/stream_pane.h"
#include "engine/detection.h"
#include "engine/poll_clock.h"
#include "engine/text_bytes.h"
#include "platform/process_start.h"

namespace kestrun::cli {

namespace {

// Validation writes its error lines to the action log too; on the command
// line the report already carries them.
class DiscardPane : public modGeneral::TextPane {
 public:
  std::string text() const override { return {}; }
  void set_text(const std::string&) override {}
  std::size_t selection_start() const override { return 0; }
  void set_selection_start(std::size_t) override {}
  void set_selection_length(std::size_t) override {}
};

// Validation needs no drives, launcher or store; these answer nothing.
class NoDrives : public modGeneral::DriveApi {
 public:
  std::size_t logical_drive_strings(std::size_t, char*) override { return 0; }
  std::optional<std::string> volume_label(std::string_view) override { return std::nullopt; }
  modGeneral::DriveType drive_type(std::string_view) override { return modGeneral::kDriveUnknown; }
};

class NoLauncher : public modGeneral::Launcher {
 public:
  bool launch(const modGeneral::LaunchRequest&, std::string* error) override {
    *error = "validation launches nothing";
    return false;
  }
};

class NoSettings : public modGeneral::SettingsStore {
 public:
  using SettingsStore::read;
  using SettingsStore::write;
  std::string read(std::string_view, std::string_view, std::string_view,
                   std::string_view default_value) override {
    return std::string(default_value);
  }
  bool write(std::string_view, std::string_view, std::string_view, std::string_view,
             std::string* error) override {
    *error = "validation stores nothing";
    return false;
  }
};

bool read_stream(std::FILE* stream, std::string* text) {
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text->append(buffer, got);
  return std::ferror(stream) == 0;
}

// Where the script's bytes stop being text the store can keep: the first
// byte that starts no UTF-8 sequence, or a NUL. "" when there is none.
std::string first_non_text(std::string_view bytes) {
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto length = modGeneral::utf8_sequence_length(bytes.substr(at));
    if (length == 0 || bytes[at] == '\0') {
      const auto byte = static_cast<unsigned char>(bytes[at]);
      char value[8];
      std::snprintf(value, sizeof value, "0x%02x", byte);
      return "line " + std::to_string(line) + ", byte " + std::to_string(at - line_start + 1) +
             (byte == 0 ? std::string(" is a NUL") : " (" + std::string(value) + ") is not UTF-8");
    }
    if (bytes[at] == '\n') {
      ++line;
      line_start = at + 1;
    }
    at += length;
  }
  return {};
}

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

namespace {

bool read_bytes(const QString& name, const Streams& streams, const std::string& shown,
                std::string* text, std::string* error) {
  if (name == QStringLiteral("-")) {
    if (streams.input_closed) {
      *error = "cannot read standard input: it is closed";
      return false;
    }
    if (read_stream(streams.in, text)) return true;
    *error = std::string("cannot read standard input: ") + std::strerror(errno);
    return false;
  }
  std::FILE* file = platform::open_argument_file(name);
  if (file == nullptr) {
    *error = "cannot open " + shown + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = read_stream(file, text);
  const int read_errno = errno;
  std::fclose(file);
  if (!ok) *error = "cannot read " + shown + ": " + std::strerror(read_errno);
  return ok;
}

}  // namespace

bool read_script(const QString& name, const Streams& streams, std::string* text,
                 std::string* error) {
  const std::string shown =
      name == QStringLiteral("-")
          ? std::string("standard input")
          : "'" + modGeneral::escape_for_terminal(platform::argument_bytes(name)) + "'";
  std::string bytes;
  if (!read_bytes(name, streams, shown, &bytes, error)) return false;
  if (const auto where = first_non_text(bytes); !where.empty()) {
    *error = "cannot use " + shown + ": " + where + "; a script is UTF-8 text without NUL bytes";
    return false;
  }
  *text = to_crlf(bytes);
  return true;
}

int validate_text(const std::string& text, std::FILE* out) {
  NoDrives drives;
  NoLauncher launcher;
  NoSettings settings;
  DiscardPane log;
  modGeneral::NoRunItem run_item;
  modGeneral::Context context{drives, launcher, settings, log, run_item, {}};
  const auto report = modGeneral::run_detection(context, modGeneral::Mode::validate, text);
  write_all(out, terminal_lines(report));
  constexpr std::string_view kComplete = "Validation complete\r\n\r\n";
  const bool complete =
      report.size() >= kComplete.size() &&
      report.compare(report.size() - kComplete.size(), kComplete.size(), kComplete) == 0;
  return report.empty() || complete ? kExitOk : kExitCheckFailed;
}

int store_script(const QString& file, Services& services, const Streams& streams) {
  std::string text;
  std::string error;
  if (!read_script(file, streams, &text, &error)) return fail(streams, error);
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
