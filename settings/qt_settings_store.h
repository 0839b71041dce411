// The per-user settings store behind the engine's SettingsStore seam.
#pragma once

#include <QSettings>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "engine/settings_store.h"

namespace kestrun {

/// Keeps the settings with QSettings and caches nothing: every read sees the
/// store as it is now (another instance or a hand edit included), and a write
/// has reached the disk, or the registry, when it returns true.
class QtSettingsStore : public modGeneral::SettingsStore {
 public:
  using SettingsStore::read;
  using SettingsStore::write;

  /// The current user's store. Linux: the INI file
  /// $XDG_CONFIG_HOME/<app>/<app>.conf, one [<section>] group. Windows:
  /// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>,
  /// REG_SZ values.
  QtSettingsStore();

  /// Every application's values in the one INI file at `ini_path`.
  explicit QtSettingsStore(QString ini_path);

  std::string read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view default_value) override;
  bool write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value, std::string* error) override;

  /// Where `app`'s values live: a file path, or a registry path on Windows.
  QString location(std::string_view app) const;

 private:
  std::optional<QString> read_ini(const QString& path, const QString& key) const;
  bool write_ini(const QString& path, const QString& key, const QString& value, std::string* error);
  std::optional<QString> read_native(const QString& path, const QString& key) const;
  bool write_native(const QString& path, const QString& key, const QString& value,
                    std::string* error);

  QString fixed_path_;  // empty: the per-user default location
  QSettings::Format format_;
};

}  // namespace kestrun
