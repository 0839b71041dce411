// SPDX-License-Identifier: MIT
// Logging off or shutting down asks the application to quit, and Qt quits only
// once every window has closed. The main window turns the user's close
// requests into a trip to the tray, or without a tray host into the Exit
// question; a request to quit must get neither.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/ui_test_support.h"
#include "ui/tray_icon.h"

using kestrun::testing::MainWindowRig;

class TestSessionEnd : public QObject {
  Q_OBJECT

 private slots:
  void aRequestToQuitEndsTheProgramWithoutAQuestion_data() {
    QTest::addColumn<bool>("tray");
    QTest::newRow("with a tray host") << true;
    QTest::newRow("without a tray host") << false;
  }
  void aRequestToQuitEndsTheProgramWithoutAQuestion() {
    QFETCH(bool, tray);
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindowRig rig;
    rig.desktop.tray = tray;
    rig.desktop.answer_yes = false;
    rig.load();
    QVERIFY(rig.window->isVisible());

    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    bool timed_out = false;
    QTimer::singleShot(5000, [&timed_out] {
      timed_out = true;
      QCoreApplication::exit(1);
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!timed_out);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(rig.desktop.questions.empty());
    QVERIFY(!rig.controls.tray->is_added());
  }

  // The program's termination request ends the splash's wait from outside.
  void aStartUpCutShortDuringTheSplashNeitherPollsNorShows() {
    MainWindowRig rig;
    rig.store(modGeneral::kAdvanced, "label:PEN\r\nexec:backup %1\r\n");
    rig.store(modGeneral::kAuto, "1");
    rig.machine.plug("E:\\", "PEN");
    kestrun::testing::when_modal_shown([](QWidget*) { QCoreApplication::exit(0); });
    rig.window->Form_Load();
    QVERIFY(!rig.window->isVisible());
    QCOMPARE(rig.controls.cmdAction->text(), "Start");
    QVERIFY(rig.launcher.launched.empty());

    // Every loop now returns at once until the application's own has run.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
  }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
