// SPDX-License-Identifier: MIT
// The window program: without arguments the main window; with them the
// command line, for the shortcuts and login entries that name it so.
#include <QApplication>

#include "app/command_line_program.h"
#include "app/user_settings.h"
#include "app/window_program.h"
#include "platform/native.h"

int main(int argc, char* argv[]) {
  // With arguments Kestrun serves terminals and headless machines, and needs no display.
  if (argc > 1) {
    kestrun::platform::make_native_interface()->attach_parent_console();
    return kestrun::app::run_command_line_program(argc, argv);
  }

  QApplication application(argc, argv);
  const auto settings = kestrun::app::user_settings();
  return kestrun::app::run_window_program(*settings);
}
