// SPDX-License-Identifier: MIT
#include "ui/rich_text_pane.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <string_view>

#include "engine/text_bytes.h"

namespace kestrun::ui {
namespace {

// One character of the pane's text and what stands for it in the document.
struct Character {
  std::size_t bytes = 1;
  std::size_t pane_length = 1;  // 2 for a CR LF
  int document_length = 1;      // UTF-16 units; a line break is 1
  char32_t code_point = U'\uFFFD';
  bool stray_tail = false;  // continuation bytes after a whole sequence
};

// Characters as the engine counts them. Bytes that are not UTF-8 show as
// U+FFFD: a whole character of them as one, stray continuation bytes after a
// valid sequence as one after it.
Character decode(std::string_view text, std::size_t at) {
  const auto rest = text.substr(at);
  if (rest[0] == '\r' || rest[0] == '\n') {
    const bool pair = rest[0] == '\r' && rest.size() > 1 && rest[1] == '\n';
    return {pair ? 2u : 1u, pair ? 2u : 1u, 1, U'\n'};
  }
  const std::size_t bytes = modGeneral::character_bytes(rest);
  const std::size_t valid = modGeneral::utf8_sequence_length(rest);
  if (valid == 0) return {bytes, 1, 1, U'\uFFFD'};
  const char32_t code_point = modGeneral::utf8_code_point(rest.substr(0, valid));
  const bool tail = valid < bytes;
  return {bytes, 1, (code_point >= 0x10000 ? 2 : 1) + (tail ? 1 : 0), code_point, tail};
}

// Calls `visit(character, pane_position, document_position)` for each
// character until it returns false.
template <typename Visit>
void walk(std::string_view text, Visit&& visit) {
  std::size_t pane = 0;
  int document = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Character character = decode(text, at);
    if (!visit(character, pane, document)) return;
    at += character.bytes;
    pane += character.pane_length;
    document += character.document_length;
  }
}

QString document_text(std::string_view text) {
  QString shown;
  shown.reserve(static_cast<qsizetype>(text.size()));
  walk(text, [&](const Character& c, std::size_t, int) {
    const char32_t code_point = c.code_point;
    shown.append(QString::fromUcs4(&code_point, 1));
    if (c.stray_tail) shown.append(QChar(0xFFFD));
    return true;
  });
  return shown;
}

std::size_t pane_length(std::string_view text) {
  std::size_t length = 0;
  walk(text, [&](const Character& c, std::size_t, int) {
    length += c.pane_length;
    return true;
  });
  return length;
}

// A pane position between the CR and the LF of a line end falls on the
// document's line break; one inside nothing falls at the end.
int document_position(std::string_view text, std::size_t position) {
  int found = -1;
  int end = 0;
  walk(text, [&](const Character& c, std::size_t pane, int document) {
    end = document + c.document_length;
    if (position < pane + c.pane_length) {
      found = document;
      return false;
    }
    return true;
  });
  return found >= 0 ? found : end;
}

std::size_t pane_position(std::string_view text, int position) {
  std::size_t found = 0;
  bool inside = false;
  walk(text, [&](const Character& c, std::size_t pane, int document) {
    found = pane + c.pane_length;
    if (position < document + c.document_length) {
      found = pane;
      inside = true;
      return false;
    }
    return true;
  });
  return inside ? found : pane_length(text);
}

}  // namespace

RichTextPane::RichTextPane(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!setting_text_) adopt_typed_text();
  });
}

void RichTextPane::set_text(const std::string& text) {
  // An append should not throw the reader back to the top of a long log.
  const bool append =
      !text_.empty() && text.size() >= text_.size() && text.compare(0, text_.size(), text_) == 0;
  QScrollBar* bar = verticalScrollBar();
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  const bool end_in_view = viewport()->rect().intersects(cursorRect(end));
  const int scrolled = bar->value();

  text_ = text;
  length_ = pane_length(text_);
  setting_text_ = true;
  setPlainText(document_text(text_));
  setting_text_ = false;
  if (append) bar->setValue(end_in_view ? bar->maximum() : scrolled);
}

std::size_t RichTextPane::selection_start() const {
  return pane_position(text_, textCursor().selectionStart());
}

void RichTextPane::set_selection_start(std::size_t position) {
  caret_ = position;
  QTextCursor cursor = textCursor();
  cursor.setPosition(document_position(text_, position));
  setTextCursor(cursor);
  ensureCursorVisible();
}

void RichTextPane::set_selection_length(std::size_t length) {
  QTextCursor cursor = textCursor();
  const int anchor = cursor.selectionStart();
  // A caret set between a CR and its LF sits on the line break in the
  // document; the selection still starts from where it was set.
  const std::size_t start =
      document_position(text_, caret_) == anchor ? caret_ : pane_position(text_, anchor);
  cursor.setPosition(anchor);
  cursor.setPosition(document_position(text_, start + length), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

void RichTextPane::set_discard_keys(bool discard) {
  discard_keys_ = discard;
  setReadOnly(discard);
}

void RichTextPane::keyPressEvent(QKeyEvent* event) {
  if (discard_keys_) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void RichTextPane::inputMethodEvent(QInputMethodEvent* event) {
  if (discard_keys_) {
    event->accept();
    return;
  }
  QPlainTextEdit::inputMethodEvent(event);
}

// What the user typed becomes the pane's text with CR LF line ends.
void RichTextPane::adopt_typed_text() {
  QString typed = document()->toRawText();
  typed.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  typed.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  text_ = typed.toStdString();
  length_ = pane_length(text_);
}

}  // namespace kestrun::ui
