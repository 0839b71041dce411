// SPDX-License-Identifier: MIT
// Kestrun's main window over a fake machine with one matching stick, on a
// real display: the real-tray test drives it with xdotool, and the docs'
// screenshots are taken of it. It reports what it shows on standard output.
// A display without a window manager cannot minimise a window, so the line
// "minimise" on standard input does it; "fail" ends the stick's command with
// exit code 3, as if it had failed, and the notification's balloon is reported.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "settings/qt_settings_store.h"
#include "tests/fakes/fake_machine.h"
#include "ui/desktop.h"
#include "ui/frmMain.h"
#include "ui/tray_icon.h"

namespace {

void say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

// The texts of a notification balloon on screen, joined by " | ", or "".
QString balloon_text() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible() || QByteArray(widget->metaObject()->className()) != "QBalloonTip") {
      continue;
    }
    QStringList texts;
    for (const QLabel* label : widget->findChildren<QLabel*>()) {
      if (!label->text().isEmpty()) texts << label->text();
    }
    return texts.join(QStringLiteral(" | "));
  }
  return {};
}

// Reports each change of the window's visibility, of the tray icon and of a
// notification balloon.
void report_changes(kestrun::ui::frmMain& window) {
  // The window keeps its tray to itself; the layout's name finds it.
  const auto* tray = window.findChild<kestrun::ui::TrayIcon*>(QStringLiteral("tray"));
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window,
                   [&window, tray, shown = -1, added = -1, balloon = QString()]() mutable {
                     if (const auto now = balloon_text(); now != balloon) {
                       balloon = now;
                       if (!balloon.isEmpty()) say("balloon: " + balloon);
                     }
                     if (window.isVisible() != shown) {
                       shown = window.isVisible();
                       say(shown ? "window: shown" : "window: hidden");
                     }
                     if (tray->is_added() != added) {
                       added = tray->is_added();
                       say(added ? "tray: added" : "tray: removed");
                     }
                   });
  poll->start(50);

  QObject::connect(tray->mPopupSys, &QMenu::aboutToShow, &window, [tray] {
    QStringList items;
    for (const QAction* action : tray->mPopupSys->actions()) {
      if (action->isVisible()) items << (action->isSeparator() ? QString("-") : action->text());
    }
    say("menu: " + items.join('|'));
  });
}

void obey_standard_input(kestrun::ui::frmMain& window, kestrun::testing::FakeLauncher& launcher) {
  auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
  QObject::connect(input, &QSocketNotifier::activated, &window, [&window, &launcher, input] {
    char buffer[256];
    const ssize_t size = read(STDIN_FILENO, buffer, sizeof buffer);
    if (size <= 0) {
      input->setEnabled(false);
      return;
    }
    if (QByteArray(buffer, size).contains("minimise")) {
      window.setWindowState(window.windowState() | Qt::WindowMinimized);
    }
    if (QByteArray(buffer, size).contains("fail") && !launcher.launched.empty()) {
      launcher.finish(0, {false, 3, "", 2.5});
    }
  });
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrun"));
  QApplication::setQuitOnLastWindowClosed(false);
  const bool screenshots = argc > 1 && QByteArray(argv[1]) == "screenshots";

  QTemporaryDir folder;
  kestrun::QtSettingsStore settings(folder.filePath("Kestrun.conf"));
  settings.write(modGeneral::kAdvanced,
                 kestrun::testing::crlf_lines(
                     {"ignore:d:\\", "label:PEN", "exec:backup-stick \"%1\"",
                      "menurun:open-stick \"%1\"", "label:Photos", "exec:import-photos %3"}),
                 nullptr);
  settings.write(modGeneral::kAuto, "1", nullptr);
  settings.write(modGeneral::kMinimise, screenshots ? "0" : "1", nullptr);
  kestrun::testing::FakeMachine machine;
  machine.plug("C:\\", "System", modGeneral::kDriveFixed);
  machine.plug("E:\\", "PEN");
  kestrun::testing::FakeLauncher launcher;
  kestrun::ui::QtDesktop desktop;
  say(QStringLiteral("tray host: ") +
      (desktop.tray_available() ? QStringLiteral("yes") : QStringLiteral("no")));

  kestrun::ui::frmMain window(machine, launcher, settings, desktop);
  report_changes(window);
  obey_standard_input(window, launcher);
  window.Form_Load();
  if (screenshots) {
    // A tick of the window's own clock, so the countdown shows.
    QMetaObject::invokeMethod(window.findChild<QTimer*>(QStringLiteral("timTimer")), "timeout");
    QTimer::singleShot(1500, &window, [&window] {
      say("editor: opening");
      window.findChild<QPushButton*>(QStringLiteral("cmdRegEx"))->click();
    });
  }
  const int status = QApplication::exec();
  say("exit: " + QString::number(status));
  return status;
}
