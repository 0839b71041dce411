// Kestrun started with arguments: validate scripts, list drives, poll headless.
#pragma once

#include <QStringList>
#include <cstdio>

#include "engine/modGeneral.h"

namespace kestrun::cli {

/// What the command line works with; the program passes the real machine,
/// tests a fake one.
struct Services {
  modGeneral::DriveApi& drives;
  modGeneral::Launcher& launcher;
  modGeneral::SettingsStore& settings;
};

struct Streams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitCheckFailed = 1;
inline constexpr int kExitUsage = 2;

/// Runs the command line (arguments[0] is the program) and gives the exit
/// status. --headless needs a QCoreApplication and runs its event loop.
int run_command_line(const QStringList& arguments, Services& services, const Streams& streams = {});

/// The program started with arguments: the real machine and settings, no
/// display. Gives the exit status.
int main(int argc, char* argv[]);

/// Validates `text` (line ends as read) and writes the report with LF line ends.
int validate_text(const std::string& text, std::FILE* out);

/// Explains what a poll pass would do with `text` on the drives present now,
/// launching nothing. 0, or 1 when an entry failed a check.
int explain_text(const std::string& text, Services& services, std::FILE* out);

/// The drive table of --list-drives, tab-separated with a header line.
std::string list_drives(modGeneral::DriveApi& drives);

}  // namespace kestrun::cli
