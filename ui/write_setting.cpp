// SPDX-License-Identifier: MIT
#include "ui/write_setting.h"

#include <string>

namespace kestrun::ui {

std::optional<QString> write_setting(modGeneral::SettingsStore& settings,
                                     const modGeneral::SettingKey& key, std::string_view value) {
  std::string reason;
  if (settings.write(key, value, &reason)) return std::nullopt;
  return QStringLiteral("Unable to save the setting '%1': %2")
      .arg(QString::fromUtf8(key.name.data(), static_cast<qsizetype>(key.name.size())),
           QString::fromStdString(reason));
}

}  // namespace kestrun::ui
