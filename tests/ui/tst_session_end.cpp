// Logging off or shutting down asks the application to quit, and Qt quits only
// once every window has closed. The main window turns the user's close
// requests into a trip to the tray, or without a tray host into the Exit
// question; a request to quit must get neither.
#include <QApplication>
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
    QVERIFY(!rig.window->tray->is_added());
  }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
