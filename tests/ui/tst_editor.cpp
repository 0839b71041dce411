// SPDX-License-Identifier: MIT
// The detection list editor over a fake machine and a real settings file: the
// drive list and its refresh, insertion at the caret, validation, and what
// Save, Discard and the close box leave behind.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "tests/ui/ui_test_support.h"
#include "ui/frmAdvanced.h"
#include "ui/layout.h"
#include "ui/rich_text_pane.h"

namespace QTest {
template <>
char* toString(const std::string& text) {
  return toPrettyCString(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace QTest

using kestrun::testing::crlf_lines;
using kestrun::testing::MainWindowRig;
using kestrun::testing::when_modal_shown;
using kestrun::ui::frmAdvanced;
using modGeneral::kAdvanced;

namespace {

const std::string kSampleScript = kestrun::testing::sample_script();

const std::string kPenExample = "label:My USB Pen Drive";

QStringList rows(const frmAdvanced& editor) {
  QStringList shown;
  for (int row = 0; row < editor.lstDrives->count(); ++row) {
    shown << editor.lstDrives->item(row)->text();
  }
  return shown;
}

// Fires the timer itself, so the handler is reached the way the event loop
// reaches it, without waiting five seconds.
void fire(QTimer* timer) { QVERIFY(QMetaObject::invokeMethod(timer, "timeout")); }

// Puts the caret where a user would, in the document's own positions (a line
// break counts one there); `anchor` other than -1 selects from it.
void place_caret(kestrun::ui::RichTextPane* pane, int position, int anchor = -1) {
  QTextCursor cursor = pane->textCursor();
  cursor.setPosition(anchor >= 0 ? anchor : position);
  if (anchor >= 0) cursor.setPosition(position, QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
}

// QTest's double-click is the second click alone; the first one selects.
void double_click(QWidget* widget, QPoint at = {}) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

void double_click_row(frmAdvanced& editor, int row) {
  QListWidgetItem* item = editor.lstDrives->item(row);
  double_click(editor.lstDrives->viewport(), editor.lstDrives->visualItemRect(item).center());
}

int pixel_width(int twips) { return kestrun::ui::pixels(twips); }

// The rows' tooltips as the pointer finds them, as plain text; with `entries`
// false, without the line about the script's entries.
QStringList tips(frmAdvanced& editor, bool entries = true) {
  QStringList shown;
  for (int row = 0; row < editor.lstDrives->count(); ++row) {
    QListWidgetItem* item = editor.lstDrives->item(row);
    const QPoint at = editor.lstDrives->visualItemRect(item).center();
    QHelpEvent hover(QEvent::ToolTip, at, editor.lstDrives->viewport()->mapToGlobal(at));
    QApplication::sendEvent(editor.lstDrives->viewport(), &hover);
    QTextDocument tip;
    tip.setHtml(item->toolTip());
    const QStringList lines = tip.toPlainText().split(QChar::LineSeparator);
    shown << (entries ? lines.last() : lines.join('\n'));
  }
  return shown;
}

// The settings folder made read-only: a read-only tmpfs as root, whom file
// modes do not stop, and file modes otherwise. Undone when it goes.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(QString folder) : folder_(std::move(folder)) {}
  ~ReadOnlyFolder() {
    if (mounted_) QProcess::execute("umount", {folder_});
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // Before anything is written: a fresh file system for the folder, as root.
  bool prepare() {
#ifdef Q_OS_WIN
    return false;  // Windows folders have no mode bits to lock them with
#else
    if (geteuid() != 0) return true;
    mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", folder_}) == 0;
    return mounted_;
#endif
  }

  bool lock(const QString& file) {
    if (mounted_) return QProcess::execute("mount", {"-o", "remount,ro", folder_}) == 0;
    return QFile::setPermissions(file, QFile::ReadOwner) &&
           QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
  }

  QString reason() const { return mounted_ ? "Read-only file system" : "Permission denied"; }

 private:
  QString folder_;
  bool mounted_ = false;
};

}  // namespace

class TestEditor : public QObject {
  Q_OBJECT

 private slots:
  void aFirstOpeningShowsAnEmptyScriptAndTheLabelledDrivesAtOnce() {
    MainWindowRig rig;
    rig.machine.plug("C:\\", "System", modGeneral::kDriveFixed);
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "");            // no label: no row
    rig.machine.plug("G:\\", std::nullopt);  // no medium: no row
    rig.machine.plug("H:\\", "DVD", modGeneral::kDriveCdrom);
    frmAdvanced editor(rig.window->context(), rig.desktop);

    QCOMPARE(editor.txtAdvanced->text(), "");
    QCOMPARE(rows(editor), QStringList({"System (C:\\)", "PEN (E:\\)", "DVD (H:\\)"}));
    QVERIFY(rig.machine.listings > 0);
    QCOMPARE(editor.txtAdvanced_span().width, 10815);
    QVERIFY(editor.txtLog->isHidden() && editor.cmdValidationLog->isHidden());
    QVERIFY(editor.timPoll->isActive());
    QCOMPARE(editor.timPoll->interval(), 5000);
    QVERIFY2(!QFile::exists(rig.settings_path), "opening must write nothing");

    // Every opening fills the list, although no root came or went.
    rig.store(kAdvanced, kSampleScript);
    const int reads = rig.machine.label_reads;
    frmAdvanced again(rig.window->context(), rig.desktop);
    QCOMPARE(again.txtAdvanced->text(), kSampleScript);
    QCOMPARE(rows(again), rows(editor));
    QVERIFY(rig.machine.label_reads > reads);
  }

  void theListIsRefilledOnlyWhenTheDriveRootsChange() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.lstDrives->setCurrentRow(0);
    const int reads = rig.machine.label_reads;
    const int listings = rig.machine.listings;

    fire(editor.timPoll);
    QVERIFY(rig.machine.listings > listings);
    QCOMPARE(rig.machine.label_reads, reads);
    QVERIFY(editor.lstDrives->item(0)->isSelected());

    // A new medium in a root that stays is not noticed.
    rig.machine.relabel("E:\\", "OTHER");
    fire(editor.timPoll);
    QCOMPARE(rows(editor), QStringList{"PEN (E:\\)"});
    QCOMPARE(rig.machine.label_reads, reads);

    rig.machine.plug("F:\\", "PHOTOS");
    fire(editor.timPoll);
    QCOMPARE(rows(editor), QStringList({"OTHER (E:\\)", "PHOTOS (F:\\)"}));
    QVERIFY(editor.lstDrives->selectedItems().isEmpty());

    rig.machine.fail_listing(true);
    fire(editor.timPoll);
    QCOMPARE(rows(editor), QStringList());
  }

  void aRowsTooltipTellsWhereTheDriveIsMounted() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "PEN");
    rig.machine.plug("G:\\", "LETTERS");
    rig.machine.set_location("E:\\", "/media/me/PEN", "/dev/sdb1");
    rig.machine.set_location("F:\\", "/media/me/<b>PEN</b>", "/dev/sdc1");
    frmAdvanced editor(rig.window->context(), rig.desktop);

    QCOMPARE(rows(editor), QStringList({"PEN (E:\\)", "PEN (F:\\)", "LETTERS (G:\\)"}));
    const QString first = editor.lstDrives->item(0)->toolTip();
    QVERIFY2(first.contains("/media/me/PEN") && first.contains("/dev/sdb1"), qPrintable(first));
    const QString second = editor.lstDrives->item(1)->toolTip();
    QVERIFY2(second.contains("/media/me/&lt;b&gt;PEN&lt;/b&gt;"), qPrintable(second));
    // Where the root is all there is to say, there is no tooltip.
    QCOMPARE(editor.lstDrives->item(2)->toolTip(), "");
  }

