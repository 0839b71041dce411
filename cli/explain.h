// SPDX-License-Identifier: MIT
// --explain: what a poll pass would do and why, as text for a terminal.
#pragma once

#include <string>
#include <string_view>

#include "engine/explain.h"

namespace kestrun::cli {

/// `word` as a POSIX shell reads it back: in single quotes, or in $'...' with
/// escapes when it holds control characters, line or paragraph separators,
/// bidirectional controls or bytes that are not UTF-8, so that none reaches
/// the terminal raw and no label can start a line of its own.
std::string shell_quote(std::string_view word);

/// The drives, then one paragraph per entry; LF line ends.
std::string explanation_text(const modGeneral::Explanation& explanation);

}  // namespace kestrun::cli
