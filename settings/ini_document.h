// SPDX-License-Identifier: MIT
// Kestrun.conf's text. Earlier versions let QSettings write it, so it is read
// and written in QSettings' INI layout, to the byte: their files read the
// same here, and an older Kestrun reads ours.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace kestrun {

class IniDocument {
 public:
  /// Whatever `bytes` hold: what cannot be parsed is passed over, as
  /// QSettings does.
  explicit IniDocument(QByteArrayView bytes = {});

  /// The value at "section/key" as text, nullopt when it is absent. A bare
  /// comma list reads as its items joined by commas.
  std::optional<QString> value(const QString& key) const;

  /// Sets "section/key" to `text`; every other value keeps what it reads as.
  void set_value(const QString& key, const QString& text);

  /// The whole file: sections and keys in order, one "key=value" a line.
  QByteArray bytes() const;

 private:
  // A value as its line stores it, before the '@' forms are interpreted:
  // one text, or the items of a comma list.
  struct Stored {
    QStringList items;
    bool is_list = false;
  };
  QMap<QString, Stored> values_;  // by "section/key"; keys of [General] have no section
};

}  // namespace kestrun
