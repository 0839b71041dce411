// SPDX-License-Identifier: MIT
// The multi-line plain-text pane of every window, holding CR LF text.
#pragma once

#include <QPlainTextEdit>
#include <string>
#include <string_view>

#include "engine/text_pane.h"

namespace kestrun::ui {

/// A place between two characters of a pane's text: how many bytes, pane
/// characters and document units (UTF-16, a line break counting 1) lie
/// before it.
struct TextBoundary {
  std::size_t byte = 0;
  std::size_t pane = 0;
  int document = 0;
};

/// A QPlainTextEdit that keeps the engine's view of its text: the exact CR LF
/// text last set or typed, with positions counted in characters of that text
/// (a CR LF counts 2), although the document inside holds one line break per
/// line.
class RichTextPane : public QPlainTextEdit, public modGeneral::TextPane {
  Q_OBJECT

 public:
  explicit RichTextPane(QWidget* parent = nullptr);

  std::string text() const override { return text_; }
  void set_text(const std::string& text) override;
  void append_text(std::string_view addition) override;
  std::size_t length() const override { return end_.pane; }
  std::size_t selection_start() const override;
  void set_selection_start(std::size_t position) override;
  void set_selection_length(std::size_t length) override;

  /// Throws every key away, so the pane cannot be edited from the keyboard;
  /// nor with the mouse, which makes it read-only as well.
  void set_discard_keys(bool discard);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void replace_document(const std::string& text);
  void adopt(std::string text);
  void adopt_typed_text();

  std::string text_;
  TextBoundary end_;
  TextBoundary last_addition_;  // where the last append began, or the start
  std::size_t caret_ = 0;       // as last set, which may fall inside a CR LF
  bool setting_text_ = false;
  bool discard_keys_ = false;
};

}  // namespace kestrun::ui
