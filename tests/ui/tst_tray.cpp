// SPDX-License-Identifier: MIT
// The tray icon and its menu: presses on the icon, the run item, the login
// item, Exit, and a desktop without a tray host.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"

using kestrun::testing::crlf_lines;
using kestrun::testing::MainWindowRig;
using kestrun::testing::when_modal_shown;
using modGeneral::kAdvanced;

namespace {

const QString kNotifyItem = QStringLiteral("Notify when commands finish or fail");
const QString kMountItem = QStringLiteral("Mount drives that entries name");
const QString kLoginItem = QStringLiteral("Start Kestrun at login");

// The captions the popped-up menu shows, "-" for a separator.
QStringList visible_items(const QMenu* menu) {
  QStringList items;
  for (const QAction* action : menu->actions()) {
    if (action->isVisible()) items << (action->isSeparator() ? QString("-") : action->text());
  }
  return items;
}

void right_press(MainWindowRig& rig) {
  emit rig.controls.tray->icon()->activated(QSystemTrayIcon::Context);
  QTRY_VERIFY(rig.controls.tray->mPopupSys->isVisible());
}

void to_tray(MainWindowRig& rig) {
  rig.load();
  QVERIFY(!rig.window->close());
  QVERIFY(rig.controls.tray->is_added());
}

const QString kRunKey = QStringLiteral(R"(HKCU\Software\Microsoft\Windows\CurrentVersion\Run)");

QString autostart_file() {
  return qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/org.example.Kestrun.desktop";
}

// The login entry as the system keeps it, read without Kestrun's help: the
// Run value on Windows, the autostart file on Linux; "" when there is none.
QString login_entry() {
#ifdef Q_OS_WIN
  QProcess reg;
  reg.start("reg", {"query", kRunKey, "/v", "Kestrun"});
  if (!reg.waitForFinished(30000) || reg.exitCode() != 0) return {};
  return QString::fromLocal8Bit(reg.readAllStandardOutput());
#else
  QFile file(autostart_file());
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
#endif
}

// The user takes the entry away behind Kestrun's back.
void remove_login_entry() {
#ifdef Q_OS_WIN
  QProcess::execute("reg", {"delete", kRunKey, "/v", "Kestrun", "/f"});
#else
  QFile::remove(autostart_file());
#endif
}

}  // namespace

class TestTray : public QObject {
  Q_OBJECT

  // Where the Linux desktop's login entries are kept while the tests run.
  QTemporaryDir config_;

 private slots:
  void initTestCase() {
    qputenv("XDG_CONFIG_HOME", config_.filePath("user").toUtf8());
    qputenv("XDG_CONFIG_DIRS", config_.filePath("system").toUtf8());
    remove_login_entry();
  }

  void cleanupTestCase() { remove_login_entry(); }

  void aLeftPressRestoresTheWindow() {
    MainWindowRig rig;
    to_tray(rig);
    emit rig.controls.tray->icon()->activated(QSystemTrayIcon::DoubleClick);
    emit rig.controls.tray->icon()->activated(QSystemTrayIcon::MiddleClick);
    QVERIFY(!rig.window->isVisible());
    emit rig.controls.tray->icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(rig.window->isVisible());
    QVERIFY(!rig.controls.tray->is_added());
  }

  void theMenuOffersTheRunItemOnlyForAMatchingDrive() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1", "menurun:browse %1 %2"}));
    to_tray(rig);
    auto& c = rig.controls;

    right_press(rig);
    QCOMPARE(visible_items(c.tray->mPopupSys),
             QStringList({"Show main window", "-", kNotifyItem, kMountItem, kLoginItem, "Exit"}));
    c.tray->mPopupSys->close();

    rig.machine.plug("E:\\", "PEN");
    right_press(rig);
    QCOMPARE(visible_items(c.tray->mPopupSys),
             QStringList({"Show main window", "-", "Run script for PEN on E:\\", "-", kNotifyItem,
                          kMountItem, kLoginItem, "Exit"}));
    c.tray->mPopupSys->close();
    QCOMPARE(rig.log(), "");
    QCOMPARE(rig.context().last_drive_snapshot, "");
    QVERIFY(rig.launcher.launched.empty());

