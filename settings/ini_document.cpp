// SPDX-License-Identifier: MIT
#include "settings/ini_document.h"

#include "settings/ini_values.h"

namespace kestrun {
namespace {

using ini::escape_text;
using ini::interpret;
using ini::is_blank;
using ini::read_value;

bool is_space(char c) { return is_blank(c) || c == '\n' || c == '\r'; }
char hex_digit_upper(unsigned value) { return "0123456789ABCDEF"[value & 15]; }

// ---- Lines --------------------------------------------------------------------

struct Line {
  qsizetype start = 0;
  qsizetype size = 0;
  qsizetype equals = -1;  // the first '=' outside quotes, as a position in the data
};

// The next logical line at or after `pos`: blank and ';' comment lines are
// passed over, a quoted value may run over line breaks, a backslash escapes
// the next character, and an unquoted ';' ends the line.
bool next_line(QByteArrayView data, qsizetype& pos, Line& line) {
  const qsizetype end = data.size();
  qsizetype start = pos;
  while (start < end && is_space(data[start])) ++start;
  bool quoted = false;
  qsizetype equals = -1;
  qsizetype i = start;
  while (i < end) {
    const char c = data[i];
    if (c == '\\') {
      i += 2;
      if (i < end &&
          ((data[i - 1] == '\n' && data[i] == '\r') || (data[i - 1] == '\r' && data[i] == '\n'))) {
        ++i;
      }
      i = std::min(i, end);
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '=') {
      if (!quoted && equals < 0) equals = i;
    } else if (c == '\n' || c == '\r') {
      if (!quoted) break;
    } else if (c == ';' && i == start) {
      while (i < end && data[i] != '\n' && data[i] != '\r') ++i;
      while (i < end && is_space(data[i])) ++i;
      start = i;
      continue;
    } else if (c == ';' && !quoted) {
      break;
    }
    ++i;
  }
  pos = i;
  line = {start, i - start, equals};
  return line.size > 0;
}

// ---- Keys ---------------------------------------------------------------------

// "%XX" and "%UXXXX" stand for any character, "\" for "/".
QString unescape_key(QByteArrayView bytes) {
  const QString text = QString::fromUtf8(bytes);
  QString key;
  key.reserve(text.size());
  for (qsizetype i = 0; i < text.size();) {
    const QChar c = text[i];
    if (c == u'\\') {
      key += u'/';
      ++i;
      continue;
    }
    if (c == u'%' && i + 1 < text.size()) {
      const bool wide = text[i + 1] == u'U';
      const qsizetype digits_at = i + (wide ? 2 : 1);
      const qsizetype digits = wide ? 4 : 2;
      bool ok = false;
      if (digits_at + digits <= text.size()) {
        const ushort code = QStringView(text).sliced(digits_at, digits).toUShort(&ok, 16);
        if (ok) {
          key += QChar(code);
          i = digits_at + digits;
          continue;
        }
      }
    }
    key += c;
    ++i;
  }
  return key;
}

QByteArray escape_key(const QString& key) {
  QByteArray bytes;
  for (const QChar c : key) {
    const char16_t code = c.unicode();
    if (code == u'/') {
      bytes += '\\';
    } else if ((code >= u'a' && code <= u'z') || (code >= u'A' && code <= u'Z') ||
               (code >= u'0' && code <= u'9') || code == u'_' || code == u'-' || code == u'.') {
      bytes += static_cast<char>(code);
    } else if (code <= 0xFF) {
      bytes += '%';
      bytes += hex_digit_upper(code >> 4);
      bytes += hex_digit_upper(code);
    } else {
      bytes += "%U";
      for (int shift = 12; shift >= 0; shift -= 4) bytes += hex_digit_upper(code >> shift);
    }
  }
  return bytes;
}

QString section_name(QByteArrayView header_text) {
  if (header_text.compare("general", Qt::CaseInsensitive) == 0) return {};
  if (header_text.compare("%general", Qt::CaseInsensitive) == 0) {
    return QString::fromLatin1(header_text.sliced(1)) + u'/';
  }
  return unescape_key(header_text) + u'/';
}

QByteArray section_header(const QString& section) {
  const QByteArray name = escape_key(section);
  if (name.isEmpty()) return "[General]";
  if (name.compare("general", Qt::CaseInsensitive) == 0) return "[%General]";
  return '[' + name + ']';
}

}  // namespace

IniDocument::IniDocument(QByteArrayView bytes) {
  qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  QString section;  // "" for [General], else the name and a slash
  Line line;
  while (next_line(bytes, pos, line)) {
    const QByteArrayView text = bytes.sliced(line.start, line.size);
    if (text.startsWith('[')) {
      qsizetype close = text.indexOf(']');
      if (close < 0) close = text.size();
      section = section_name(text.first(close).sliced(1).trimmed());
      continue;
    }
    if (line.equals < 0) continue;
    const qsizetype equals = line.equals - line.start;
    Stored& stored = values_[section + unescape_key(text.first(equals).trimmed())];
    stored.items = read_value(text.sliced(equals + 1), &stored.is_list);
  }
}

std::optional<QString> IniDocument::value(const QString& key) const {
  const auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  const Stored& stored = *found;
  if (!stored.is_list) return interpret(stored.items.front());
  // A list with a typed item converts to no text; "@@" items lose an "@".
  QStringList items;
  for (const QString& item : stored.items) {
    if (item.startsWith(u'@') && !item.startsWith(u"@@")) return QString();
    items.append(item.startsWith(u'@') ? item.sliced(1) : item);
  }
  return items.join(u',');
}

void IniDocument::set_value(const QString& key, const QString& text) {
  QString form = text;
  if (text.contains(QChar(0))) {
    form = QStringLiteral("@String(") + text + u')';
  } else if (text.startsWith(u'@')) {
    form.prepend(u'@');
  }
  values_[key] = {{form}, false};
}

QByteArray IniDocument::bytes() const {
  QMap<QString, QMap<QString, const Stored*>> sections;
  for (auto value = values_.begin(); value != values_.end(); ++value) {
    const qsizetype slash = value.key().indexOf(u'/');
    const QString section = slash < 0 ? QString() : value.key().first(slash);
    sections[section][value.key().sliced(slash + 1)] = &value.value();
  }
  QByteArray out;
  for (auto section = sections.begin(); section != sections.end(); ++section) {
    if (!out.isEmpty()) out += '\n';
    out += section_header(section.key()) + '\n';
    for (auto entry = section->begin(); entry != section->end(); ++entry) {
      out += escape_key(entry.key()) + '=';
      const QStringList& items = entry.value()->items;
      for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) out += ", ";
        escape_text(items[i], out);
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace kestrun
