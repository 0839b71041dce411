#include "ui/window_program.h"

#include <QApplication>

#include "platform/platform.h"
#include "platform/process_events.h"
#include "settings/qt_settings_store.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"
#include "ui/layout.h"

namespace kestrun::ui {

int run_window_program() {
  QApplication::setApplicationName(QStringLiteral("Kestrun"));
  QApplication::setWindowIcon(program_icon());
  // The window lives on in the tray; only the tray menu's Exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  QtSettingsStore settings;
  QtDesktop desktop;

  frmMain window(*drives, *launcher, settings, desktop);
  // A session that ends sends SIGTERM; quit as Exit would, without asking.
  const auto termination = platform::watch_termination_requests([] { QCoreApplication::quit(); });
  window.Form_Load();
  return QApplication::exec();
}

}  // namespace kestrun::ui
