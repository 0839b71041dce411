// SPDX-License-Identifier: MIT
// The main window over a fake machine: start-up, Start/Stop, the poll clock,
// the settings it writes and the editor it opens.
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "tests/ui/ui_test_support.h"
#include "ui/frmAdvanced.h"
#include "ui/frmSplash.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"

using kestrun::testing::crlf_lines;
using kestrun::testing::fire;
using kestrun::testing::MainWindowRig;
using kestrun::testing::SplashRig;
using kestrun::testing::when_modal_shown;
using modGeneral::kAdvanced;
using modGeneral::kAuto;
using modGeneral::kInterval;
using modGeneral::kMinimise;

namespace {

QByteArray file_bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::string kPenScript = crlf_lines({"label:PEN", "exec:backup %1"});

std::string pen_detected() {
  return crlf_lines({"Detected USB device labeled 'PEN' on E:\\",
                     "  executing script...backup E:\\",
                     "  now ignoring the device until it's reinserted (or app is restarted)"});
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void aFirstRunStartsStoppedWithTheDefaultsAfterTheSplash() {
    MainWindowRig rig;
    bool checked_during_splash = false;
    rig.load([&] {
      auto* splash = rig.window->findChild<kestrun::ui::frmSplash*>();
      QVERIFY(splash && splash->isVisible() && splash->isModal());
      const auto& s = SplashRig(*splash).controls;
      QCOMPARE(s.lblVersion->text(), "Version 1.5");
      QVERIFY(s.timTimer1->isActive());
      QCOMPARE(s.timTimer1->interval(), 2500);
      QVERIFY(!rig.window->isVisible());
      QCOMPARE(rig.window->windowTitle(), "Kestrun");
      QCOMPARE(rig.controls.txtInterval->text(), "60");
      checked_during_splash = true;
    });
    QVERIFY(checked_during_splash);
    QVERIFY(rig.window->findChild<kestrun::ui::frmSplash*>() == nullptr);

    auto& w = *rig.window;
    auto& c = rig.controls;
    QCOMPARE(w.windowTitle(), "Kestrun v1.5");
    QCOMPARE(c.txtInterval->text(), "10");
    QCOMPARE(c.txtAdvanced->text(), "");
    QVERIFY(!c.chkAuto->isChecked() && !c.chkMin->isChecked());
    QVERIFY(w.isVisible());
    QCOMPARE(c.cmdAction->text(), "Start");
    QVERIFY(!c.timTimer->isActive());
    QCOMPARE(c.lblTimer->text(), "");
    QCOMPARE(rig.log(), "");
    QCOMPARE(rig.machine.listings, 0);
    QVERIFY(!c.tray->is_added());
    QVERIFY2(!QFile::exists(rig.settings_path), "loading must write nothing");
  }

  void autoStartPollsOnceTheSplashHasGone() {
    MainWindowRig rig;
    rig.store(kAuto, "1");
    rig.store(kAdvanced, kPenScript);
    rig.store(kInterval, "5");
    rig.machine.plug("E:\\", "PEN");
    rig.load([&] { QCOMPARE(rig.machine.listings, 0); });

    auto& w = *rig.window;
    auto& c = rig.controls;
    QCOMPARE(rig.log(), "Started...\r\n" + pen_detected());
    QCOMPARE(rig.launcher.launched.size(), 1u);
    QCOMPARE(c.cmdAction->text(), "Stop");
    QVERIFY(c.timTimer->isActive());
    QCOMPARE(c.txtInterval->text(), "5");
    QCOMPARE(c.txtAdvanced->text(), kPenScript);
    QVERIFY(c.chkAuto->isChecked());
    QVERIFY(w.isVisible());
  }

  void minimiseAtStartSendsTheWindowToTheTrayWithoutPolling() {
    MainWindowRig rig;
    rig.store(kMinimise, "1");
    rig.load([&] { QVERIFY(!rig.controls.tray->is_added()); });
    QTRY_VERIFY(!rig.window->isVisible());
    QVERIFY(rig.controls.tray->is_added());
    QCOMPARE(rig.controls.cmdAction->text(), "Start");
  }

  void storedBoxStatesOtherThanOneLeaveTheBoxesUnchecked() {
    MainWindowRig rig;
    rig.store(kAuto, "2");
    rig.store(kMinimise, "yes");
    rig.load();
    QVERIFY(!rig.controls.chkAuto->isChecked() && !rig.controls.chkMin->isChecked());
    QVERIFY(rig.window->isVisible());
  }

  void startClearsTheLogAndActsOnEveryDriveAgain() {
    MainWindowRig rig;
    rig.store(kAdvanced, kPenScript);
    rig.machine.plug("E:\\", "PEN");
    rig.load();
    auto& c = rig.controls;

    c.cmdAction->click();
    QCOMPARE(rig.log(), "Started...\r\n" + pen_detected());
    c.lblTimer->setText("7");
    c.cmdAction->click();
    QCOMPARE(c.cmdAction->text(), "Start");
    QVERIFY(!c.timTimer->isActive());
    QCOMPARE(rig.log(), "Started...\r\n" + pen_detected() + "Stopped.\r\n");
    QCOMPARE(c.lblTimer->text(), "7");

    QTest::mouseClick(c.cmdAction, Qt::LeftButton);
    QCOMPARE(rig.log(), "Started...\r\n" + pen_detected());
    QCOMPARE(rig.launcher.launched.size(), 2u);
  }

  // Some desktops put a mnemonic into every button's caption ("&Start"):
  // what the button reads must not turn Start into Stop.
  void startAndStopFollowThePollingStateWhateverTheCaptionReads() {
    MainWindowRig rig;
    rig.load();
    auto& c = rig.controls;
    c.cmdAction->setText("&Start");
    c.cmdAction->click();
    QVERIFY(c.timTimer->isActive());
    QCOMPARE(rig.log(), "Started...\r\n");
    c.cmdAction->setText("&Stop");
    c.cmdAction->click();
    QVERIFY(!c.timTimer->isActive());
    QCOMPARE(c.cmdAction->text(), "Start");
  }

  void theClockCountsDownAndPollsAtTheInterval() {
    MainWindowRig rig;
    rig.store(kAdvanced, kPenScript);  // an empty script ends a pass before any listing
    rig.load();
    auto& c = rig.controls;
    c.txtInterval->setText("3");
    c.cmdAction->click();
    QVERIFY(rig.machine.listings > 0);

    QStringList countdown;
    QList<int> polled;
    for (int tick = 1; tick <= 4; ++tick) {
      const int seen = rig.machine.listings;
      fire(c.timTimer);
      countdown << c.lblTimer->text();
      if (rig.machine.listings > seen) polled << tick;
    }
    QCOMPARE(countdown, QStringList({"2", "1", "0", "2"}));
    QCOMPARE(polled, QList<int>{3});
  }

  // A pass is due once the ticks reach the interval, whatever the interval.
  void theClockPollsForEveryNumericInterval_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("ticks_before");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QStringList>("countdown");
    QTest::addColumn<QList<int>>("passes");  // ticks, counted from the change, that poll

    QTest::newRow("lowered below the ticks counted")
        << "10" << 5 << "3" << QStringList{"0", "2", "1", "0"} << QList<int>{1, 4};
    QTest::newRow("fraction") << "10" << 0 << "2.5" << QStringList{"1.5", "0.5", "0", "1.5"}
                              << QList<int>{3};
    QTest::newRow("zero") << "10" << 0 << "0" << QStringList{"0", "0"} << QList<int>{1, 2};
    QTest::newRow("negative") << "10" << 0 << "-4" << QStringList{"0", "0"} << QList<int>{1, 2};
    QTest::newRow("not a number, then a number")
        << "10" << 0 << "ten" << QStringList{"", "", "", ""} << QList<int>{};
  }
  void theClockPollsForEveryNumericInterval() {
    QFETCH(QString, before);
    QFETCH(int, ticks_before);
    QFETCH(QString, interval);
    QFETCH(QStringList, countdown);
    QFETCH(QList<int>, passes);

    MainWindowRig rig;
    rig.store(kAdvanced, kPenScript);
    rig.load();
    auto& c = rig.controls;
    c.txtInterval->setText(before);
    c.cmdAction->click();
    for (int tick = 0; tick < ticks_before; ++tick) fire(c.timTimer);

    c.txtInterval->setText(interval);
    QStringList shown;
    QList<int> polled;
    for (int tick = 1; tick <= countdown.size(); ++tick) {
      const int seen = rig.machine.listings;
      fire(c.timTimer);
      shown << c.lblTimer->text();
      if (rig.machine.listings > seen) polled << tick;
    }
    QCOMPARE(shown, countdown);
    QCOMPARE(polled, passes);
    QCOMPARE(c.cmdAction->text(), "Stop");

    if (interval == "ten") {
      c.txtInterval->setText("2");
      const int seen = rig.machine.listings;
      fire(c.timTimer);
      QCOMPARE(c.lblTimer->text(), "0");
      QVERIFY(rig.machine.listings > seen);
    }
  }

