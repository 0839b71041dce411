// Launching through QProcess, which double-forks so no zombie is left behind.
#include "platform/launcher_linux.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace kestrun::platform {

namespace {

QString utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString working_folder() {
  const QString home = QDir::homePath();
  return QFileInfo(home).isDir() ? home : QDir::rootPath();
}

// Qt words an exec failure as "execv: <strerror text>"; the log wants the
// system's reason alone.
std::string system_words(const QString& qt_error) {
  static const QString kExecPrefix = QStringLiteral("execv: ");
  const QString words =
      qt_error.startsWith(kExecPrefix) ? qt_error.mid(kExecPrefix.size()) : qt_error;
  return words.toStdString();
}

}  // namespace

bool LinuxLauncher::launch(const modGeneral::LaunchRequest& request, std::string* error) {
  const QStringList words = QProcess::splitCommand(utf8(request.command));
  if (words.isEmpty()) {
    if (error) *error = std::strerror(ENOENT);
    return false;
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("KESTRUN_DRIVE"), utf8(request.root));
  environment.insert(QStringLiteral("KESTRUN_LETTER"), utf8(request.letter));
  environment.insert(QStringLiteral("KESTRUN_LABEL"), utf8(request.label));
  environment.insert(QStringLiteral("KESTRUN_MOUNT"), utf8(request.mount_point));
  environment.insert(QStringLiteral("KESTRUN_DEVICE"), utf8(request.device));

  QProcess process;
  process.setProgram(words.first());
  process.setArguments(words.mid(1));
  process.setWorkingDirectory(working_folder());
  process.setProcessEnvironment(environment);
  // A command must not read the terminal Kestrun may have been started from.
  process.setStandardInputFile(QProcess::nullDevice());
  if (process.startDetached()) return true;
  if (error) *error = system_words(process.errorString());
  return false;
}

}  // namespace kestrun::platform
