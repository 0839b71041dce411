// Kestrun started with arguments: validate scripts, list drives, poll headless.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/modGeneral.h"

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

/// The current user's settings: the system's own store where it has one (the
/// registry on Windows), Kestrun's settings file elsewhere.
std::unique_ptr<modGeneral::SettingsStore> user_settings();

/// The program started with arguments: the real machine and settings, no
/// display. Gives the exit status. Not named main: Qt renames every main
/// on Windows for its entry point.
int run_with_arguments(int argc, char* argv[]);

/// Reads the script file `name` (an argument as run_command_line() got it), or
/// standard input for "-". On failure says which file and why.
bool read_script(const QString& name, const Streams& streams, std::string* text,
                 std::string* error);

/// Validates `text` (line ends as read) and writes the report with LF line ends.
int validate_text(const std::string& text, std::FILE* out);

/// Explains what a poll pass would do with `text` on the drives present now,
/// launching nothing. 0, or 1 when an entry failed a check.
int explain_text(const std::string& text, Services& services, std::FILE* out);

/// The drive table of --list-drives, tab-separated with a header line; its
/// snapshot column follows the ignore list of `script`.
std::string list_drives(modGeneral::DriveApi& drives, std::string_view script);

}  // namespace kestrun::cli
