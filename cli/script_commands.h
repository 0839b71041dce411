// SPDX-License-Identifier: MIT
// The stored script and interval from a terminal, for machines without the
// window: what the editor's Save and the interval box do, with their checks.
#pragma once

#include <QString>
#include <cstdio>
#include <string>

#include "cli/command_line.h"

namespace kestrun::cli {

/// Reads the script file `name` (an argument as run_command_line() got it), or
/// standard input for "-", as every option that takes a script file reads it:
/// lone LF line ends become CR LF, and a file that is not UTF-8 text or holds
/// a NUL is refused, naming the line and byte, since the settings store keeps
/// text and would not keep those bytes as written. On failure says which file
/// and why.
bool read_script(const QString& name, const Streams& streams, std::string* text,
                 std::string* error);

/// Validates `text` (line ends as read) and writes the report with LF line ends.
int validate_text(const std::string& text, std::FILE* out);

/// Validates the script in `file` ('-' for standard input) exactly as
/// --validate does, report included, and stores it
/// as the editor's Save would when it passes. 0 stored; 1 a check failed and
/// nothing was stored; 2 the file or the store failed, the old script intact.
int store_script(const QString& file, Services& services, const Streams& streams);

/// Writes the stored script with LF line ends, so that printing it, editing
/// it and storing it again gives back the same bytes.
int print_script(Services& services, const Streams& streams);

/// Stores the poll interval `value` as typed, provided it is a positive
/// number of seconds; 2 when it is not, or when the store fails.
int set_interval(const QString& value, Services& services, const Streams& streams);

}  // namespace kestrun::cli
