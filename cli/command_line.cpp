// SPDX-License-Identifier: MIT
#include "cli/command_line.h"

#include <QCommandLineParser>
#include <string>

#include "cli/explain.h"
#include "cli/headless.h"
#include "cli/script_commands.h"
#include "cli/stream_pane.h"
#include "engine/drives.h"
#include "engine/explain.h"
#include "engine/poll_clock.h"
#include "engine/text_bytes.h"
#include "engine/version.h"

namespace kestrun::cli {

namespace {

struct OptionText {
  const char* name;
  const char* help;
  const char* value_name = nullptr;
};

// Every option but --help, in the order --help lists them.
constexpr OptionText kOptions[] = {
    {"version", "Show the version and exit."},
    {"validate",
     "Validate the script in FILE ('-' for standard input; the stored script when FILE is "
     "omitted) and print the report. Exit status 0 when valid, 1 when an entry failed a check."},
    {"explain",
     "Show what a poll pass would do with the script in FILE ('-' for standard input; the "
     "stored script when FILE is omitted) and the drives present now, entry by entry, and why. "
     "Nothing is started; a volume seen for the first time gets its drive letter recorded. "
     "Exit status 0, or 1 when an entry failed a check."},
    {"list-drives",
     "Print a header line, then one tab-separated line per drive root, in the columns: root, "
     "type, name, label, snapshot, mount point, device, identity. The identity is what a "
     "script's volume: line pins an entry to and, on Linux, what the drive's letter is "
     "remembered by; a volume seen for the first time gets its letter recorded. Labelled "
     "filesystems present but not mounted follow, with '-' for the root and 'not mounted' for "
     "the name."},
    {"headless",
     "Poll with the stored settings and no window, writing the action log to standard output, "
     "until SIGINT, SIGTERM or SIGHUP. A pass runs at start, whenever drives come or go (once "
     "they have settled, so the volumes of one stick make one pass) and every poll interval; a "
     "stored interval changed meanwhile is used from the next second."},
    {"mount",
     "With --headless: mount, as the user and through udisks2, each filesystem present or "
     "plugged in whose label an entry names (and whose volume its volume: lines name, where it "
     "has them), and never any other; for machines without an automounter. A failure is said "
     "once in the action log."},
    {"instant",
     "With --headless: pass as soon as drives come or go; the default, kept for the "
     "scripts that name it."},
    {"store-script",
     "Validate the script in FILE ('-' for standard input) as --validate does and, when it "
     "passes, store it as the editor's Save does. A running Kestrun uses it from its next pass "
     "and runs its commands when the drives next change; to act on the drives present now, "
     "press Stop and Start in the window or restart the service. --explain shows beforehand "
     "what it would do. Exit status 0 when stored, 1 when an entry failed a check (nothing is "
     "stored), 2 when the file cannot be read or is not UTF-8 text, or the settings cannot be "
     "read or written."},
    {"print-script",
     "Print the stored script with LF line ends, ready to edit and store again with "
     "--store-script."},
    {"set-interval",
     "Store N as the poll interval, in seconds (10 until set). N must be a positive number; "
     "exit status 2 otherwise.",
     "N"},
};

// The options that say what to do; exactly one is given.
constexpr const char* kModes[] = {"validate",     "explain",      "list-drives", "headless",
                                  "store-script", "print-script", "set-interval"};

void define_options(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Runs your commands when a drive with a given volume label appears.\n"
      "Without options, Kestrun starts its window and tray icon, through the window\n"
      "program installed with kestrun; where there is none it says so (exit status 127)."));
  parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Show this help and exit.")));
  for (const auto& option : kOptions) {
    parser.addOption(
        QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.help),
                           option.value_name ? QString::fromLatin1(option.value_name) : QString()));
  }
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("The script, with --validate, --explain or --store-script: UTF-8 text "
                     "without NUL bytes, else exit status 2."),
      QStringLiteral("[FILE]"));
}

bool is_set(const QCommandLineParser& parser, const char* name) {
  return parser.isSet(QString::fromLatin1(name));
}

