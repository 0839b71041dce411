#include "cli/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/explain.h"
#include "cli/headless.h"
#include "cli/script_commands.h"
#include "cli/stdout_pane.h"
#include "engine/explain.h"
#include "engine/poll_clock.h"
#include "engine/text_bytes.h"
#include "engine/version.h"
#include "instance/single_instance.h"
#include "platform/platform.h"
#include "platform/process_start.h"
#include "settings/qt_settings_store.h"

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

class NoRunItem : public modGeneral::RunItem {
 public:
  void set_caption(const std::string&) override {}
  void set_tag(const modGeneral::LaunchRequest&) override {}
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

void print(std::FILE* stream, const QString& text) {
  const auto bytes = text.toUtf8();
  write_all(stream, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// A store that is there but cannot be read, or that another user could
// change, is no "no script": the service manager must see why nothing runs.
int settings_error(const Streams& streams, const modGeneral::StoreProblem& problem) {
  print(streams.err, QStringLiteral("kestrun: %1\n").arg(QString::fromStdString(problem.message)));
  return kExitUsage;
}

int usage_error(const Streams& streams, const QString& message) {
  print(streams.err,
        QStringLiteral("kestrun: %1\nTry 'kestrun --help' for more information.\n").arg(message));
  return kExitUsage;
}

bool read_stream(std::FILE* stream, std::string* text) {
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text->append(buffer, got);
  return std::ferror(stream) == 0;
}

}  // namespace

bool read_script(const QString& name, const Streams& streams, std::string* text,
                 std::string* error) {
  if (name == QStringLiteral("-")) {
    if (streams.input_closed) {
      *error = "cannot read standard input: it is closed";
      return false;
    }
    if (read_stream(streams.in, text)) return true;
    *error = std::string("cannot read standard input: ") + std::strerror(errno);
    return false;
  }
  const auto shown = modGeneral::escape_for_terminal(platform::argument_bytes(name));
  std::FILE* file = platform::open_argument_file(name);
  if (file == nullptr) {
    *error = "cannot open '" + shown + "': " + std::strerror(errno);
    return false;
  }
  const bool ok = read_stream(file, text);
  const int read_errno = errno;
  std::fclose(file);
  if (!ok) *error = "cannot read '" + shown + "': " + std::strerror(read_errno);
  return ok;
}

int validate_text(const std::string& text, std::FILE* out) {
  NoDrives drives;
  NoLauncher launcher;
  NoSettings settings;
  DiscardPane log;
  NoRunItem run_item;
  modGeneral::Context context{drives, launcher, settings, log, run_item, {}};
  const auto report = modGeneral::run_detection(context, modGeneral::Mode::validate, text);
  write_all(out, terminal_lines(report));
  constexpr std::string_view kComplete = "Validation complete\r\n\r\n";
  const bool complete =
      report.size() >= kComplete.size() &&
      report.compare(report.size() - kComplete.size(), kComplete.size(), kComplete) == 0;
  return report.empty() || complete ? kExitOk : kExitCheckFailed;
}

int explain_text(const std::string& text, Services& services, std::FILE* out) {
  const auto explanation = modGeneral::explain(services.drives, services.launcher, text);
  write_all(out, explanation_text(explanation));
  return explanation.stopped ? kExitCheckFailed : kExitOk;
}

namespace {

// Whole records of a snapshot, so that one label holding another drive's
// record cannot pass for it.
std::vector<std::string_view> snapshot_records(std::string_view snapshot) {
  std::vector<std::string_view> records;
  for (std::size_t at = 0; at < snapshot.size();) {
    auto end = snapshot.find('\0', at);
    if (end == std::string_view::npos) end = snapshot.size();
    records.push_back(snapshot.substr(at, end - at));
    at = end + 1;
  }
  return records;
}

}  // namespace

std::string list_drives(modGeneral::DriveApi& drives, std::string_view script) {
  const auto roots = modGeneral::get_drive_strings(drives);
  // Built as a poll pass builds it, after the script's ignore list, so the
  // column says truthfully whether an entry could have matched the drive.
  const auto ignore_list = modGeneral::get_ignore_list(script);
  const auto snapshot = modGeneral::get_labelled_drives(
      drives, ignore_list.empty() ? roots : modGeneral::remove_ignored_roots(roots, ignore_list));
  const auto records = snapshot_records(snapshot);
  std::string table = "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\tidentity\n";
  for (std::size_t at = 0; at < roots.size() && roots[at] != '\0'; at += 4) {
    const auto root = roots.substr(at, 3);
    const auto type = drives.drive_type(root);
    const auto label = modGeneral::get_volume_info(drives, root);
    const auto location = drives.locate(root);
    std::string upper = root;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto record = upper + " " + label;
    const bool in_snapshot = std::find(records.begin(), records.end(), record) != records.end();
    table += modGeneral::escape_for_terminal(root) + '\t' + std::to_string(type) + '\t' +
             std::string(modGeneral::drive_type_name(type)) + '\t' +
             modGeneral::escape_for_terminal(label) + '\t' + (in_snapshot ? "yes" : "no") + '\t' +
             modGeneral::escape_for_terminal(location.mount_point) + '\t' +
             modGeneral::escape_for_terminal(location.device) + '\t' +
             modGeneral::escape_for_terminal(location.identity) + '\n';
  }
  return table;
}

int run_command_line(const QStringList& arguments, Services& services, const Streams& streams) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Runs your commands when a drive with a given volume label appears.\n"
                     "Without options, Kestrun starts its window and tray icon."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption validate(
      QStringLiteral("validate"),
      QStringLiteral("Validate the script in FILE ('-' for standard input; the stored script "
                     "when FILE is omitted) and print the report. Exit status 0 when valid, 1 "
                     "when an entry failed a check."));
  const QCommandLineOption explain(
      QStringLiteral("explain"),
      QStringLiteral("Show what a poll pass would do with the script in FILE ('-' for standard "
                     "input; the stored script when FILE is omitted) and the drives present "
                     "now, entry by entry, and why. Nothing is started. Exit status 0, or 1 "
                     "when an entry failed a check."));
  const QCommandLineOption list(
      QStringLiteral("list-drives"),
      QStringLiteral(
          "Print a header line, then one tab-separated line per drive root, in the "
          "columns: root, type, name, label, snapshot, mount point, device, identity. The "
          "identity is what the drive's letter is remembered by."));
  const QCommandLineOption headless(
      QStringLiteral("headless"),
      QStringLiteral("Poll with the stored settings and no window, writing the action log to "
                     "standard output, until SIGINT, SIGTERM or SIGHUP."));
  const QCommandLineOption instant(
      QStringLiteral("instant"),
      QStringLiteral("With --headless: also poll as soon as a filesystem is mounted or "
                     "unmounted."));
  const QCommandLineOption store(
      QStringLiteral("store-script"),
      QStringLiteral("Validate the script in FILE ('-' for standard input) as --validate does "
                     "and, when it passes, store it as the editor's Save does; a running "
                     "Kestrun uses it from its next pass. Exit status 0 when stored, 1 when an "
                     "entry failed a check (nothing is stored), 2 when the file or the settings "
                     "cannot be read or written."));
  const QCommandLineOption print_stored(
      QStringLiteral("print-script"),
      QStringLiteral("Print the stored script with LF line ends, ready to edit and store "
                     "again with --store-script."));
  const QCommandLineOption set_interval_option(
      QStringLiteral("set-interval"),
      QStringLiteral("Store N as the poll interval, in seconds. N must be a positive number; "
                     "exit status 2 otherwise."),
      QStringLiteral("N"));
  parser.addOptions({help, version, validate, explain, list, headless, instant, store, print_stored,
                     set_interval_option});
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("The script, with --validate, --explain or --store-script."),
      QStringLiteral("[FILE]"));

