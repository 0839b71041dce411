// SPDX-License-Identifier: MIT
// The values of the settings file: how a line's text reads as a value or a
// list, and how a value is written back.
#include "settings/ini_values.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringDecoder>
#include <QVariant>

namespace kestrun::ini {
namespace {

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hex_value(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// A value's text as its line holds it: quotes group, backslash escapes as in
// C (with \x and octal codes of any length), unquoted commas separate the
// items of a list, and outer blanks of unquoted text are dropped.
class ValueReader {
 public:
  explicit ValueReader(QByteArrayView raw) : raw_(raw) {}

  QStringList read(bool* is_list) {
    skip_blanks();
    bool chop_at_end = true;
    while (at_ < raw_.size() && chop_at_end) {
      const char c = raw_[at_];
      if (c == '\\') {
        chop_at_end = escape();
      } else if (c == '"') {
        ++at_;
        current_quoted_ = true;
        in_quotes_ = !in_quotes_;
        if (!in_quotes_) skip_blanks();
      } else if (c == ',' && !in_quotes_) {
        chop();
        items_.append(current_);
        current_.clear();
        current_quoted_ = false;
        ++at_;
        skip_blanks();
      } else {
        qsizetype run_end = at_ + 1;
        while (run_end < raw_.size() && raw_[run_end] != '\\' && raw_[run_end] != '"' &&
               raw_[run_end] != ',') {
          ++run_end;
        }
        current_ += decoder_(raw_.sliced(at_, run_end - at_));
        at_ = run_end;
      }
    }
    if (chop_at_end) chop();
    *is_list = !items_.isEmpty();
    items_.append(current_);
    return items_;
  }

 private:
  void skip_blanks() {
    while (at_ < raw_.size() && is_blank(raw_[at_])) ++at_;
    keep_ = current_.size();
  }

  void chop() {
    if (current_quoted_) return;
    while (current_.size() > keep_ && (current_.back() == u' ' || current_.back() == u'\t')) {
      current_.chop(1);
    }
  }

  // A code of `base` digits of any length; false when it ran to the end.
  bool code(int base) {
    char16_t value = 0;
    while (at_ < raw_.size() &&
           (base == 16 ? is_hex_digit(raw_[at_]) : raw_[at_] >= '0' && raw_[at_] <= '7')) {
      value = static_cast<char16_t>(value * base + hex_value(raw_[at_++]));
    }
    current_ += QChar(value);
    keep_ = current_.size();
    return at_ < raw_.size();
  }

  // After a backslash; false when the value ended inside the escape.
  bool escape() {
    if (++at_ >= raw_.size()) return false;
    const char c = raw_[at_++];
    static constexpr char kSimple[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                          {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                          {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    for (const auto& simple : kSimple) {
      if (c == simple[0]) {
        current_ += QLatin1Char(simple[1]);
        keep_ = current_.size();
        return true;
      }
    }
    if (c == 'x') {
      if (at_ >= raw_.size()) return false;
      if (is_hex_digit(raw_[at_])) return code(16);
    } else if (c >= '0' && c <= '7') {
      --at_;
      return code(8);
    } else if ((c == '\n' || c == '\r') && at_ < raw_.size()) {
      // A line continued: the escaped break and its partner are dropped.
      const char next = raw_[at_];
      if ((next == '\n' || next == '\r') && next != c) ++at_;
    }
    keep_ = current_.size();
    return true;
  }

  QByteArrayView raw_;
  QStringDecoder decoder_{QStringDecoder::Utf8};
  qsizetype at_ = 0;
  qsizetype keep_ = 0;  // blanks before this position are never chopped
  QString current_;
  QStringList items_;
  bool in_quotes_ = false;
  bool current_quoted_ = false;
};

QString as_text(const QVariant& value) {
  if (value.userType() == QMetaType::QStringList) return value.toStringList().join(u',');
  return value.toString();
}

// The arguments of a geometry form such as "@Rect(1 2 3 4)", counted the way
// they were always counted.
qsizetype argument_count(const QString& form, qsizetype open_at) {
  qsizetype count = 0;
  for (qsizetype i = open_at + 1; i < form.size(); ++i) {
    if (form[i] == u' ' || form[i] == u')') ++count;
  }
  return count;
}

// The C escape of `code`, or nullptr for a character written otherwise.
const char* c_escape(char16_t code) {
  switch (code) {
    case u'\a':
      return "\\a";
    case u'\b':
      return "\\b";
    case u'\f':
      return "\\f";
    case u'\n':
      return "\\n";
    case u'\r':
      return "\\r";
    case u'\t':
      return "\\t";
    case u'\v':
      return "\\v";
    case u'"':
      return "\\\"";
    case u'\\':
      return "\\\\";
    default:
      return nullptr;
  }
}

// Writes `c` of a text going out as UTF-8 or as Latin-1. Returns whether it
// was written as a \0 or \x code, which a hex digit after it would extend.
bool escape_character(QChar c, bool as_utf8, QStringEncoder& to_utf8, QByteArray& out) {
  const char16_t code = c.unicode();
  if (code == u'\0') {
    out += "\\0";
    return true;
  }
  if (const char* escape = c_escape(code)) {
    out += escape;
    return false;
  }
  if (code <= 0x1F || (code >= 0x7F && !as_utf8)) {
    out += "\\x" + QByteArray::number(code, 16);
    return true;
  }
  if (as_utf8) {
    out += to_utf8(QStringView(&c, 1));
  } else {
    out += static_cast<char>(code);
  }
  return false;
}

}  // namespace

QStringList read_value(QByteArrayView raw, bool* is_list) { return ValueReader(raw).read(is_list); }

void escape_text(const QString& text, QByteArray& out) {
  const qsizetype start = out.size();
  // Typed values keep their bytes as Latin-1; text goes out as UTF-8.
  const bool as_utf8 = !text.startsWith(u"@ByteArray(") && !text.startsWith(u"@Variant(") &&
                       !text.startsWith(u"@DateTime(");
  QStringEncoder to_utf8(QStringEncoder::Utf8);
  bool needs_quotes = false;
  bool code_just_ended = false;  // a hex digit after a \x code would join it
  for (const QChar c : text) {
    const char16_t code = c.unicode();
    if (code == u';' || code == u',' || code == u'=') needs_quotes = true;
    if (code_just_ended && code < 0x80 && is_hex_digit(static_cast<char>(code))) {
      out += "\\x" + QByteArray::number(code, 16);
      continue;
    }
    code_just_ended = escape_character(c, as_utf8, to_utf8, out);
  }
  if (needs_quotes || (out.size() > start && (out[start] == ' ' || out[out.size() - 1] == ' '))) {
    out.insert(start, '"');
    out += '"';
  }
}

// What a stored text reads as: "@@" escapes a leading "@", and the other
// "@" forms hold typed values (read as the text they convert to).
std::optional<QString> interpret(const QString& form) {
  if (!form.startsWith(u'@')) return form;
  if (form.endsWith(u')')) {
    if (form.startsWith(u"@ByteArray("))
      return QString::fromUtf8(form.sliced(11).chopped(1).toLatin1());
    if (form.startsWith(u"@String(")) return form.sliced(8).chopped(1);
    if (form.startsWith(u"@Variant(") || form.startsWith(u"@DateTime(")) {
      const bool date_time = form[1] == u'D';
      QByteArray bytes = form.sliced(date_time ? 10 : 9).toLatin1();
      QDataStream stream(&bytes, QIODevice::ReadOnly);
      stream.setVersion(date_time ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
      QVariant value;
      stream >> value;
      if (!value.isValid()) return std::nullopt;
      return as_text(value);
    }
    // Geometry converts to no text at all.
    if ((form.startsWith(u"@Rect(") && argument_count(form, 5) == 4) ||
        (form.startsWith(u"@Size(") && argument_count(form, 5) == 2) ||
        (form.startsWith(u"@Point(") && argument_count(form, 6) == 2)) {
      return QString();
    }
    if (form == u"@Invalid()") return std::nullopt;
  }
  if (form.startsWith(u"@@")) return form.sliced(1);
  return form;
}

}  // namespace kestrun::ini
