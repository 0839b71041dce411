// SPDX-License-Identifier: MIT
// Kestrun started with arguments: the command line over the real machine.
#pragma once

namespace kestrun::app {

/// The program started with arguments: the real machine and settings, no
/// display. Gives the exit status. Not named main: Qt for Windows renames
/// every main it sees to qMain, this one included.
int run_command_line_program(int argc, char* argv[]);

}  // namespace kestrun::app
