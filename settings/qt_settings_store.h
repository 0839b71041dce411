// SPDX-License-Identifier: MIT
// The per-user settings store behind the engine's SettingsStore seam: one INI
// file, $XDG_CONFIG_HOME/Kestrun/Kestrun.conf on Linux.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "engine/settings_store.h"

namespace kestrun {

/// Every read sees the file as it is now (another instance or a hand edit
/// included), yet the file is read again only when it changed; a write has
/// reached the disk when it returns true. A file or folder that another user
/// could change is refused, as is one that exists but cannot be read: reads
/// then give the defaults, writes leave it alone, and problem() says why.
/// One thread at a time.
class QtSettingsStore : public modGeneral::SettingsStore {
 public:
  using SettingsStore::read;
  using SettingsStore::write;

  /// The current user's store: <config folder>/<app>/<app>.conf.
  QtSettingsStore();

  /// Every application's values in the one INI file at `ini_path`.
  explicit QtSettingsStore(QString ini_path);

  ~QtSettingsStore() override;

  std::string read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view default_value) override;
  bool write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value, std::string* error) override;
  modGeneral::StoreProblem problem() override;

  /// The file that holds `app`'s values.
  QString location(std::string_view app) const;

 private:
  struct Version;
  static Version load(const QString& path);
  const Version& current(const QString& path);
  bool write_file(const QString& path, const QString& key, const QString& value,
                  std::string* error);

  QString fixed_path_;  // empty: the per-user default location
  std::unique_ptr<Version> version_;
};

}  // namespace kestrun
