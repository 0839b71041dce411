// QSettings keeps every INI file it has opened in a process-wide cache, and a
// value whose write failed stays in that cache as if it were stored; it also
// says only that a write failed, never why. So QSettings never opens the real
// file: it parses and edits a private copy, and the copy goes back to disk
// through QSaveFile, which reports the system's own words.
#include "settings/qt_settings_store.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <filesystem>
#include <system_error>

namespace kestrun {
namespace {

QString qstring(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString settings_key(std::string_view section, std::string_view key) {
  return qstring(section) + QLatin1Char('/') + qstring(key);
}

// A hand-edited value with a bare comma parses as a list; give it back whole.
QString as_text(const QVariant& value) {
  if (value.userType() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

QString native_location(std::string_view app) {
#ifdef Q_OS_WIN
  return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
         qstring(app);
#else
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return config + QLatin1Char('/') + qstring(app) + QLatin1Char('/') + qstring(app) +
         QStringLiteral(".conf");
#endif
}

QSettings::Format native_format() {
#ifdef Q_OS_WIN
  return QSettings::NativeFormat;
#else
  return QSettings::IniFormat;
#endif
}

struct FileBytes {
  QByteArray bytes;
  QString error;  // empty: read, or absent
};

// QFile::exists() can answer false while another process renames a new
// version over the file, so absence is judged by one stat() after an open
// fails, never before it.
bool is_absent(const QString& path) {
  std::error_code ignored;
  const auto status = std::filesystem::status(QFile::encodeName(path).toStdString(), ignored);
  return status.type() == std::filesystem::file_type::not_found;
}

FileBytes read_file(const QString& path) {
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) return {file.readAll(), {}};
  if (is_absent(path)) return {};
  return {{}, file.errorString()};
}

/// A private copy of the settings file for QSettings to parse and edit.
class ScratchCopy {
 public:
  bool load(const QByteArray& bytes, QString* error) {
    if (!folder_.isValid()) {
      *error = folder_.errorString();
      return false;
    }
    QFile file(path());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      *error = file.errorString();
      return false;
    }
    return true;
  }
  QString path() const { return folder_.filePath(QStringLiteral("settings.conf")); }
  QByteArray bytes() const { return read_file(path()).bytes; }

 private:
  QTemporaryDir folder_;
};

// The system's words for why `path` cannot be replaced, or "" when it can.
QString why_not_writable(const QString& path) {
  QFile existing(path);
  if (existing.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) || is_absent(path)) return {};
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

QtSettingsStore::QtSettingsStore() : format_(native_format()) {}

QtSettingsStore::QtSettingsStore(QString ini_path)
    : fixed_path_(std::move(ini_path)), format_(QSettings::IniFormat) {}

QString QtSettingsStore::location(std::string_view app) const {
  return fixed_path_.isEmpty() ? native_location(app) : fixed_path_;
}

std::string QtSettingsStore::read(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view default_value) {
  const QString path = location(app);
  const QString name = settings_key(section, key);
  const auto value =
      format_ == QSettings::IniFormat ? read_ini(path, name) : read_native(path, name);
  return value ? value->toStdString() : std::string(default_value);
}

bool QtSettingsStore::write(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view value, std::string* error) {
  const QString path = location(app);
  const QString name = settings_key(section, key);
  std::string reason;
  const bool written = format_ == QSettings::IniFormat
                           ? write_ini(path, name, qstring(value), &reason)
                           : write_native(path, name, qstring(value), &reason);
  if (!written && error) *error = reason;
  return written;
}

std::optional<QString> QtSettingsStore::read_ini(const QString& path, const QString& key) const {
  const FileBytes file = read_file(path);
  if (!file.error.isEmpty() || file.bytes.isEmpty()) return std::nullopt;
  ScratchCopy copy;
  QString error;
  if (!copy.load(file.bytes, &error)) return std::nullopt;
  const QSettings ini(copy.path(), QSettings::IniFormat);
  const QVariant value = ini.value(key);
  if (!value.isValid()) return std::nullopt;
  return as_text(value);
}

bool QtSettingsStore::write_ini(const QString& path, const QString& key, const QString& value,
                                std::string* error) {
  const auto fail = [&](const QString& reason) {
    *error = reason.toStdString();
    return false;
  };
  // Another instance may write at the same moment: without the lock, one of
  // two saves of different values could be lost, so a save that cannot have
  // it fails. A folder where the lock cannot be made at all fails below with
  // a better reason, so go on without it then.
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!take_turn(lock) && lock.error() == QLockFile::LockFailedError) {
    return fail(QStringLiteral("another Kestrun is saving its settings; please try again"));
  }

  const FileBytes file = read_file(path);
  if (!file.error.isEmpty()) return fail(file.error);
  if (const QString reason = why_not_writable(path); !reason.isEmpty()) return fail(reason);

  ScratchCopy copy;
  QString reason;
  if (!copy.load(file.bytes, &reason)) return fail(reason);
  {
    QSettings ini(copy.path(), QSettings::IniFormat);
    ini.setValue(key, value);
    ini.sync();
    if (ini.status() == QSettings::AccessError) return fail(QStringLiteral("cannot edit a copy"));
  }

  // QDir::mkpath keeps its reason to itself; the open below would then blame
  // the missing folder rather than say why it could not be made.
  std::error_code no_folder;
  std::filesystem::create_directories(
      QFile::encodeName(QFileInfo(path).absolutePath()).toStdString(), no_folder);
  if (no_folder) return fail(QString::fromStdString(no_folder.message()));
  // Unbuffered, so a full disk fails the write itself with the system's
  // words; a buffered write fails only inside commit(), as "Unknown error".
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(out.errorString());
  const QByteArray bytes = copy.bytes();
  if (out.write(bytes) != bytes.size()) {
    const QString reason = out.errorString();
    out.cancelWriting();
    out.commit();  // discards the temporary file
    return fail(reason);
  }
  if (!out.commit()) return fail(out.errorString());

  if (read_ini(path, key) != value) {
    return fail(QStringLiteral("%1 does not hold the value after writing it").arg(path));
  }
  return true;
}

std::optional<QString> QtSettingsStore::read_native(const QString& path, const QString& key) const {
  const QSettings store(path, format_);
  const QVariant value = store.value(key);
  if (!value.isValid()) return std::nullopt;
  return as_text(value);
}

bool QtSettingsStore::write_native(const QString& path, const QString& key, const QString& value,
                                   std::string* error) {
  {
    QSettings store(path, format_);
    store.setValue(key, value);
    store.sync();
    if (store.status() != QSettings::NoError) {
      *error = QStringLiteral("access to %1 was denied").arg(path).toStdString();
      return false;
    }
  }
  if (read_native(path, key) != value) {
    *error = QStringLiteral("%1 does not hold the value after writing it").arg(path).toStdString();
    return false;
  }
  return true;
}

}  // namespace kestrun
