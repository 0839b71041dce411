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
// character from `from` on, until it returns false.
template <typename Visit>
void walk(std::string_view text, const TextBoundary& from, Visit&& visit) {
  std::size_t pane = from.pane;
  int document = from.document;
  for (std::size_t at = from.byte; at < text.size();) {
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
  walk(text, {}, [&](const Character& c, std::size_t, int) {
    const char32_t code_point = c.code_point;
    shown.append(QString::fromUcs4(&code_point, 1));
    if (c.stray_tail) shown.append(QChar(0xFFFD));
    return true;
  });
  return shown;
}

TextBoundary end_of(std::string_view text) {
  TextBoundary end{text.size(), 0, 0};
  walk(text, {}, [&](const Character& c, std::size_t, int) {
    end.pane += c.pane_length;
    end.document += c.document_length;
    return true;
  });
  return end;
}

// A pane position between the CR and the LF of a line end falls on the
// document's line break; one inside nothing falls at the end. The walk starts
// at `near`, a boundary known to lie before the position, or at the start.
int document_position(std::string_view text, std::size_t position, TextBoundary near) {
  if (position < near.pane) near = {};
  int found = -1;
  int end = near.document;
  walk(text, near, [&](const Character& c, std::size_t pane, int document) {
    end = document + c.document_length;
    if (position < pane + c.pane_length) {
      found = document;
      return false;
    }
    return true;
  });
  return found >= 0 ? found : end;
}

std::size_t pane_position(std::string_view text, int position, TextBoundary near) {
  if (position < near.document) near = {};
  std::size_t found = near.pane;
  walk(text, near, [&](const Character& c, std::size_t pane, int document) {
    if (position < document + c.document_length) {
      found = pane;
      return false;
    }
    found = pane + c.pane_length;
    return true;
  });
  return found;
}

// Whether `addition` changes how the last character of `text` reads: an LF
// after a CR makes one line end of two, and continuation bytes join the
// character before them.
bool joins_last_character(std::string_view text, std::string_view addition) {
  if (addition.empty()) return false;
  const bool continuation = (static_cast<unsigned char>(addition.front()) & 0xC0) == 0x80;
  return continuation || (text.back() == '\r' && addition.front() == '\n');
}

}  // namespace

RichTextPane::RichTextPane(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!setting_text_) adopt_typed_text();
  });
}

void RichTextPane::set_text(const std::string& text) {
  // A text that continues the old one keeps the reader's place, as an append does.
  const bool continues =
      !text_.empty() && text.size() >= text_.size() && text.compare(0, text_.size(), text_) == 0;
  if (continues) {
    append_text(std::string_view(text).substr(text_.size()));
  } else {
    replace_document(text);
  }
}

void RichTextPane::append_text(std::string_view addition) {
  if (text_.empty()) {
    replace_document(std::string(addition));
    return;
  }
  // An addition should not throw the reader back to the top of a long log.
  QScrollBar* bar = verticalScrollBar();
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  const bool end_in_view = viewport()->rect().intersects(cursorRect(end));
  const int scrolled = bar->value();

  if (joins_last_character(text_, addition)) {
    replace_document(text_ + std::string(addition));
  } else {
    // The log's end is brought into view after each line: walks to it start
    // here rather than at the top of the log.
    last_addition_ = end_;
    const TextBoundary added = end_of(addition);
    end_ = {end_.byte + added.byte, end_.pane + added.pane, end_.document + added.document};
    text_.append(addition);
    setting_text_ = true;
    // What the program writes is not the user's to undo, as with a whole text.
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    end.insertText(document_text(addition));
    document()->setUndoRedoEnabled(undo);
    // Setting a whole text leaves the caret at the top with nothing selected:
    // so does an addition, rather than stretch a selection over it.
    setTextCursor(QTextCursor(document()));
    setting_text_ = false;
  }
  bar->setValue(end_in_view ? bar->maximum() : scrolled);
}

void RichTextPane::replace_document(const std::string& text) {
  adopt(text);
  setting_text_ = true;
  setPlainText(document_text(text_));
  setting_text_ = false;
}

void RichTextPane::adopt(std::string text) {
  text_ = std::move(text);
  end_ = end_of(text_);
  last_addition_ = {};
}

std::size_t RichTextPane::selection_start() const {
  return pane_position(text_, textCursor().selectionStart(), last_addition_);
}

void RichTextPane::set_selection_start(std::size_t position) {
  caret_ = position;
  QTextCursor cursor = textCursor();
  cursor.setPosition(document_position(text_, position, last_addition_));
  setTextCursor(cursor);
  ensureCursorVisible();
}

void RichTextPane::set_selection_length(std::size_t length) {
  QTextCursor cursor = textCursor();
  const int anchor = cursor.selectionStart();
  // A caret set between a CR and its LF sits on the line break in the
  // document; the selection still starts from where it was set.
  const std::size_t start = document_position(text_, caret_, last_addition_) == anchor
                                ? caret_
                                : pane_position(text_, anchor, last_addition_);
  cursor.setPosition(anchor);
  cursor.setPosition(document_position(text_, start + length, last_addition_),
                     QTextCursor::KeepAnchor);
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
  adopt(typed.toStdString());
}

}  // namespace kestrun::ui