  if (!parser.parse(arguments)) return usage_error(streams, parser.errorText());
  const auto files = parser.positionalArguments();

  if (parser.isSet(help)) {
    print(streams.out, parser.helpText());
    return kExitOk;
  }
  if (parser.isSet(version)) {
    print(streams.out,
          QStringLiteral("Kestrun %1\n").arg(QString::fromStdString(modGeneral::version_text())));
    return kExitOk;
  }

  int modes = 0;
  for (const auto* mode :
       {&validate, &explain, &list, &headless, &store, &print_stored, &set_interval_option}) {
    modes += int(parser.isSet(*mode));
  }
  if (modes != 1) {
    return usage_error(streams, modes == 0 ? QStringLiteral("nothing to do")
                                           : QStringLiteral("choose one of --validate, "
                                                            "--explain, --list-drives, --headless, "
                                                            "--store-script, --print-script "
                                                            "and --set-interval"));
  }
  if (parser.isSet(instant) && !parser.isSet(headless)) {
    return usage_error(streams, QStringLiteral("--instant goes with --headless"));
  }
  const bool takes_file = parser.isSet(validate) || parser.isSet(explain) || parser.isSet(store);
  if (!files.isEmpty() && !(takes_file && files.size() == 1)) {
    return usage_error(streams, QStringLiteral("unexpected argument '%1'").arg(files.last()));
  }

