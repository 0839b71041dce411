// SPDX-License-Identifier: MIT
// Every poll pass reads the script, so the store keeps the last version of
// the file it read and reads the file again only when two stat() calls say
// it changed: an idle pass writes nothing and costs microseconds.
// A save replaces the whole file at once (QSaveFile), under a lock shared with
// other instances, so a reader sees the old file or the new one, never half
// of one and never none. QSettings is not used: it keeps every file it opened
// in a process-wide cache that trusts a file's size and millisecond time, and
// says only that a write failed, never why.
#include "settings/qt_settings_store.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include "platform/settings_file.h"
#include "settings/ini_document.h"

namespace kestrun {

/// One version of the settings file, as read.
struct QtSettingsStore::Version {
  QString path;
  platform::SettingsFileLook look;
  // Old enough that a rewrite in place would show in its stamp.
  bool settled = false;
  modGeneral::StoreProblem problem;
  IniDocument document;
};

namespace {

using modGeneral::StoreProblem;

// File times tick coarsely (two seconds on FAT), so a file rewritten in place
// at once, with the same size, could keep its stamp: a version this young is
// read again at the next read.
constexpr std::int64_t kSettleNs = 2'000'000'000;

QString qstring(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string native(const QString& path) { return path.toUtf8().toStdString(); }

QString settings_key(std::string_view section, std::string_view key) {
  return qstring(section) + QLatin1Char('/') + qstring(key);
}

}  // namespace

QtSettingsStore::Version QtSettingsStore::load(const QString& path) {
  QtSettingsStore::Version version;
  version.path = path;
  const auto contents = platform::read_settings_file(native(path));
  version.look = contents.look;
  // Windows words its reasons as sentences; the window ends the line itself.
  const auto naming = [&](const char* what, std::string why) {
    if (!why.empty() && why.back() == '.') why.pop_back();
    return std::string(what) + " the settings '" + native(path) + "': " + why;
  };
  if (const auto why = platform::why_others_could_change(native(path), contents.look);
      !why.empty()) {
    version.problem = {StoreProblem::Kind::insecure, naming("will not use", why)};
  } else if (!contents.error.empty()) {
    version.problem = {StoreProblem::Kind::unreadable, naming("cannot read", contents.error)};
  } else {
    version.document =
        IniDocument(QByteArrayView(contents.bytes.data(), qsizetype(contents.bytes.size())));
  }
  version.settled = !contents.look.file.exists ||
                    platform::file_clock_now_ns() - contents.look.file.modified_ns > kSettleNs;
  return version;
}

namespace {

// The system's words for why the file the user has cannot be replaced, or ""
// when it can: a file made read-only keeps its values even in a folder where
// it could be replaced.
QString why_not_writable(const QString& path, const platform::SettingsFileLook& look) {
  if (!look.file.exists) return {};
  QFile existing(path);
  if (existing.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) return {};
  return existing.errorString();
}

// QLockFile's own waiting doubles its pauses up to seconds, so an instance
// that saves again and again can keep another out past any timeout. Short
// pauses give each its turn; a lock left by a process that died is cleared
// by QLockFile itself.
bool take_turn(QLockFile& lock) {
  const QDeadlineTimer patience(5000);
  while (!lock.tryLock(0)) {
    if (lock.error() != QLockFile::LockFailedError || patience.hasExpired()) return false;
    QThread::msleep(5 + QRandomGenerator::global()->bounded(10));
  }
  return true;
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;

QtSettingsStore::QtSettingsStore(QString ini_path) : fixed_path_(std::move(ini_path)) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::location(std::string_view app) const {
  if (!fixed_path_.isEmpty()) return fixed_path_;
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QLatin1Char('/') + qstring(app) + QLatin1Char('/') + qstring(app) +
         QStringLiteral(".conf");
}

const QtSettingsStore::Version& QtSettingsStore::current(const QString& path) {
  if (!version_ || !version_->settled || version_->path != path ||
      platform::look_at_settings_file(native(path)) != version_->look) {
    version_ = std::make_unique<Version>(load(path));
  }
  return *version_;
}

std::string QtSettingsStore::read(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view default_value) {
  const Version& version = current(location(app));
  if (version.problem) return std::string(default_value);
  const auto value = version.document.value(settings_key(section, key));
  return value ? value->toStdString() : std::string(default_value);
}

modGeneral::StoreProblem QtSettingsStore::problem() {
  // Every caller asks right after a read, whose look was fresh.
  if (!version_) return current(location(modGeneral::kAppName)).problem;
  return version_->problem;
}

bool QtSettingsStore::write(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view value, std::string* error) {
  std::string reason;
  const bool written =
      write_file(location(app), settings_key(section, key), qstring(value), &reason);
  if (!written && error) *error = reason;
  return written;
}

bool QtSettingsStore::write_file(const QString& path, const QString& key, const QString& value,
                                 std::string* error) {
  const auto fail = [&](const QString& reason) {
    *error = reason.toStdString();
    return false;
  };
  // Saving over a file that could not be read would put defaults over the
  // user's values; saving into one that others can change would hand them
  // the next version.
  if (const auto& problem = current(path).problem)
    return fail(QString::fromStdString(problem.message));
  if (const auto why = platform::make_private_folders(native(QFileInfo(path).absolutePath()));
      !why.empty()) {
    return fail(QString::fromStdString(why));
  }
  // Another instance may write at the same moment: without the lock, one of
  // two saves of different values could be lost, so a save that cannot have
  // it fails. A folder where the lock cannot be made at all fails below with
  // a better reason, so go on without it then.
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!take_turn(lock) && lock.error() == QLockFile::LockFailedError) {
    return fail(QStringLiteral("another Kestrun is saving its settings; please try again"));
  }

  Version latest = load(path);
  if (latest.problem) return fail(QString::fromStdString(latest.problem.message));
  if (const QString reason = why_not_writable(path, latest.look); !reason.isEmpty()) {
    return fail(reason);
  }
  latest.document.set_value(key, value);
  const QByteArray bytes = latest.document.bytes();

  // Unbuffered, so a full disk fails the write itself with the system's
  // words; a buffered write fails only inside commit(), as "Unknown error".
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(out.errorString());
  // It holds commands, sometimes with passwords in them: the user's eyes only.
  out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  if (out.write(bytes) != bytes.size()) {
    const QString reason = out.errorString();
    out.cancelWriting();
    out.commit();  // discards the temporary file
    return fail(reason);
  }
  if (!out.commit()) return fail(out.errorString());

  version_ = std::make_unique<Version>(load(path));
  if (version_->problem || version_->document.value(key) != value) {
    return fail(QStringLiteral("%1 does not hold the value after writing it").arg(path));
  }
  return true;
}

}  // namespace kestrun
