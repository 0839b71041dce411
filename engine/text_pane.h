// SPDX-License-Identifier: MIT
// A multi-line plain-text pane, as the action log and the editor panes use it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/text_bytes.h"

namespace modGeneral {

/// Text is UTF-8 with CR LF line ends. Positions and lengths count characters
/// as character_count() does (code points, a CR LF counting 2), not bytes.
class TextPane {
 public:
  virtual ~TextPane() = default;

  /// The whole text exactly as last set or typed.
  virtual std::string text() const = 0;
  /// Replaces the whole text at once.
  virtual void set_text(const std::string& text) = 0;
  /// Adds `addition` after the whole text: the text becomes what it was plus
  /// `addition`, exactly as set_text() would make it. A pane that can add at
  /// its end does so at the addition's cost; by default the whole text is set.
  virtual void append_text(std::string_view addition);
  /// The length of text() in characters.
  virtual std::size_t length() const;
  /// The number of characters in front of the caret.
  virtual std::size_t selection_start() const = 0;
  /// Moves the caret there, collapses the selection and scrolls it into view.
  virtual void set_selection_start(std::size_t position) = 0;
  /// Extends the selection from the caret over `length` characters.
  virtual void set_selection_length(std::size_t length) = 0;
};

}  // namespace modGeneral
