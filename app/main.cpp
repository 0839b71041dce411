// Kestrun: with arguments a command-line tool, without them the main window.
#include <QApplication>

#include "cli/command_line.h"
#include "ui/window_program.h"

int main(int argc, char* argv[]) {
  // With arguments Kestrun serves terminals and headless machines, and needs no display.
  if (argc > 1) return kestrun::cli::main(argc, argv);

  QApplication application(argc, argv);
  return kestrun::ui::run_window_program();
}
