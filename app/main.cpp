// SPDX-License-Identifier: MIT
// Kestrun: with arguments a command-line tool, without them the main window.
#include <QApplication>

#include "app/window_program.h"
#include "cli/command_line.h"
#include "platform/native.h"

int main(int argc, char* argv[]) {
  // With arguments Kestrun serves terminals and headless machines, and needs no display.
  if (argc > 1) {
    kestrun::platform::make_native_interface()->attach_parent_console();
    return kestrun::cli::run_program(argc, argv);
  }

  QApplication application(argc, argv);
  const auto settings = kestrun::cli::user_settings();
  return kestrun::app::run_window_program(*settings);
}
