// Text that should be UTF-8 but may hold any bytes: what a drive, a mount or
// another user chose, on its way into the program or out to a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrun {

/// Length of the valid UTF-8 sequence at the start of `text` (not empty), or 0
/// for a byte that starts none: overlong forms and surrogates count as invalid.
std::size_t utf8_sequence_length(std::string_view text);

/// `text` made safe to print on a terminal, on one line: nothing in it can
/// move the cursor, change colours, reorder what follows or end the line.
/// C0 controls and DEL become \t, \n, \r or \xNN; bytes that are not UTF-8
/// become \xNN; C1 controls (U+0080 to U+009F) and the bidirectional
/// embeddings, overrides and isolates (U+202A to U+202E, U+2066 to U+2069)
/// become \uNNNN. Backslashes stay, so a root still reads E:\.
std::string escape_for_terminal(std::string_view text);

}  // namespace kestrun
