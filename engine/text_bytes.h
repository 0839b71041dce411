// SPDX-License-Identifier: MIT
// Text that should be UTF-8 but may hold any bytes: what a drive, a mount or
// another user chose, on its way into the program or out to a terminal. The
// program's one reading of UTF-8: counting, decoding and escaping use it all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace modGeneral {

/// Length of the valid UTF-8 sequence at the start of `text` (not empty), or 0
/// for a byte that starts none: overlong forms and surrogates count as invalid.
std::size_t utf8_sequence_length(std::string_view text);

/// The code point of `sequence`, one whole sequence that utf8_sequence_length()
/// accepted.
char32_t utf8_code_point(std::string_view sequence);

/// A character, as the panes count them, starts at every byte that is not a
/// continuation byte (10xxxxxx); the continuation bytes after it belong to it,
/// whether they make a valid sequence or not. Valid UTF-8 thus counts code
/// points, each stray lead byte counts one and a stray continuation byte joins
/// the character before it. A CR LF counts two.
std::size_t character_count(std::string_view text);

/// The bytes of the character at the start of `text` (not empty), as
/// character_count() delimits it.
std::size_t character_bytes(std::string_view text);

/// The byte offset of character `position` (0-based) in `text`, or its size
/// when the text is shorter.
std::size_t character_offset(std::string_view text, std::size_t position);

/// Whether a terminal acts on `c` rather than shows it, or it changes how a
/// line reads: C0 and C1 controls, DEL, the line and paragraph separators and
/// the bidirectional marks, embeddings, overrides and isolates.
bool is_hidden_control(char32_t c);

/// `c` in upper case when it is an ASCII letter; every other byte, those of
/// UTF-8 sequences included, as it is. Drive roots and letters compare so.
constexpr char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string ascii_upper(std::string_view text);

/// Whether `a` and `b` differ at most in case: ASCII, Latin, Greek, Cyrillic
/// and Armenian letters compare by their simple case folding, everything else
/// (other scripts, bytes that are not UTF-8) byte for byte. For pointing out a
/// near miss only; labels match exactly.
bool equal_ignoring_case(std::string_view a, std::string_view b);

/// `text` made safe to print on a terminal, on one line: nothing in it can
/// move the cursor, change colours, reorder what follows or end the line.
/// C0 controls and DEL become \t, \n, \r or \xNN; bytes that are not UTF-8
/// become \xNN; the other hidden controls become \uNNNN. Backslashes stay, so
/// a root still reads E:\.
std::string escape_for_terminal(std::string_view text);

}  // namespace modGeneral