  void aRowsTooltipSaysWhichEntriesOfTheTextActOnTheDrive() {
    MainWindowRig rig;
    rig.machine.plug("C:\\", "System", modGeneral::kDriveFixed);
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "PEN");
    rig.machine.plug("G:\\", "DVD", modGeneral::kDriveCdrom);
    rig.machine.plug("H:\\", "CAM");
    rig.store(kAdvanced, "stored");
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const int reads = rig.machine.label_reads;

    editor.txtAdvanced->set_text(
        crlf_lines({"ignore:h:\\", "label:PEN", "exec:a", "label:CAM", "exec:b", "label:(any)",
                    "exec:c", "label:PEN", "exec:d"}));
    QCOMPARE(tips(editor), QStringList({
                               "Entry 3 '(any)' acts on this drive.",
                               "Entries 1 'PEN', 4 'PEN' act on this drive.",
                               "No entry acts on this drive: entry 1 'PEN' acts on E:\\, the "
                               "first drive with this label.",
                               "No entry acts on this drive: drives of its type are never matched.",
                               "No entry acts on this drive: the script's ignore: line leaves it "
                               "out.",
                           }));

    // An entry without a command stops the walk: nothing after it acts.
    editor.txtAdvanced->set_text(crlf_lines({"label:CAM", "label:PEN", "exec:a"}));
    QCOMPARE(tips(editor).at(1), "No entry acts on this drive.");
    QCOMPARE(rig.machine.label_reads, reads);  // labels are read at refills only
    QVERIFY(rig.launcher.launched.empty());
  }

  void aLabelThatCouldChangeTheScriptIsShownWrittenOutAndNotPasted() {
    MainWindowRig rig;
    const std::string hidden = "Photos" + std::string(120, ' ') + "exec:touch FILE";
    rig.machine.plug("E:\\", hidden);
    rig.machine.plug("F:\\", "two\nlines\x1b[2J");
    rig.machine.plug("G:\\", " MY  PEN ");
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.txtAdvanced->set_text("label:\r\nexec:b");
    place_caret(editor.txtAdvanced, 6);

    QCOMPARE(rows(editor).at(1), "two\\nlines\\x1b[2J (F:\\)");
    QVERIFY2(
        tips(editor, false)
            .at(0)
            .contains("Label of 141 characters: \"Photos\" + 120 spaces + \"exec:touch FILE\""),
        qPrintable(tips(editor, false).at(0)));
    QVERIFY(
        tips(editor, false)
            .at(2)
            .contains("Label of 9 characters: 1 space + \"MY\" + 2 spaces + \"PEN\" + 1 space"));

    double_click_row(editor, 0);
    double_click_row(editor, 1);
    QCOMPARE(editor.txtAdvanced->text(), "label:\r\nexec:b");
    QCOMPARE(rig.desktop.messages.size(), 2u);
    QCOMPARE(rig.desktop.messages[0].text,
             "The label of E:\\ was not pasted: it holds the key 'exec:'.\n"
             "In the script, such a label could start a line or a command of its own.");
    QVERIFY(rig.desktop.messages[0].warning);
    QVERIFY(rig.desktop.messages[1].text.contains(
        "it holds a line break and the control character \\x1b."));

    double_click_row(editor, 2);
    QCOMPARE(editor.txtAdvanced->text(), "label: MY  PEN \r\nexec:b");
  }

  void validateShowsTheReportBesideTheTextRoundAfterRound() {
    MainWindowRig rig;
    rig.store(kAdvanced, "label:STORED\r\nexec:x\r\n");
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.txtAdvanced->set_text(kSampleScript);  // unsaved
    const int listings = rig.machine.listings;

    for (int round = 0; round < 2; ++round) {
      for (int press = 0; press <= round; ++press) {
        QTest::mouseClick(editor.chkValidate, Qt::LeftButton);
      }
      QCOMPARE(editor.txtAdvanced_span().width, 5610);
      QCOMPARE(editor.txtAdvanced->width(), pixel_width(5610));
      QVERIFY(editor.txtLog->isVisible() && editor.cmdValidationLog->isVisible());

      QTest::mouseClick(editor.cmdValidationLog, Qt::LeftButton);
      QCOMPARE(editor.txtAdvanced_span().width, 10845);
      QCOMPARE(editor.txtAdvanced->width(), pixel_width(10845));
      QVERIFY(!editor.txtLog->isVisible() && !editor.cmdValidationLog->isVisible());
    }

    QCOMPARE(editor.txtLog->text(), crlf_lines({
                                        "Starting validation...",
                                        "",
                                        "Ignoring drives: d:\\,e:\\,g:\\",
                                        "",
                                        "Processing first entry...",
                                        "  label=My USB Pen Drive",
                                        "  execute=wscript \"c:\\something\\whatever.vbs\" \"%1\"",
                                        "Entry seems okay",
                                        "",
                                        "Processing first entry...",
                                        "  label=Second Pen Drive",
                                        "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"",
                                        "  menu run=wscript \"c:\\OPTIONALscript.vbs\" \"%3\"",
                                        "Entry seems okay",
                                        "",
                                        "Validation complete",
                                        "",
                                    }));
    QCOMPARE(rig.log(), "");
    QCOMPARE(rig.stored(kAdvanced), "label:STORED\r\nexec:x\r\n");
    QCOMPARE(rig.machine.listings, listings);  // validation lists no drives
  }

  void theLogTakesItsPlaceInTheTabOrderWhileShown() {
    MainWindowRig rig;
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    editor.chkValidate_Click();  // an empty text: an empty report, shown all the same
    QVERIFY(editor.txtLog->isVisible());
    QCOMPARE(editor.txtLog->text(), "");

    editor.txtAdvanced->setFocus();
    QStringList walk{QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 7; ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      walk << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walk, QStringList({"txtAdvanced", "cmdSave", "cmdCancel", "chkValidate",
                                "cmdValidationLog", "txtLog", "lstDrives", "txtAdvanced"}));
  }

  void aBadEntryIsReportedAndReachesTheMainWindowsLog() {
    MainWindowRig rig;
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.txtAdvanced->set_text(
        crlf_lines({"ignore:d:\\,e:\\,g:\\", "label:My USB Pen Drive", "label:Second Pen Drive",
                    "exec:wscript \"c:\\someother\\script.vbs\" \"%1\""}));
    editor.chkValidate_Click();
    editor.chkValidate_Click();

    const std::string error = "'exec' doesn't exist for one of your entries";
    QCOMPARE(editor.txtLog->text(),
             crlf_lines({"Starting validation...", "", "Ignoring drives: d:\\,e:\\,g:\\", "",
                         "Processing first entry...", "  label=My USB Pen Drive",
                         "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"", error}));
    QCOMPARE(rig.log(), crlf_lines({"  error: " + error, "  error: " + error}));
    QVERIFY(rig.launcher.launched.empty());
  }

  // Positions are the document's, where a line break counts one; the text the
  // engine sees has CR LF and may hold characters of several bytes.
  void anExampleGoesInAtTheCaretTheUserSees_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("anchor");  // -1: no selection
    QTest::addColumn<std::string>("expected");

    const std::string x = kPenExample;
    QTest::newRow("empty") << std::string() << 0 << -1 << x;
    QTest::newRow("start") << std::string("abc") << 0 << -1 << x + "abc";
    QTest::newRow("middle") << std::string("abc") << 1 << -1 << "a" + x + "bc";
    QTest::newRow("end, after a line break, none added")
        << std::string("label:A\r\n") << 8 << -1 << "label:A\r\n" + x;
    QTest::newRow("start of the third line") << std::string("label:A\r\nexec:b\r\nlabel:C") << 15
                                             << -1 << "label:A\r\nexec:b\r\n" + x + "label:C";
    QTest::newRow("after characters of several bytes") << std::string(
                                                              "label:St\xC3\xBC"
                                                              "ck \xF0\x9F\x92\xBE\r\nexec:b")
                                                       << 15 << -1
                                                       << "label:St\xC3\xBC"
                                                          "ck \xF0\x9F\x92\xBE\r\n" +
                                                              x + "exec:b";
    QTest::newRow("before a selection")
        << std::string("label:A\r\nexec:b") << 12 << 8 << "label:A\r\n" + x + "exec:b";
    QTest::newRow("before a selection made backwards")
        << std::string("label:A\r\nexec:b") << 8 << 12 << "label:A\r\n" + x + "exec:b";
  }
  void anExampleGoesInAtTheCaretTheUserSees() {
    QFETCH(std::string, text);
    QFETCH(int, caret);
    QFETCH(int, anchor);
    QFETCH(std::string, expected);

    MainWindowRig rig;
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.txtAdvanced->set_text(text);
    place_caret(editor.txtAdvanced, caret, anchor);
    const std::size_t before = editor.txtAdvanced->selection_start();

    double_click(editor.Label1);
    QCOMPARE(editor.txtAdvanced->text(), expected);
    QCOMPARE(editor.txtAdvanced->selection_start(), before + kPenExample.size());
  }

  void eachExampleLineInsertsItsOwnCaptionAndTheOtherTwoNothing() {
    MainWindowRig rig;
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    for (QLabel* example : {editor.Label9, editor.Label7}) {
      double_click(example);
    }
    QCOMPARE(editor.txtAdvanced->text(), "");

    // Each goes in after the one before, where the caret was left.
    for (QLabel* example : {editor.Label6, editor.Label3, editor.Label5}) {
      double_click(example);
    }
    QCOMPARE(editor.txtAdvanced->text(),
             "label:Second Pen Drive"
             "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\""
             "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"");
  }

  void aDriveRowInsertsItsBareLabel() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\",
                     " Stick n\xC2\xB0"
                     "2 ");  // the spaces belong to the label
    frmAdvanced editor(rig.window->context(), rig.desktop);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.txtAdvanced->set_text("label:\r\nexec:b");
    place_caret(editor.txtAdvanced, 6);

    double_click_row(editor, 0);
    QCOMPARE(editor.txtAdvanced->text(), "label:PEN\r\nexec:b");
    place_caret(editor.txtAdvanced, 11, 10);
    double_click_row(editor, 1);
    QCOMPARE(editor.txtAdvanced->text(),
             "label:PEN\r\n Stick n\xC2\xB0"
             "2 exec:b");

    editor.lstDrives->clearSelection();
    editor.lstDrives_DblClick();
    double_click(editor.lstDrives->viewport(),
                 QPoint(5, editor.lstDrives->viewport()->height() - 3));
    QCOMPARE(editor.txtAdvanced->text(),
             "label:PEN\r\n Stick n\xC2\xB0"
             "2 exec:b");
  }

  // The closing ways, opened as the main window opens it.
  void onlySaveLeavesATraceAndTheMainWindowShowsWhatIsStored_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Save") << "Save" << true;
    QTest::newRow("Discard") << "Discard" << false;
    QTest::newRow("close box") << "close box" << false;
  }
  void onlySaveLeavesATraceAndTheMainWindowShowsWhatIsStored() {
    QFETCH(QString, way);
    QFETCH(bool, stored);

    MainWindowRig rig;
    rig.store(kAdvanced, "label:OLD\r\nexec:old\r\n");
    rig.machine.plug("E:\\", "PEN");
    rig.load();
    auto& w = *rig.window;
    auto& c = rig.controls;
    const std::string typed = "label:PEN\r\nexec:backup %1";
    bool seen = false;
    when_modal_shown([&](QWidget* modal) {
      // A failed check must not leave the editor waiting for a click.
      const auto closer = qScopeGuard([modal] { modal->close(); });
      auto* editor = qobject_cast<frmAdvanced*>(modal);
      QVERIFY(editor != nullptr);
      editor->txtAdvanced->setFocus();
      editor->txtAdvanced->selectAll();
      QTest::keyClicks(editor->txtAdvanced, "label:");
      double_click_row(*editor, 0);
      editor->txtAdvanced->moveCursor(QTextCursor::End);
      QTest::keyClick(editor->txtAdvanced, Qt::Key_Return);
      QTest::keyClick(editor->txtAdvanced, Qt::Key_Escape);
      QTest::keyClicks(editor->txtAdvanced, "exec:backup %1");
      QCOMPARE(editor->txtAdvanced->text(), typed);
      QVERIFY(editor->isVisible());
      QVERIFY(editor->timPoll->isActive());
      seen = true;
      if (way == "Save") QTest::mouseClick(editor->cmdSave, Qt::LeftButton);
      if (way == "Discard") QTest::mouseClick(editor->cmdCancel, Qt::LeftButton);
      if (way == "close box") QVERIFY(editor->close());
      QVERIFY(!editor->timPoll->isActive());
    });
    w.cmdRegEx_Click();
    QVERIFY(seen);
    QVERIFY(rig.desktop.messages.empty());
    const std::string expected = stored ? typed : "label:OLD\r\nexec:old\r\n";
    QCOMPARE(rig.stored(kAdvanced), expected);
    QCOMPARE(c.txtAdvanced->text(), expected);

    // The next pass runs the stored script.
    w.cmdAction_Click();
    QCOMPARE(rig.launcher.launched.size(), stored ? 1u : 0u);
    if (stored) QCOMPARE(rig.launcher.launched.front().command, "backup E:\\");
  }

  // A store that cannot be written must not take the user's script with it.
  void aSaveThatCannotBeStoredKeepsTheEditorOpenAndSaysWhy() {
    MainWindowRig rig;
    ReadOnlyFolder folder(rig.folder.path());
    if (!folder.prepare()) QSKIP("cannot make a read-only folder here");
    rig.store(kAdvanced, "label:OLD\r\n");
    QVERIFY(folder.lock(rig.settings_path));
    rig.load();

    bool seen = false;
    when_modal_shown([&](QWidget* modal) {
      const auto closer = qScopeGuard([modal] { modal->close(); });
      auto* editor = qobject_cast<frmAdvanced*>(modal);
      QVERIFY(editor != nullptr);
      editor->txtAdvanced->set_text("label:NEW\r\nexec:new\r\n");
      // The main window may have had its own say about the locked store.
      rig.desktop.messages.clear();
      QTest::mouseClick(editor->cmdSave, Qt::LeftButton);
      QCOMPARE(rig.desktop.messages.size(), 1u);
      QVERIFY(editor->isVisible());
      QVERIFY(editor->timPoll->isActive());
      QCOMPARE(editor->txtAdvanced->text(), "label:NEW\r\nexec:new\r\n");
      const auto& box = rig.desktop.messages.front();
      QCOMPARE(box.text, "Unable to save the setting 'Advanced': " + folder.reason());
      QCOMPARE(box.title, "Kestrun");
      QVERIFY(box.warning);
      seen = true;
      QTest::mouseClick(editor->cmdCancel, Qt::LeftButton);
    });
    rig.window->cmdRegEx_Click();
    QVERIFY(seen);
    QCOMPARE(rig.stored(kAdvanced), "label:OLD\r\n");
    QCOMPARE(rig.controls.txtAdvanced->text(), "label:OLD\r\n");
  }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
