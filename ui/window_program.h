// Kestrun started without arguments: the main window over the real machine.
#pragma once

namespace kestrun::ui {

/// Runs the window program until Exit or a termination request and gives the
/// exit status. Needs a QApplication.
int run_window_program();

}  // namespace kestrun::ui
