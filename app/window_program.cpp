// SPDX-License-Identifier: MIT
#include "app/window_program.h"

#include <QApplication>
#include <chrono>

#include "instance/single_instance.h"
#include "platform/native.h"
#include "platform/platform.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"

namespace kestrun::app {

using ui::Desktop;
using ui::frmMain;
using ui::QtDesktop;

namespace {

// Long enough for a running Kestrun that is busy with a poll pass.
constexpr std::chrono::seconds kAnswerTime{5};

// This start is not the user's only Kestrun: the running one shows its
// window, or the user hears why nothing opens.
int hand_over(instance::SingleInstance& running, Desktop& desktop) {
  const auto role = running.ask_to_show(kAnswerTime);
  if (role == instance::Role::window) return 0;
  QString text = instance::already_running(running.other_pid());
  if (role == instance::Role::headless) {
    text += QStringLiteral(
        " without a window (kestrun --headless).\n"
        "Stop it before you start Kestrun with its window.");
  } else {
    text += QStringLiteral(", but it does not answer.");
  }
  desktop.show_message(nullptr, text, QStringLiteral("Kestrun"), true);
  return 1;
}

}  // namespace

int run_window_program(modGeneral::SettingsStore& settings) {
  // No icon for the whole application: the editor is a tool window without
  // one, and the main window and the tray carry the program icon themselves.
  QApplication::setApplicationName(QStringLiteral("Kestrun"));
  // The window lives on in the tray; only the tray menu's Exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  // A session that ends sends SIGTERM, at any moment of start-up too. exit()
  // leaves whichever loop start-up waits in (the splash, a message box),
  // where quit() is ignored until the application's own loop runs.
  bool ending = false;
  const auto termination = platform::make_native_interface()->watch_termination_requests([&ending] {
    ending = true;
    QCoreApplication::exit(0);
  });

  QtDesktop desktop;
  instance::SingleInstance only(instance::Role::window);
  switch (only.claim()) {
    case instance::SingleInstance::Claim::taken:
      return hand_over(only, desktop);
    case instance::SingleInstance::Claim::unguarded:
      qWarning("Kestrun: running without the one-instance lock: %s", qPrintable(only.error()));
      break;
    case instance::SingleInstance::Claim::first:
      break;
  }

  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  frmMain window(*drives, *launcher, settings, desktop);
  QObject::connect(&only, &instance::SingleInstance::show_requested, &window,
                   &frmMain::show_main_window);
  window.Form_Load();
  if (ending) return 0;
  return QApplication::exec();
}

}  // namespace kestrun::app
