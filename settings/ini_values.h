// SPDX-License-Identifier: MIT
// The values of the settings file, apart from its lines, sections and keys.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace kestrun::ini {

/// The blanks that the file's lines may carry around keys and values.
inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

/// The items of the value text `raw` (after the "="): quotes group, backslash
/// escapes as in C (with \x and octal codes of any length), unquoted commas
/// separate the items of a list, and outer blanks of unquoted text are
/// dropped. `is_list` tells whether it held a comma.
QStringList read_value(QByteArrayView raw, bool* is_list);

/// Appends `text` to `out` as a value that read_value() gives back.
void escape_text(const QString& text, QByteArray& out);

/// What a stored item reads as: "@@" escapes a leading "@", and the other "@"
/// forms hold typed values (read as the text they convert to).
std::optional<QString> interpret(const QString& form);

}  // namespace kestrun::ini
