// Text from a drive or a user, made safe to show on one line.
#pragma once

#include <string>
#include <string_view>

namespace kestrun {

/// `text` (UTF-8) with every character that could break a line, move the
/// cursor or reorder what is shown written out as an escape: \t, \n, \r and
/// \xNN for the other C0 controls and DEL, \uNNNN for C1 controls and the
/// bidirectional overrides and isolates, \xNN for bytes that are not UTF-8.
/// Everything else, backslashes included, stays as it is.
std::string escape_controls(std::string_view text);

}  // namespace kestrun