void print(std::FILE* stream, const QString& text) {
  const auto bytes = text.toUtf8();
  write_all(stream, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void print_error(const Streams& streams, const std::string& message) {
  print(streams.err, QStringLiteral("kestrun: %1\n").arg(QString::fromStdString(message)));
}

// A store that is there but cannot be read, or that another user could
// change, is no "no script": the service manager must see why nothing runs.
int settings_error(const Streams& streams, const modGeneral::StoreProblem& problem) {
  print_error(streams, problem.message);
  return kExitUsage;
}

int usage_error(const Streams& streams, const QString& message) {
  print(streams.err,
        QStringLiteral("kestrun: %1\nTry 'kestrun --help' for more information.\n").arg(message));
  return kExitUsage;
}

// Why the options given make no sense together, or nothing when they do.
std::optional<QString> usage_problem(const QCommandLineParser& parser) {
  int modes = 0;
  for (const char* mode : kModes) modes += int(is_set(parser, mode));
  if (modes == 0) return QStringLiteral("nothing to do");
  if (modes > 1) {
    return QStringLiteral(
        "choose one of --validate, --explain, --list-drives, --headless, --store-script, "
        "--print-script and --set-interval");
  }
  for (const char* option : {"instant", "mount"}) {
    if (is_set(parser, option) && !is_set(parser, "headless")) {
      return QStringLiteral("--%1 goes with --headless").arg(QLatin1String(option));
    }
  }
  const auto files = parser.positionalArguments();
  const bool takes_file =
      is_set(parser, "validate") || is_set(parser, "explain") || is_set(parser, "store-script");
  if (!files.isEmpty() && !(takes_file && files.size() == 1)) {
    return QStringLiteral("unexpected argument '%1'").arg(files.last());
  }
  if (is_set(parser, "store-script") && files.isEmpty()) {
    return QStringLiteral("--store-script needs a FILE ('-' for standard input)");
  }
  return std::nullopt;
}

// The drive table of --list-drives, tab-separated with a header line; its
// snapshot column follows the ignore list of `script`, as a poll pass does, so
// it says truthfully whether an entry could have matched the drive.
std::string list_drives(modGeneral::DriveApi& drives, std::string_view script) {
  std::string table = "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\tidentity\n";
  for (const auto& drive : modGeneral::explain_drives(drives, script)) {
    const auto label = drive.label.value_or(std::string(modGeneral::kBlankLabel));
    const bool in_snapshot = drive.fate == modGeneral::DriveVerdict::Fate::matched;
    table += modGeneral::escape_for_terminal(drive.root) + '\t' +
             std::to_string(static_cast<unsigned>(drive.type)) + '\t' +
             std::string(modGeneral::drive_type_name(drive.type)) + '\t' +
             modGeneral::escape_for_terminal(label) + '\t' + (in_snapshot ? "yes" : "no") + '\t' +
             modGeneral::escape_for_terminal(drive.location.mount_point) + '\t' +
             modGeneral::escape_for_terminal(drive.location.device) + '\t' +
             modGeneral::escape_for_terminal(drive.location.identity) + '\n';
  }
  return table;
}

// Below the drives, in the same columns: no root, no type, no mount point.
std::string unmounted_rows(const std::vector<modGeneral::UnmountedVolume>& volumes) {
  std::string rows;
  for (const auto& volume : volumes) {
    rows += "-\t0\tnot mounted\t" + modGeneral::escape_for_terminal(volume.label) + "\tno\t\t" +
            modGeneral::escape_for_terminal(volume.device) + '\t' +
            modGeneral::escape_for_terminal(volume.identity) + '\n';
  }
  return rows;
}

std::vector<modGeneral::UnmountedVolume> unmounted(const Services& services) {
  return services.unmounted_volumes ? services.unmounted_volumes()
                                    : std::vector<modGeneral::UnmountedVolume>{};
}

int run_list_drives(Services& services, const Streams& streams) {
  write_all(streams.out,
            list_drives(services.drives, services.settings.read(modGeneral::kAdvanced)) +
                unmounted_rows(unmounted(services)));
  for (const auto& warning : services.drives.take_warnings()) print_error(streams, warning);
  return kExitOk;
}

// --validate and --explain: the script in the file named, or the stored one.
int run_script_check(const QStringList& files, bool validate, Services& services,
                     const Streams& streams) {
  std::string text;
  if (files.isEmpty()) {
    text = services.settings.read(modGeneral::kAdvanced);
    if (const auto problem = services.settings.problem()) return settings_error(streams, problem);
  } else {
    std::string error;
    if (!read_script(files.first(), streams, &text, &error)) {
      print_error(streams, error);
      return kExitUsage;
    }
  }
  if (validate) return validate_text(text, streams.out);
  auto explanation = modGeneral::explain(services.drives, services.launcher, text);
  modGeneral::note_unmounted(explanation, text, unmounted(services));
  write_all(streams.out, explanation_text(explanation));
  return explanation.stopped ? kExitCheckFailed : kExitOk;
}

int run_headless_mode(Services& services, bool mount, const Streams& streams) {
  const auto interval_text = services.settings.read(modGeneral::kInterval);
  if (const auto problem = services.settings.problem()) return settings_error(streams, problem);
  const auto interval = modGeneral::parse_interval(interval_text);
  if (!interval || *interval <= 0) {
    return usage_error(streams,
                       QStringLiteral("the stored poll interval '%1' is not a positive number "
                                      "of seconds; set it with 'kestrun --set-interval N' or in "
                                      "the window")
                           .arg(QString::fromStdString(interval_text)));
  }
  if (services.claim_instance) {
    if (const auto refusal = services.claim_instance()) {
      print(streams.err, *refusal + QLatin1Char('\n'));
      return kExitCheckFailed;
    }
  }
  return run_headless(services, interval_text, streams.out, streams.err, mount);
}

}  // namespace

int run_command_line(const QStringList& arguments, Services& services, const Streams& streams) {
  QCommandLineParser parser;
  define_options(parser);
  if (!parser.parse(arguments)) return usage_error(streams, parser.errorText());
  if (is_set(parser, "help")) {
    print(streams.out, parser.helpText());
    return kExitOk;
  }
  if (is_set(parser, "version")) {
    print(streams.out,
          QStringLiteral("Kestrun %1\n").arg(QString::fromStdString(modGeneral::version_text())));
    return kExitOk;
  }
  if (const auto problem = usage_problem(parser)) return usage_error(streams, *problem);

  const auto files = parser.positionalArguments();
  if (is_set(parser, "store-script")) return store_script(files.first(), services, streams);
  if (is_set(parser, "print-script")) return print_script(services, streams);
  if (is_set(parser, "set-interval")) {
    return set_interval(parser.value(QStringLiteral("set-interval")), services, streams);
  }
  if (is_set(parser, "validate") || is_set(parser, "explain")) {
    return run_script_check(files, is_set(parser, "validate"), services, streams);
  }
  if (is_set(parser, "list-drives")) return run_list_drives(services, streams);
  return run_headless_mode(services, is_set(parser, "mount"), streams);
}

}  // namespace kestrun::cli
