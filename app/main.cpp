// Kestrun: the main window over the real machine.
#include <QApplication>

#include "cli/command_line.h"
#include "platform/platform.h"
#include "platform/process_events.h"
#include "settings/qt_settings_store.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"
#include "ui/layout.h"

int main(int argc, char* argv[]) {
  // With arguments Kestrun serves terminals and headless machines, and needs no display.
  if (argc > 1) return kestrun::cli::main(argc, argv);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrun"));
  QApplication::setWindowIcon(kestrun::ui::program_icon());
  // The window lives on in the tray; only the tray menu's Exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  const auto drives = kestrun::platform::make_drive_api();
  const auto launcher = kestrun::platform::make_launcher();
  kestrun::QtSettingsStore settings;
  kestrun::ui::QtDesktop desktop;

  kestrun::ui::frmMain window(*drives, *launcher, settings, desktop);
  // A session that ends sends SIGTERM; quit as Exit would, without asking.
  const auto termination =
      kestrun::platform::watch_termination_requests([] { QCoreApplication::quit(); });
  window.Form_Load();
  return QApplication::exec();
}
