#include "ui/window_program.h"

#include <QApplication>

#include "platform/platform.h"
#include "platform/process_events.h"
#include "settings/qt_settings_store.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"

namespace kestrun::ui {

int run_window_program() {
  // No icon for the whole application: the editor is a tool window without
  // one, and the main window and the tray carry the program icon themselves.
  QApplication::setApplicationName(QStringLiteral("Kestrun"));
  // The window lives on in the tray; only the tray menu's Exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  // A session that ends sends SIGTERM, at any moment of start-up too. exit()
  // leaves whichever loop start-up waits in (the splash), where quit() is
  // ignored until the application's own loop runs.
  bool ending = false;
  const auto termination = platform::watch_termination_requests([&ending] {
    ending = true;
    QCoreApplication::exit(0);
  });

  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  QtSettingsStore settings;
  QtDesktop desktop;
  frmMain window(*drives, *launcher, settings, desktop);
  window.Form_Load();
  if (ending) return 0;
  return QApplication::exec();
}

}  // namespace kestrun::ui