    rig.machine.pull("E:\\");
    right_press(rig);
    QCOMPARE(visible_items(c.tray->mPopupSys),
             QStringList({"Show main window", "-", kNotifyItem, kMountItem, kLoginItem, "Exit"}));
  }

  void theRunItemLaunchesAndLogsBelowStopped() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1", "menurun:browse %1"}));
    rig.load();
    rig.controls.cmdAction->click();
    rig.controls.cmdAction->click();
    QVERIFY(!rig.window->close());
    rig.machine.plug("E:\\", "PEN");
    right_press(rig);
    rig.controls.tray->mPopRun->trigger();
    rig.controls.tray->mPopRun->trigger();

    const std::string launch = "  executing script...browse E:\\\r\n";
    QCOMPARE(rig.log(), "Started...\r\nStopped.\r\n" + launch + launch);
    QCOMPARE(rig.launcher.launched.size(), 2u);
    QCOMPARE(rig.launcher.launched.back().command, "browse E:\\");
    QCOMPARE(rig.launcher.launched.back().label, "PEN");
  }

  void aRunItemThatCannotStartLogsTheSystemsWords() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1", "menurun:missing %3"}));
    rig.launcher.failures["missing E"] = "execv: No such file or directory";
    to_tray(rig);
    rig.machine.plug("E:\\", "PEN");
    right_press(rig);
    rig.controls.tray->mPopRun->trigger();
    QCOMPARE(rig.log(), crlf_lines({"  executing script...missing E",
                                    "  error: execv: No such file or directory"}));
    QVERIFY(!rig.window->isVisible());
  }

  // An entry without menurun: has nothing to run, so it offers no item.
  void aMatchingEntryWithoutACommandOffersNoRunItem() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1"}));
    to_tray(rig);
    rig.machine.plug("E:\\", "PEN");
    right_press(rig);
    QVERIFY(!rig.controls.tray->mPopRun->isVisible());
    rig.controls.tray->mPopRun->trigger();
    QCOMPARE(rig.log(), "");
    QVERIFY(rig.launcher.launched.empty());
  }

  void commandsThatFailOrRunLongAreNotifiedFromTheTray() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1"}));
    rig.machine.plug("E:\\", "PEN");
    to_tray(rig);
    QVERIFY(rig.controls.tray->mPopNotify->isChecked());
    rig.controls.cmdAction->click();
    rig.launcher.finish(0, {false, 0, "", 9.9});
    rig.launcher.finish(0, {false, 0, "", 12.0});
    rig.launcher.finish(0, {false, 3, "", 2.5});
    rig.launcher.finish(0, {true, 9, "SIGKILL", 0.4});
    QVERIFY(QString::fromStdString(rig.log()).contains(
        "  finished: 'PEN' on E:\\ with exit code 0 after 9.9 s\r\n"));
    rig.launcher.failures["backup E:\\"] = "No such file or directory";
    rig.controls.cmdAction->click();
    rig.controls.cmdAction->click();
    QCOMPARE(rig.desktop.notices,
             QStringList({"The command for 'PEN' on E:\\ finished | Ran for 12.0 s",
                          "The command for 'PEN' on E:\\ failed | Exit code 3 after 2.5 s",
                          "The command for 'PEN' on E:\\ failed | Ended by signal 9 (SIGKILL) "
                          "after 0.4 s",
                          "Could not run the command for 'PEN' on E:\\ | No such file or "
                          "directory"}));
  }

  void theNotifyItemIsStoredAndNothingIsShownWithoutItOrATray() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1"}));
    rig.store(modGeneral::kNotify, "0");
    rig.machine.plug("E:\\", "PEN");
    to_tray(rig);
    auto& c = rig.controls;
    QVERIFY(!c.tray->mPopNotify->isChecked());
    c.cmdAction->click();
    rig.launcher.finish(0, {false, 3, "", 1.0});
    QVERIFY(rig.desktop.notices.isEmpty());

    c.tray->mPopNotify->trigger();
    QCOMPARE(rig.stored(modGeneral::kNotify), "1");
    rig.desktop.tray = false;
    rig.launcher.finish(0, {false, 3, "", 1.0});
    QVERIFY2(rig.desktop.notices.isEmpty(), "no tray host, no notification");
    rig.desktop.tray = true;
    c.tray->mPopRestore->trigger();
    rig.launcher.finish(0, {false, 3, "", 1.0});
    QVERIFY2(rig.desktop.notices.isEmpty(), "a window on screen has the log in view");
    QVERIFY(QString::fromStdString(rig.log()).endsWith("exit code 3 after 1.0 s\r\n"));
  }

  // A warning, not a result: neither the notify item nor an open window
  // holds it back, and the icon it comes from is put in the tray for it.
  void aStrangersStickWithAPinnedLabelIsNotifiedWithTheWindowOnScreen() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:BACKUP", "exec:backup %1", "volume:uuid:2F1C-9A7B"}));
    rig.store(modGeneral::kNotify, "0");
    rig.machine.plug("F:\\", "BACKUP");
    rig.machine.set_location("F:\\", "/media/f", "/dev/sdf1", "uuid:1111-2222");
    rig.load();
    QVERIFY(rig.window->isVisible() && !rig.controls.tray->is_added());
    rig.controls.cmdAction->click();
    QVERIFY(rig.launcher.launched.empty());
    QCOMPARE(rig.desktop.notices,
             QStringList({"Unknown drive labelled 'BACKUP' on F:\\ | It is volume uuid:1111-2222, "
                          "not the pinned uuid:2F1C-9A7B: the entry did not run."}));
    QVERIFY(rig.controls.tray->is_added());
  }

  void theMountItemIsStoredAndMountsOnlyWhileChecked() {
    MainWindowRig rig;
    rig.load();
    QAction* item = rig.controls.tray->mPopMount;
    QVERIFY(!item->isChecked());
    QCOMPARE(rig.desktop.mounters, 0);
    item->trigger();
    QCOMPARE(rig.stored(modGeneral::kMount), "1");
    QCOMPARE(rig.desktop.mounters, 1);
    rig.desktop.mount_log("  not mounted: 'PEN' on /dev/sdb1: Not authorized");
    QVERIFY(QString::fromStdString(rig.log()).endsWith("Not authorized\r\n"));
    item->trigger();
    QCOMPARE(rig.stored(modGeneral::kMount), "0");
    QCOMPARE(rig.desktop.mounters, 0);

    MainWindowRig next;
    next.store(modGeneral::kMount, "1");
    next.load();
    QVERIFY(next.controls.tray->mPopMount->isChecked());
    QCOMPARE(next.desktop.mounters, 1);
  }

  // Whether the stick may be pulled is what the user waits for: told with the
  // window on screen and the notify item off.
  void anEjectIsNotifiedEitherWay() {
    MainWindowRig rig;
    rig.store(kAdvanced, crlf_lines({"label:PEN", "exec:backup %1", "eject:always"}));
    rig.store(modGeneral::kNotify, "0");
    rig.machine.plug("E:\\", "PEN");
    rig.load();
    rig.controls.cmdAction->click();
    rig.launcher.finish(0, {false, 0, "", 1.0});
    rig.desktop.eject_answer = {false, "target is busy"};
    rig.launcher.finish(0, {false, 1, "", 1.0});
    QCOMPARE(rig.desktop.notices,
             QStringList({"'PEN' can be removed | The drive E:\\ was ejected: it is safe to "
                          "remove the stick.",
                          "'PEN' on E:\\ was not ejected | Do not remove the stick yet: target "
                          "is busy"}));
  }

  void theLoginItemShowsAndSwitchesTheSystemsEntry() {
    MainWindowRig rig;
    to_tray(rig);
    QAction* item = rig.controls.tray->mPopLogin;
    right_press(rig);
    QVERIFY(!item->isChecked());
    item->trigger();
    QVERIFY(item->isChecked());
    const QString entry = login_entry();
#ifdef Q_OS_WIN
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    QVERIFY2(entry.contains(QString("REG_SZ    \"%1\"").arg(program), Qt::CaseInsensitive),
             qPrintable(entry));
#else
    QVERIFY(!entry.isEmpty());
#endif

    rig.controls.tray->mPopupSys->close();
    remove_login_entry();
    right_press(rig);
    QVERIFY2(!item->isChecked(), "the menu shows the entry, not the last choice");
    item->trigger();
    item->trigger();
    QVERIFY(!item->isChecked());
    QCOMPARE(login_entry(), "");
    QVERIFY(rig.desktop.messages.empty());
  }

  void aLoginEntryThatCannotBeMadeIsReportedOnce() {
#ifdef Q_OS_WIN
    QSKIP("Wine lets a user write every value of their own");
#endif
    MainWindowRig rig;
    to_tray(rig);
    QAction* item = rig.controls.tray->mPopLogin;
    const QString folder = QFileInfo(autostart_file()).path();
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
    QFile in_the_way(folder);  // a file where the folder should be
    QVERIFY(in_the_way.open(QIODevice::WriteOnly));
    in_the_way.close();

    right_press(rig);
    item->trigger();
    QCOMPARE(rig.desktop.messages.size(), 1u);
    QCOMPARE(rig.desktop.messages.back().text, "Unable to start Kestrun at login: cannot write '" +
                                                   autostart_file() + "': Not a directory");
    QCOMPARE(rig.desktop.messages.back().title, "Kestrun");
    QVERIFY(rig.desktop.messages.back().warning);
    QVERIFY(!item->isChecked());
    QVERIFY(in_the_way.remove());
  }

  void exitAsksFirstAndEndsTheProgramOnYes() {
    MainWindowRig rig;
    to_tray(rig);
    auto& w = *rig.window;
    auto& c = rig.controls;
    rig.desktop.answer_yes = false;
    c.tray->mPopExit->trigger();
    QCOMPARE(rig.desktop.questions.size(), 1u);
    QCOMPARE(rig.desktop.questions.back().text, "Shut down Kestrun?");
    QCOMPARE(rig.desktop.questions.back().title, "Exit?");
    QCOMPARE(rig.desktop.quits, 0);
    QVERIFY(c.tray->is_added());

    rig.desktop.answer_yes = true;
    c.tray->mPopExit->trigger();
    QCOMPARE(rig.desktop.quits, 1);
    QVERIFY(!c.tray->is_added());
    QVERIFY2(w.close(), "once leaving, the window no longer refuses to close");
  }

  void theExitQuestionHasYesAsItsDefault() {
    kestrun::ui::QtDesktop desktop;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    when_modal_shown([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      icon = box->icon();
      title = box->windowTitle();
      QVERIFY(box->defaultButton() == box->button(QMessageBox::Yes));
      QVERIFY(box->button(QMessageBox::No) != nullptr);
      QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(desktop.ask_yes_no(nullptr, "Shut down Kestrun?", "Exit?"));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(title, "Exit?");
  }

  // With no tray host a hidden window could never be brought back.
  void withoutATrayTheWindowStaysInTheTaskbarAndCloseAsksToExit() {
    MainWindowRig rig;
    rig.desktop.tray = false;
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;

    w.setWindowState(Qt::WindowMinimized);
    QTest::qWait(20);
    QVERIFY(w.isVisible() && w.isMinimized());
    QVERIFY(!c.tray->is_added());

    w.showNormal();
    rig.desktop.answer_yes = false;
    QVERIFY(!w.close());
    QCOMPARE(rig.desktop.questions.size(), 1u);
    QCOMPARE(rig.desktop.questions.back().text, "Shut down Kestrun?");
    QVERIFY(w.isVisible());
    QCOMPARE(rig.desktop.quits, 0);

    rig.desktop.answer_yes = true;
    QVERIFY(w.close());
    QTRY_COMPARE(rig.desktop.quits, 1);
  }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