  if (parser.isSet(store)) {
    if (files.isEmpty()) {
      return usage_error(streams,
                         QStringLiteral("--store-script needs a FILE ('-' for standard input)"));
    }
    return store_script(files.first(), services, streams);
  }
  if (parser.isSet(print_stored)) return print_script(services, streams);
  if (parser.isSet(set_interval_option)) {
    return set_interval(parser.value(set_interval_option), services, streams);
  }

  if (parser.isSet(validate) || parser.isSet(explain)) {
    std::string text;
    if (files.isEmpty()) {
      text = services.settings.read(modGeneral::kAdvanced);
      if (const auto problem = services.settings.problem()) return settings_error(streams, problem);
    } else {
      std::string error;
      if (!read_script(files.first(), streams, &text, &error)) {
        print(streams.err, QStringLiteral("kestrun: %1\n").arg(QString::fromStdString(error)));
        return kExitUsage;
      }
      text = to_crlf(text);
    }
    if (parser.isSet(validate)) return validate_text(text, streams.out);
    return explain_text(text, services, streams.out);
  }

  if (parser.isSet(list)) {
    write_all(streams.out,
              list_drives(services.drives, services.settings.read(modGeneral::kAdvanced)));
    for (const auto& warning : services.drives.take_warnings()) {
      print(streams.err, QStringLiteral("kestrun: %1\n").arg(QString::fromStdString(warning)));
    }
    return kExitOk;
  }

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
  return run_headless(services, interval_text, parser.isSet(instant), streams.out, streams.err);
}

std::unique_ptr<modGeneral::SettingsStore> user_settings() {
  if (auto native = platform::make_native_settings_store()) return native;
  return std::make_unique<QtSettingsStore>();
}

int main(int argc, char* argv[]) {
  // Before anything opens a descriptor that could take a closed stream's place.
  Streams streams;
  streams.input_closed = platform::reopen_closed_standard_streams();
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Kestrun"));
  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  const auto settings = user_settings();
  // Made only for --headless: finding the runtime folder can warn, and the
  // one-shot options have nothing to say about it.
  std::unique_ptr<instance::SingleInstance> only;
  Services services{*drives, *launcher, *settings, [&only] {
                      only = std::make_unique<instance::SingleInstance>(instance::Role::headless);
                      return only->claim_or_refusal();
                    }};
  return run_command_line(platform::decode_arguments(argc, argv), services, streams);
}

}  // namespace kestrun::cli
