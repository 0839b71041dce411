#include "cli/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <string>

#include "cli/explain.h"
#include "cli/headless.h"
#include "cli/stdout_pane.h"
#include "engine/explain.h"
#include "engine/poll_clock.h"
#include "engine/version.h"
#include "platform/platform.h"
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
  unsigned drive_type(std::string_view) override { return modGeneral::kDriveUnknown; }
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
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fflush(stream);
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

// Reads a script file, or standard input for "-"; on failure says which file
// and why.
bool read_script(const QString& name, const Streams& streams, std::string* text,
                 std::string* error) {
  if (name == QStringLiteral("-")) {
    if (read_stream(streams.in, text)) return true;
    *error = std::string("cannot read standard input: ") + std::strerror(errno);
    return false;
  }
  const auto path = name.toLocal8Bit();
  std::FILE* file = std::fopen(path.constData(), "rb");
  if (file == nullptr) {
    *error = "cannot open '" + name.toStdString() + "': " + std::strerror(errno);
    return false;
  }
  const bool ok = read_stream(file, text);
  const int read_errno = errno;
  std::fclose(file);
  if (!ok) *error = "cannot read '" + name.toStdString() + "': " + std::strerror(read_errno);
  return ok;
}

// Labels and mount paths come from the drive: keep one drive per line and one
// field per tab whatever they hold. Backslashes stay as they are, so roots read
// "E:\" as everywhere else.
std::string escape_field(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char code[8];
          std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
          escaped += code;
        } else {
          escaped.push_back(c);
        }
    }
  }
  return escaped;
}

}  // namespace

int validate_text(const std::string& text, std::FILE* out) {
  NoDrives drives;
  NoLauncher launcher;
  NoSettings settings;
  DiscardPane log;
  NoRunItem run_item;
  modGeneral::Context context{drives, launcher, settings, log, run_item, {}};
  const auto report = modGeneral::run_detection(context, modGeneral::Mode::validate, text);
  const auto shown = to_lf(report);
  std::fwrite(shown.data(), 1, shown.size(), out);
  std::fflush(out);
  constexpr std::string_view kComplete = "Validation complete\r\n\r\n";
  const bool complete =
      report.size() >= kComplete.size() &&
      report.compare(report.size() - kComplete.size(), kComplete.size(), kComplete) == 0;
  return report.empty() || complete ? kExitOk : kExitCheckFailed;
}

int explain_text(const std::string& text, Services& services, std::FILE* out) {
  const auto explanation = modGeneral::explain(services.drives, services.launcher, text);
  const auto shown = explanation_text(explanation);
  std::fwrite(shown.data(), 1, shown.size(), out);
  std::fflush(out);
  return explanation.stopped ? kExitCheckFailed : kExitOk;
}

std::string list_drives(modGeneral::DriveApi& drives) {
  const auto roots = modGeneral::get_drive_strings(drives);
  const auto snapshot = modGeneral::get_labelled_drives(drives, roots);
  std::string table = "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\n";
  for (std::size_t at = 0; at < roots.size() && roots[at] != '\0'; at += 4) {
    const auto root = roots.substr(at, 3);
    const auto type = drives.drive_type(root);
    const auto label = modGeneral::get_volume_info(drives, root);
    const auto location = drives.locate(root);
    std::string upper = root;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool in_snapshot = snapshot.find(upper + " " + label + '\0') != std::string::npos;
    table += escape_field(root) + '\t' + std::to_string(type) + '\t' +
             std::string(modGeneral::drive_type_name(type)) + '\t' + escape_field(label) + '\t' +
             (in_snapshot ? "yes" : "no") + '\t' + escape_field(location.mount_point) + '\t' +
             escape_field(location.device) + '\n';
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
  const QCommandLineOption list(QStringLiteral("list-drives"),
                                QStringLiteral("List the drive roots with their types, labels "
                                               "and mount points."));
  const QCommandLineOption headless(
      QStringLiteral("headless"),
      QStringLiteral("Poll with the stored settings and no window, writing the action log to "
                     "standard output, until SIGINT, SIGTERM or SIGHUP."));
  const QCommandLineOption instant(
      QStringLiteral("instant"),
      QStringLiteral("With --headless: also poll as soon as a filesystem is mounted or "
                     "unmounted."));
  parser.addOptions({help, version, validate, explain, list, headless, instant});
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The script, with --validate or --explain."),
                               QStringLiteral("[FILE]"));

  if (!parser.parse(arguments)) return usage_error(streams, parser.errorText());
  const auto files = parser.positionalArguments();

  if (parser.isSet(help)) {
    print(streams.out, parser.helpText());
    return kExitOk;
  }
  if (parser.isSet(version)) {
    print(streams.out, QStringLiteral("Kestrun %1\n").arg(QString::fromStdString(version_text())));
    return kExitOk;
  }

  const int modes = int(parser.isSet(validate)) + int(parser.isSet(explain)) +
                    int(parser.isSet(list)) + int(parser.isSet(headless));
  if (modes != 1) {
    return usage_error(streams, modes == 0 ? QStringLiteral("nothing to do")
                                           : QStringLiteral("choose one of --validate, "
                                                            "--explain, --list-drives and "
                                                            "--headless"));
  }
  if (parser.isSet(instant) && !parser.isSet(headless)) {
    return usage_error(streams, QStringLiteral("--instant goes with --headless"));
  }
  const bool takes_file = parser.isSet(validate) || parser.isSet(explain);
  if (!files.isEmpty() && !(takes_file && files.size() == 1)) {
    return usage_error(streams, QStringLiteral("unexpected argument '%1'").arg(files.last()));
  }

  if (takes_file) {
    std::string text;
    if (files.isEmpty()) {
      text = services.settings.read(modGeneral::kAdvanced);
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
    const auto table = list_drives(services.drives);
    std::fwrite(table.data(), 1, table.size(), streams.out);
    std::fflush(streams.out);
    return kExitOk;
  }

  const auto interval_text = services.settings.read(modGeneral::kInterval);
  const auto interval = parse_interval(interval_text);
  if (!interval || *interval <= 0) {
    return usage_error(streams,
                       QStringLiteral("the stored poll interval '%1' is not a positive number "
                                      "of seconds; set it in the window or in the settings file")
                           .arg(QString::fromStdString(interval_text)));
  }
  return run_headless(services, interval_text, parser.isSet(instant), streams.out);
}

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Kestrun"));
  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  QtSettingsStore settings;
  Services services{*drives, *launcher, settings};
  return run_command_line(QCoreApplication::arguments(), services);
}

}  // namespace kestrun::cli