  void anIntervalThatIsNotANumberIsToldOnceInTheLog() {
    MainWindowRig rig;
    rig.store(kAdvanced, kPenScript);
    rig.store(kInterval, "abc");
    rig.machine.plug("E:\\", "PEN");
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const auto said = [](const std::string& value) {
      return "Interval '" + value +
             "' is not a number: only drives that come or go start a pass until it is a positive "
             "number of seconds";
    };
    c.cmdAction->click();
    QCOMPARE(rig.log(), crlf_lines({"Started...", said("abc")}) + pen_detected());
    for (int tick = 0; tick < 3; ++tick) fire(c.timTimer);
    c.txtInterval->setFocus();
    c.cmdAction->setFocus();  // stored again, unchanged
    QCOMPARE(rig.log(), crlf_lines({"Started...", said("abc")}) + pen_detected());

    c.txtInterval->setFocus();
    c.txtInterval->setText("7,5");
    c.cmdAction->setFocus();
    QCOMPARE(rig.log(),
             crlf_lines({"Started...", said("abc")}) + pen_detected() + crlf_lines({said("7,5")}));
    QCOMPARE(c.lblTimer->text(), "");
  }

  void theIntervalIsStoredVerbatimWhenItLosesTheFocus() {
    MainWindowRig rig;
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    QVERIFY(QTest::qWaitForWindowActive(&w));
    c.txtInterval->setFocus();
    c.txtInterval->setText(" 7 ");
    QCOMPARE(rig.stored(kInterval), "10");
    c.chkAuto->setFocus();
    QCOMPARE(rig.stored(kInterval), " 7 ");

    c.txtInterval->setFocus();
    c.txtInterval->clear();
    c.cmdAction->setFocus();
    QCOMPARE(rig.stored(kInterval), "");
    QCOMPARE(rig.stored(kAuto), "0");
  }

