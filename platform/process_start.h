// SPDX-License-Identifier: MIT
// What the process was started with: its standard streams and its arguments.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>

namespace kestrun::platform {

/// Opens the null device in place of each standard stream (input, output,
/// error) that was closed when the process started, so that no file or
/// descriptor opened later takes its place: output meant for the terminal
/// would land in it, and reading standard input would read from it. Call it
/// first in main. Returns whether standard input was closed.
bool reopen_closed_standard_streams();

/// The program's arguments, argv[0] first, as text for the option parser.
/// A file name in them comes back from argument_bytes() as the system spells
/// it, even when it is not valid text.
QStringList decode_arguments(int argc, char* argv[]);

/// The argument as the bytes Kestrun shows and stores: the system's own
/// spelling of a file name on Linux, UTF-8 on Windows.
std::string argument_bytes(const QString& argument);

/// Opens the file that the argument names, to read its bytes. Null with errno
/// set when it cannot.
std::FILE* open_argument_file(const QString& argument);

}  // namespace kestrun::platform