  void theBoxesAreStoredAsTheyChange() {
    MainWindowRig rig;
    rig.load();
    auto& c = rig.controls;
    c.chkAuto->click();
    QCOMPARE(rig.stored(kAuto), "1");
    c.chkMin->click();
    QCOMPARE(rig.stored(kMinimise), "1");
    c.chkAuto->click();
    QCOMPARE(rig.stored(kAuto), "0");
    QCOMPARE(rig.stored(kMinimise), "1");
  }

  void aStoreThatCannotBeWrittenIsReportedAndKeepsWhatWasEntered() {
    MainWindowRig rig;
    rig.load();
    QVERIFY(QDir().mkpath(rig.settings_path));  // the store is now a folder
    auto& c = rig.controls;
    c.chkAuto->click();
    QVERIFY(c.chkAuto->isChecked());
    QCOMPARE(rig.desktop.messages.size(), 1u);
    const auto& box = rig.desktop.messages.front();
    QVERIFY2(box.text.startsWith("Unable to save the setting 'Auto': ") && box.text.size() > 36,
             qPrintable(box.text));
    QCOMPARE(box.title, "Kestrun");
    QVERIFY(box.warning);
  }

  // Settings that are there but cannot be used are named once at start, left
  // as they are, and no later click is lost to a message about a setting the
  // user did not touch.
  void aStoreThatCannotBeUsedIsReportedOnceAndLeftAlone_data() {
    QTest::addColumn<bool>("open_to_others");
    QTest::newRow("cannot be read") << false;
    QTest::newRow("open to others") << true;
  }
  void aStoreThatCannotBeUsedIsReportedOnceAndLeftAlone() {
    QFETCH(bool, open_to_others);
    MainWindowRig rig;
    QString expected;
    QByteArray before;
    if (open_to_others) {
#ifdef Q_OS_WIN
      QSKIP("Windows folders have no mode bits for other users");
#endif
      rig.store(kInterval, "30");
      before = file_bytes(rig.settings_path);
      QCOMPARE(::chmod(QFile::encodeName(rig.folder.path()).constData(), 0777), 0);
      expected = "Kestrun will not use the settings '" + rig.settings_path + "': its folder '" +
                 rig.folder.path() + "' can be written by other users.";
    } else {
      QVERIFY(QDir().mkpath(rig.settings_path));
#ifdef Q_OS_WIN
      const QString reason = "Access denied.";
#else
      const QString reason = "Is a directory.";
#endif
      expected = "Kestrun cannot read the settings '" + rig.settings_path + "': " + reason;
    }
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    QCOMPARE(c.txtInterval->text(), "10");
    QCOMPARE(rig.desktop.messages.size(), 1u);
    QVERIFY2(rig.desktop.messages.front().text.startsWith(expected),
             qPrintable(rig.desktop.messages.front().text));
    QVERIFY(rig.desktop.messages.front().warning);

    QVERIFY(QTest::qWaitForWindowActive(&w));
    c.txtInterval->setFocus();
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {},
                      c.cmdAction->mapTo(&w, c.cmdAction->rect().center()));
    QCOMPARE(c.cmdAction->text(), "Stop");
    QCOMPARE(rig.desktop.messages.size(), 1u);
    if (open_to_others) {
      QCOMPARE(file_bytes(rig.settings_path), before);
    } else {
      QVERIFY(QFileInfo(rig.settings_path).isDir());
    }
  }

  // A save that fails when a click takes the focus from the interval box is
  // reported once the click is over: a box up while the button is down would
  // take its release, and the click with it.
  void aFailedSaveIsReportedAfterTheClickThatCausedIt() {
    MainWindowRig rig;
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    QVERIFY(QTest::qWaitForWindowActive(&w));
    c.txtInterval->setFocus();
    c.txtInterval->setText("7");
    QVERIFY(QDir().mkpath(rig.settings_path));  // the store is now a folder
    const QPoint on_button = c.cmdAction->mapTo(&w, c.cmdAction->rect().center());
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, on_button);
    QTest::qWait(200);
    QCOMPARE(rig.desktop.messages.size(), 0u);
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, on_button);
    QCOMPARE(c.cmdAction->text(), "Stop");
    QTRY_COMPARE(rig.desktop.messages.size(), 1u);
    QVERIFY2(
        rig.desktop.messages.front().text.startsWith("Unable to save the setting 'Interval': "),
        qPrintable(rig.desktop.messages.front().text));
  }

  void keysTypedIntoTheTwoPanesAreDiscarded() {
    MainWindowRig rig;
    rig.store(kAdvanced, kPenScript);
    rig.load();
    auto& c = rig.controls;
    c.cmdAction->click();
    for (kestrun::ui::RichTextPane* pane : {c.txtAdvanced, c.txtOutput}) {
      const std::string before = pane->text();
      pane->setFocus();
      QTest::keyClicks(pane, "typed");
      QTest::keyClick(pane, Qt::Key_Backspace);
      QTest::keyClick(pane, Qt::Key_Return);
      QTest::keyClick(pane, Qt::Key_V, Qt::ControlModifier);
      QCOMPARE(pane->text(), before);
      QVERIFY(!(pane->focusPolicy() & Qt::TabFocus));
    }
  }

  void theEditorOpensModallyWithoutAnOwnerAndTheViewReloads() {
    MainWindowRig rig;
    rig.store(kAdvanced, "label:OLD\r\n");
    rig.load();
    auto& c = rig.controls;
    c.cmdAction->click();
    bool seen = false;
    when_modal_shown([&](QWidget* modal) {
      auto* editor = qobject_cast<kestrun::ui::frmAdvanced*>(modal);
      QVERIFY(editor != nullptr);
      QVERIFY(editor->parentWidget() == nullptr);
      QCOMPARE(editor->windowModality(), Qt::ApplicationModal);
      QVERIFY(c.timTimer->isActive());
      rig.store(kAdvanced, kPenScript);
      seen = true;
      editor->close();
    });
    QTest::mouseClick(c.cmdRegEx, Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(c.txtAdvanced->text(), kPenScript);
  }

  // kestrun --store-script from a terminal writes the file; the pass that
  // uses the new script shows it.
  void aScriptStoredFromElsewhereShowsAtTheNextPass() {
    MainWindowRig rig;
    rig.store(kAdvanced, "label:OLD\r\n");
    rig.load();
    auto& c = rig.controls;
    c.txtInterval->setText("1");
    c.cmdAction->click();
    kestrun::QtSettingsStore terminal(rig.settings_path);
    QVERIFY(terminal.write(kAdvanced, kPenScript, nullptr));
    QCOMPARE(c.txtAdvanced->text(), "label:OLD\r\n");
    fire(c.timTimer);
    QCOMPARE(c.txtAdvanced->text(), kPenScript);
  }

  void closingOrMinimisingSendsTheWindowToTheTray() {
    MainWindowRig rig;
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    c.cmdAction->click();
    QVERIFY(!w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(c.tray->is_added());
    QCOMPARE(c.tray->icon()->toolTip(), "Kestrun v1.5");
    QVERIFY(!c.tray->icon()->icon().isNull());
    QVERIFY(c.timTimer->isActive());

    emit c.tray->icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible() && !w.isMinimized());
    QVERIFY(!c.tray->is_added());

    w.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(c.tray->is_added());
    c.tray->mPopRestore->trigger();
    QVERIFY(w.isVisible() && !w.isMinimized());
    QVERIFY(!c.tray->is_added());
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
